#include "PanelTable.h"

#include "Inst.h"

#include <QFontMetrics>
#include <QHeaderView>
#include <QTableWidget>

namespace PanelTable {

void applyLook(QTableWidget* table)
{
    if (!table)
        return;
    table->setFont(Inst::mono(12.5, QFont::Weight(500)));
    QHeaderView* header = table->horizontalHeader();
    header->setFont(Inst::mono(10.5, QFont::Weight(600), 1.2));
    header->setDefaultAlignment(Qt::AlignLeft | Qt::AlignBottom);
    header->setSectionsClickable(false);
    header->setHighlightSections(false);
    table->verticalHeader()->hide();
    table->verticalHeader()->setDefaultSectionSize(28);
    table->setShowGrid(false);
    table->setFrameShape(QFrame::NoFrame);
    table->setSelectionBehavior(QAbstractItemView::SelectRows);
    table->setSelectionMode(QAbstractItemView::SingleSelection);
}

namespace {
// What the sheet pads cells and header sections with, plus the item margins of the style.
constexpr int cellPadding = 10 + 8;
constexpr int headerPadding = 10 + 5 + 4;
}

void fitColumn(QTableWidget* table, int column, int width, const QString& widest)
{
    const QTableWidgetItem* header = table->horizontalHeaderItem(column);
    const QFontMetrics headerMetrics(table->horizontalHeader()->font());
    const int forHeader = header ? headerMetrics.horizontalAdvance(header->text()) + headerPadding : 0;
    const int forCells = widest.isEmpty() ? 0 : QFontMetrics(table->font()).horizontalAdvance(widest) + cellPadding;
    table->setColumnWidth(column, qMax(width, qMax(forHeader, forCells)));
}

void setHeaders(QTableWidget* table, const QStringList& labels)
{
    QStringList upper;
    for (const QString& label : labels)
        upper << label.toUpper();
    table->setColumnCount(int(upper.size()));
    table->setHorizontalHeaderLabels(upper);
}

}
