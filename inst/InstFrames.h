#pragma once

#include <QWidget>

class QHBoxLayout;
class QLabel;
class QVBoxLayout;

// A framed group: a caption over a row of controls.
class InstBezel : public QWidget {
    Q_OBJECT

public:
    explicit InstBezel(const QString& title, QWidget* parent = nullptr);

    QHBoxLayout* row() const { return m_row; }
    QLabel* captionLabel() const { return m_caption; }
    void setRowOnly();
    void setActive(bool active);
    bool isActive() const { return m_active; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QLabel* m_caption;
    QHBoxLayout* m_row;
    bool m_active = false;
};

// A titled panel section with a header band and a content area below it.
class InstSection : public QWidget {
    Q_OBJECT

public:
    explicit InstSection(const QString& title, QWidget* parent = nullptr);

    void addHeaderWidget(QWidget* widget);
    QWidget* content() const { return m_content; }
    QVBoxLayout* contentLayout() const { return m_contentLayout; }
    void setActive(bool active);
    bool isActive() const { return m_active; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QWidget* m_header;
    QHBoxLayout* m_headerRow;
    QWidget* m_content;
    QVBoxLayout* m_contentLayout;
    bool m_active = false;
};

// A recessed display panel; give it a layout of its own.
class InstScreen : public QWidget {
    Q_OBJECT

public:
    explicit InstScreen(QWidget* parent = nullptr);

protected:
    void paintEvent(QPaintEvent* event) override;
};

// The strip behind a row of segment buttons; add them to its layout().
class SegStrip : public QWidget {
    Q_OBJECT

public:
    explicit SegStrip(QWidget* parent = nullptr);

protected:
    void paintEvent(QPaintEvent* event) override;
};
