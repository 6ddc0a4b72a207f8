#include "PanelPage.h"

#include "Inst.h"

#include <QComboBox>
#include <QFrame>
#include <QLabel>
#include <QScrollArea>
#include <QSignalBlocker>
#include <QVBoxLayout>

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

QLabel* rowLabel(const QString& text, QWidget* parent)
{
    auto* label = new QLabel(text, parent);
    label->setFont(Inst::sans(12.5, QFont::Medium));
    Inst::setTone(label, "sec");
    return label;
}

namespace {
int indexOf(const QComboBox* combo, const QVariant& data, const QString& text)
{
    return data.isValid() ? combo->findData(data) : combo->findText(text);
}
}

bool refill(QComboBox* combo, const ComboItems& items)
{
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

bool selectData(QComboBox* combo, const QVariant& data)
{
    const int index = combo->findData(data);
    if (index < 0)
        return false;
    const QSignalBlocker blocker(combo);
    combo->setCurrentIndex(index);
    return true;
}

}
