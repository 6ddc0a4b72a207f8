#pragma once

#include <QStringList>

class QTableWidget;

namespace PanelTable {

// The look the operator panels' tables share: mono cells, a mono caption header with the
// given texts upper-cased, left- and bottom-aligned and not clickable; no row header, grid
// or frame; rows of 28 px; whole-row single selection. Editing, widths and heights stay
// each panel's own.
void applyLook(QTableWidget* table, const QStringList& headers);

}
