#include "app/FrameHistoryTable.h"

#include "image/FramePreview.h"
#include "run/FrameEvent.h"

#include <QHeaderView>

namespace {
constexpr int kWidths[] = {96, 58, 58, 40, 52, 40, 40};

QTableWidgetItem* cell(const QString& text, bool number)
{
    auto* item = new QTableWidgetItem(text);
    item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable);
    if (number)
        item->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
    return item;
}
}

FrameHistoryTable::FrameHistoryTable(QWidget* parent) : QTableWidget(0, Columns, parent)
{
    setHorizontalHeaderLabels({QStringLiteral("File"), QStringLiteral("UTC"), QStringLiteral("Filter"),
                               QStringLiteral("Exp. s"), QStringLiteral("Backgr."), QStringLiteral("Stars"),
                               QStringLiteral("HFR")});
    for (int c = 0; c < Columns; ++c)
        setColumnWidth(c, kWidths[c]);
    horizontalHeader()->setStretchLastSection(true);
    horizontalHeader()->setHighlightSections(false);
    verticalHeader()->setVisible(false);
    verticalHeader()->setDefaultSectionSize(16);
    horizontalHeader()->setFixedHeight(18);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setAccessibleName(QStringLiteral("Frames of the night"));
}

void FrameHistoryTable::AddFrame(const FrameEvent& saved)
{
    const int row = rowCount();
    insertRow(row);
    setItem(row, File, cell(saved.FileName, false));
    item(row, File)->setData(Qt::UserRole, saved.Path);
    setItem(row, Time, cell(saved.Utc.toUTC().toString(QStringLiteral("HH:mm:ss")), false));
    setItem(row, Filter, cell(saved.FilterName, false));
    setItem(row, Exposure, cell(QString::number(saved.Exposure), true));
    for (Column c : {Background, Stars, Hfr})
        setItem(row, c, cell(QStringLiteral("..."), true));
    scrollToBottom();
}

void FrameHistoryTable::SetFigures(const FramePreview& preview)
{
    for (int row = rowCount() - 1; row >= 0; --row) {
        if (item(row, File)->data(Qt::UserRole).toString() != preview.Path)
            continue;
        if (!preview.Error.isEmpty()) {
            for (Column c : {Background, Stars, Hfr})
                item(row, c)->setText(QStringLiteral("-"));
            item(row, File)->setToolTip(preview.Error);
            return;
        }
        if (preview.DateObs.isValid())
            item(row, Time)->setText(preview.DateObs.toString(QStringLiteral("HH:mm:ss")));
        if (!preview.Filter.isEmpty())
            item(row, Filter)->setText(preview.Filter);
        item(row, Background)->setText(QString::number(preview.Figures.Background, 'f', 0));
        item(row, Stars)->setText(QString::number(preview.Figures.Stars));
        item(row, Hfr)->setText(preview.Figures.Stars ? QString::number(preview.Figures.Hfr, 'f', 2) : QStringLiteral("-"));
        return;
    }
}

QString FrameHistoryTable::Text(int row, Column column) const
{
    const QTableWidgetItem* i = item(row, column);
    return i ? i->text() : QString();
}
