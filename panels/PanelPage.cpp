#include "PanelPage.h"

#include "Inst.h"
#include "InstValue.h"

#include <QComboBox>
#include <QFrame>
#include <QLabel>
#include <QScrollArea>
#include <QSignalBlocker>
#include <QVBoxLayout>

#include <algorithm>
#include <cmath>
#include <limits>

namespace PanelPage {

QVBoxLayout* install(QWidget* panel)
{
    auto* outer = new QVBoxLayout(panel);
    outer->setContentsMargins(0, 0, 0, 0);
    outer->setSpacing(0);

    auto* scroll = new QScrollArea(panel);
    scroll->setFrameShape(QFrame::NoFrame);
    scroll->setWidgetResizable(true);
    outer->addWidget(scroll);

    auto* content = new QWidget(scroll);
    content->setObjectName("instContent");
    auto* layout = new QVBoxLayout(content);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(10);
    scroll->setWidget(content);
    return layout;
}

void keepRowHeights(QVBoxLayout* page)
{
    page->parentWidget()->setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Minimum);
}

QLabel* rowLabel(const QString& text, QWidget* parent)
{
    auto* label = new QLabel(text, parent);
    label->setFont(Inst::sans(12.5, QFont::Medium));
    Inst::setTone(label, "sec");
    return label;
}

InstValue* valueField(const QString& reserve, const QString& initial, QWidget* parent, int ledHeight)
{
    auto* field = new InstValue(ledHeight, parent);
    field->setReserve(reserve);
    field->setText(initial);
    return field;
}

namespace {
int indexOf(const QComboBox* combo, const QVariant& data, const QString& text)
{
    return data.isValid() ? combo->findData(data) : combo->findText(text);
}

bool holds(const QComboBox* combo, const ComboItems& items)
{
    if (combo->count() != items.size())
        return false;
    for (int i = 0; i < items.size(); ++i) {
        if (combo->itemText(i) != items.at(i).first || combo->itemData(i) != items.at(i).second)
            return false;
    }
    return true;
}
}

bool refill(QComboBox* combo, const ComboItems& items)
{
    if (holds(combo, items))
        return combo->currentIndex() >= 0;
    const QSignalBlocker blocker(combo);
    const QVariant previousData = combo->currentData();
    const QString previousText = combo->currentText();
    combo->clear();
    for (const auto& [text, data] : items)
        combo->addItem(text, data);
    const int index = indexOf(combo, previousData, previousText);
    if (index >= 0)
        combo->setCurrentIndex(index);
    return index >= 0;
}

int truncated(double value)
{
    constexpr double lowest = std::numeric_limits<int>::min();
    constexpr double highest = std::numeric_limits<int>::max();
    return int(std::clamp(value, lowest, highest));
}

int thousandths(double value)
{
    return truncated(std::round(value * 1000.0));
}

namespace {
bool selectIndex(QComboBox* combo, int index)
{
    if (index < 0)
        return false;
    const QSignalBlocker blocker(combo);
    combo->setCurrentIndex(index);
    return true;
}
}

bool selectData(QComboBox* combo, const QVariant& data)
{
    return selectIndex(combo, combo->findData(data));
}

bool selectText(QComboBox* combo, const QString& text)
{
    return selectIndex(combo, combo->findText(text));
}

}
