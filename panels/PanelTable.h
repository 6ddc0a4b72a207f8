#pragma once

#include <QStringList>

class QTableWidget;

// The look every panel table shares: mono cells, small upper-case captions as the header,
// 28 px rows without grid or frame, whole-row single selection.
namespace PanelTable {

// Fonts, header, rows, grid, frame and selection. Edit triggers, column widths and the
// minimum height stay with each table.
void applyLook(QTableWidget* table);

// Sets the column count and the header texts, upper-cased.
void setHeaders(QTableWidget* table, const QStringList& labels);

// Gives the column `width`, or more where this platform's fonts need more room for the
// widest text the column holds (`widest`, in the cell font) or for its header text.
void fitColumn(QTableWidget* table, int column, int width, const QString& widest = QString());

}
