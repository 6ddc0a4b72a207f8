#pragma once

#include <QList>
#include <QPair>
#include <QString>
#include <QVariant>

class QComboBox;
class QLabel;
class QVBoxLayout;
class QWidget;

// What every operator panel shares: the page it stands on, its row labels, and refilling a
// pull-down without the refill looking like an operator's choice.
namespace PanelPage {

// Fills `panel` with a frameless, widget-resizable scroll area whose content widget is named
// "instContent"; returns that widget's vertical layout (10 px spacing, no margins).
QVBoxLayout* install(QWidget* panel);

// A row label: application font 12.5 pt, weight 500, tone "sec".
QLabel* rowLabel(const QString& text, QWidget* parent = nullptr);

using ComboItems = QList<QPair<QString, QVariant>>;

// Replaces the items (text, data) with the pull-down's signals blocked and selects again the
// item whose data equals the one selected before; returns whether it was found. Items with
// no data are matched by their text.
bool refill(QComboBox* combo, const ComboItems& items);

// Selects the first item whose data equals `data` with signals blocked; false and unchanged
// when there is none.
bool selectData(QComboBox* combo, const QVariant& data);

}
