#pragma once
// SequenceGrid: the look of the sequence editor's item grid: six fixed-width
// columns under a heading row, whole rows selected one at a time, no
// editing in place, rows of one fixed height (the heading too) so that the
// in-place item editor can be laid over any row.
#include <QStringList>

class QTableWidget;

struct SequenceGrid {
    static void Configure(QTableWidget* grid, int rows, int rowHeight);
    // "N.", "Filter", "Suffix", "Exposure", "Bin", "Repeat".
    static QStringList Headers();
};
