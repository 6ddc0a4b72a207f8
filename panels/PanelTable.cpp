#include "PanelTable.h"

#include "Inst.h"

#include <QFrame>
#include <QHeaderView>
#include <QTableWidget>

namespace PanelTable {

void applyLook(QTableWidget* table, const QStringList& headers)
{
    table->setFont(Inst::mono(12.5, QFont::Weight(500)));
    table->setColumnCount(int(headers.size()));
    QStringList upper;
    for (const QString& text : headers)
        upper << text.toUpper();
    table->setHorizontalHeaderLabels(upper);

    QHeaderView* header = table->horizontalHeader();
    header->setFont(Inst::mono(10.5, QFont::Weight(600), 1.2));
    header->setDefaultAlignment(Qt::AlignLeft | Qt::AlignBottom);
    header->setSectionsClickable(false);
    header->setHighlightSections(false);

    table->verticalHeader()->hide();
    table->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    table->verticalHeader()->setDefaultSectionSize(28);
    table->setShowGrid(false);
    table->setFrameShape(QFrame::NoFrame);
    table->setSelectionBehavior(QAbstractItemView::SelectRows);
    table->setSelectionMode(QAbstractItemView::SingleSelection);
}

}
