#include "InstTabs.h"
#include "Inst.h"

#include <QButtonGroup>
#include <QHBoxLayout>
#include <QPushButton>
#include <QStackedWidget>
#include <QVBoxLayout>

InstTabs::InstTabs(QWidget* parent)
    : QWidget(parent)
    , m_strip(new QHBoxLayout)
    , m_buttons(new QButtonGroup(this))
    , m_pages(new QStackedWidget(this))
{
    m_buttons->setExclusive(true);
    m_strip->setContentsMargins(3, 3, 3, 3);
    m_strip->setSpacing(10);
    m_strip->addStretch(1);

    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(0);
    column->addLayout(m_strip);
    column->addWidget(m_pages, 1);

    connect(m_buttons, &QButtonGroup::idClicked, this, &InstTabs::setCurrentIndex);
}

int InstTabs::addTab(QWidget* page, const QString& title)
{
    if (!page)
        return -1;
    const int index = m_pages->addWidget(page);
    auto* button = new QPushButton(title, this);
    button->setCheckable(true);
    button->setProperty("inst", QByteArray("tab"));
    button->setFont(Inst::mono(10.5, QFont::Weight(600), 1.2));
    button->setCursor(Qt::PointingHandCursor);
    button->setFocusPolicy(Qt::TabFocus);
    m_buttons->addButton(button, index);
    m_strip->insertWidget(index, button);
    if (index == m_pages->currentIndex())
        button->setChecked(true);
    if (index == 0)
        emit currentChanged(0);
    return index;
}

void InstTabs::setCurrentIndex(int index)
{
    if (index < 0 || index >= m_pages->count())
        return;
    m_buttons->button(index)->setChecked(true);
    if (index == m_pages->currentIndex())
        return;
    m_pages->setCurrentIndex(index);
    emit currentChanged(index);
}

int InstTabs::currentIndex() const
{
    return m_pages->currentIndex();
}

int InstTabs::count() const
{
    return m_pages->count();
}

QPushButton* InstTabs::tabButton(int index) const
{
    return qobject_cast<QPushButton*>(m_buttons->button(index));
}

QWidget* InstTabs::page(int index) const
{
    return m_pages->widget(index);
}
