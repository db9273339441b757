#include "SequenceGrid.h"

#include <QHeaderView>
#include <QTableWidget>

namespace {
const int kColumnWidths[6] = {32, 96, 64, 64, 64, 64};
}

QStringList SequenceGrid::Headers()
{
    return {"N.", "Filter", "Suffix", "Exposure", "Bin", "Repeat"};
}

void SequenceGrid::Configure(QTableWidget* grid, int rows, int rowHeight)
{
    grid->setColumnCount(6);
    grid->setRowCount(rows);
    grid->verticalHeader()->hide();
    grid->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    grid->verticalHeader()->setMinimumSectionSize(1);
    grid->verticalHeader()->setDefaultSectionSize(rowHeight);
    grid->horizontalHeader()->setFixedHeight(rowHeight);
    grid->horizontalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    grid->horizontalHeader()->setHighlightSections(false);
    grid->setFrameStyle(QFrame::Box | QFrame::Plain);
    grid->setLineWidth(1);
    grid->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    grid->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    grid->setSelectionBehavior(QAbstractItemView::SelectRows);
    grid->setSelectionMode(QAbstractItemView::SingleSelection);
    grid->setEditTriggers(QAbstractItemView::NoEditTriggers);
    grid->setVerticalScrollMode(QAbstractItemView::ScrollPerItem);
    for (int c = 0; c < 6; ++c)
        grid->setColumnWidth(c, kColumnWidths[c]);
}
