#pragma once

#include "Inst.h"

#include <QWidget>
#include <functional>

class QHBoxLayout;
class QLabel;

// Three segments, System, Light and Dark, with painted icons.
class InstAppearanceSelector : public QWidget {
    Q_OBJECT

public:
    explicit InstAppearanceSelector(QWidget* parent = nullptr);

    void setAppearance(Inst::Appearance appearance);
    Inst::Appearance appearance() const { return m_appearance; }
    // Called with the new appearance when a click changes it.
    void setChangeCallback(std::function<void(Inst::Appearance)> callback);

    // The segment at a point, or -1 between and outside them.
    static int segmentAt(const QPointF& pos);
    static QRectF segmentRect(int segment);

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    bool event(QEvent* event) override;

private:
    Inst::Appearance m_appearance = Inst::System;
    std::function<void(Inst::Appearance)> m_callback;
};

// The window's top bar: title, information text, notices and the appearance selector.
class InstModuleHeader : public QWidget {
    Q_OBJECT

public:
    explicit InstModuleHeader(const QString& title, QWidget* parent = nullptr);

    void setInfo(const QString& text);
    void addNotice(QWidget* widget);
    InstAppearanceSelector* appearanceSelector() const { return m_selector; }
    QLabel* titleLabel() const { return m_title; }
    QLabel* infoLabel() const { return m_info; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QHBoxLayout* m_row;
    QLabel* m_title;
    QLabel* m_info;
    InstAppearanceSelector* m_selector;
};
