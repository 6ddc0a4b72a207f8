#pragma once

#include <QList>
#include <QPair>
#include <QString>
#include <QVariant>

class InstValue;
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

// Keeps the rows of a page returned by install() at their preferred heights: a window too
// short for the page scrolls it rather than squeezing its rows, since a squeezed section
// header clips the buttons it carries.
void keepRowHeights(QVBoxLayout* page);

// A row label: application font 12.5 pt, weight 500, tone "sec".
QLabel* rowLabel(const QString& text, QWidget* parent = nullptr);

// A value field: an LED readout of the given digit height that keeps the width of `reserve`.
InstValue* valueField(const QString& reserve, const QString& initial, QWidget* parent = nullptr,
                      int ledHeight = 22);

using ComboItems = QList<QPair<QString, QVariant>>;

// Replaces the items (text, data) with the pull-down's signals blocked and selects again the
// item whose data equals the one selected before; returns whether it was found. Items with
// no data are matched by their text. A pull-down that already holds exactly these items is
// left alone, so an open list does not flicker or close under the operator.
bool refill(QComboBox* combo, const ComboItems& items);

// A state value in slider units of one thousandth, rounded to the nearest unit: truncating
// would show 1.005 as 1.004 and send that back with the next move of a neighbouring slider.
int thousandths(double value);
// A value truncated toward zero, kept inside the int range.
int truncated(double value);

// Selects the first item whose data equals `data` with signals blocked; false and unchanged
// when there is none.
bool selectData(QComboBox* combo, const QVariant& data);
// The same for the first item whose text equals `text` exactly.
bool selectText(QComboBox* combo, const QString& text);

}
