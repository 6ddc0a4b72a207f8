#pragma once

#include <QWidget>

class QButtonGroup;
class QHBoxLayout;
class QPushButton;
class QStackedWidget;

// A strip of pill tabs over a page stack; exactly one tab is checked, the current page's.
class InstTabs : public QWidget {
    Q_OBJECT

public:
    explicit InstTabs(QWidget* parent = nullptr);

    int addTab(QWidget* page, const QString& title);
    void setCurrentIndex(int index);
    int currentIndex() const;
    int count() const;
    QPushButton* tabButton(int index) const;
    QWidget* page(int index) const;

signals:
    void currentChanged(int index);

private:
    QHBoxLayout* m_strip;
    QButtonGroup* m_buttons;
    QStackedWidget* m_pages;
};
