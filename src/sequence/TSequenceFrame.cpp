#include "TSequenceFrame.h"

#include "SequenceEditing.h"
#include "SequenceGrid.h"

#include "TSelDirectoryForm.h"
#include "ui_TSequenceFrame.h"

#include "platform/Error.h"
#include "platform/FileDialog.h"
#include "platform/IniFile.h"
#include "platform/MessageBox.h"
#include "platform/ProgramDir.h"
#include "platform/StandardError.h"

#include <QApplication>
#include <QStyle>

namespace {
const QString kSeqFilter = QStringLiteral("Sequence file|*.seq");
const QString kSeqExt = QStringLiteral("seq");

}

TSequenceFrame::TSequenceFrame(QWidget* owner)
    : QFrame(owner), m_ui(std::make_unique<Ui::TSequenceFrame>()), m_programDir(ProgramDir())
{
    Ui::TSequenceFrame& ui = *m_ui;
    ui.setupUi(this);

    // Filters first: setting one empties the field.
    for (TMyEdit* e : {ui.IterationsEdit, ui.StartIterationEdit, ui.DelayFrameEdit, ui.ExposureEdit,
                       ui.BinningEdit, ui.RepeatEdit})
        e->SetCharFilter(chNumber);
    ui.DitheringEdit->SetCharFilter(chDecimal);
    ui.WhileGuideEdit->SetCharFilter(chDecimal);
    // A text the file cannot give back whole is refused as it is typed.
    ui.ImgFileEdit->setMaxLength(IniFile::MaxValueLength);
    ui.DestDirEdit->setMaxLength(IniFile::MaxValueLength);
    ui.ImgFileEdit->setText(QStringLiteral("Img"));
    ui.SequenceFileEdit->setText(TSequence::DefaultFileName);
    ui.DestDirEdit->setText(TSequence::DefaultDestDir());

    struct Pair { TUpDown* upDown; TMyEdit* edit; int min, max, position; };
    for (const Pair& p : {Pair{ui.UpDownIterations, ui.IterationsEdit, 1, 1000, 1},
                          Pair{ui.UpDownStartIterate, ui.StartIterationEdit, 1, 1000, 1},
                          Pair{ui.UpDownDelayFrame, ui.DelayFrameEdit, 0, 100, 0},
                          Pair{ui.UpDownExposure, ui.ExposureEdit, 1, 32000, 1},
                          Pair{ui.UpDownBinning, ui.BinningEdit, 1, 3, 1},
                          Pair{ui.UpDownRepeat, ui.RepeatEdit, 0, 100, 0}}) {
        p.upDown->SetRange(p.min, p.max);
        p.upDown->setAssociate(p.edit);
        p.upDown->SetPosition(p.position);
    }
    ui.SequenceOpenButton->setIcon(style()->standardIcon(QStyle::SP_DialogOpenButton));
    ui.SequenceSaveButton->setIcon(style()->standardIcon(QStyle::SP_DialogSaveButton));
    ui.DestDirButton->setIcon(style()->standardIcon(QStyle::SP_DirOpenIcon));

    QTableWidget* grid = ui.SequenceGrid;
    SequenceGrid::Configure(grid, MinimumDataRows, DefaultRowHeight + 1);
    layoutEditor();
    FillGrid();

    ChooseFolder = [this](QString& folder) {
        TSelDirectoryForm form(this, folder);
        return form.exec() == QDialog::Accepted;
    };

    for (TMyEdit* e : {ui.SequenceFileEdit, ui.DestDirEdit, ui.ImgFileEdit, ui.IterationsEdit,
                       ui.StartIterationEdit, ui.DelayFrameEdit, ui.DitheringEdit, ui.WhileGuideEdit})
        connect(e, &QLineEdit::textChanged, this, [this] { RunGuarded([this] { SequenceFileEditChange(); }); });
    connect(ui.CBAllowList, &QCheckBox::toggled, this, [this] { RunGuarded([this] { CBAllowListClick(); }); });
    connect(ui.SequenceOpenButton, &QToolButton::clicked, this, &TSequenceFrame::SequenceOpenButtonClick);
    connect(ui.SequenceSaveButton, &QToolButton::clicked, this, &TSequenceFrame::SequenceSaveButtonClick);
    connect(ui.DestDirButton, &QToolButton::clicked, this, &TSequenceFrame::DestDirButtonClick);
    connect(ui.OkButton, &QPushButton::clicked, this, &TSequenceFrame::OkButtonClick);
    connect(ui.CancelButton, &QPushButton::clicked, this, &TSequenceFrame::CancelButtonClick);
    // A move of the selection (mouse or keys) and a press on the row that is
    // already selected both count as selecting a row.
    connect(grid, &QTableWidget::currentCellChanged, this, [this](int row, int column) {
        if (row < 0)
            return;
        m_rowChangeHandled = true;
        SequenceGridSelectCell(column, row + 1);
    });
    grid->viewport()->installEventFilter(this);
    connect(grid, &QTableWidget::cellPressed, this, [this](int row, int column) {
        if (m_rowChangeHandled) {
            m_rowChangeHandled = false;
            return;
        }
        SequenceGridSelectCell(column, row + 1);
    });

    m_sequenceChanged = false;
}

TSequenceFrame::~TSequenceFrame() = default;

bool TSequenceFrame::eventFilter(QObject* watched, QEvent* event)
{
    // Each press starts unhandled: a selection moved by the keys before it
    // must not swallow the press on the row that is now selected.
    if (watched == m_ui->SequenceGrid->viewport() && event->type() == QEvent::MouseButtonPress)
        m_rowChangeHandled = false;
    return QFrame::eventFilter(watched, event);
}

void TSequenceFrame::SetFilterList(const QStringList* filterList) { m_filterList = filterList; }

void TSequenceFrame::SetRunningFlag(const bool* runningFlag) { m_runningFlag = runningFlag; }

void TSequenceFrame::ApplyRole(bool isMainPC)
{
    Ui::TSequenceFrame& ui = *m_ui;
    if (isMainPC) {
        ui.CBAllowList->setEnabled(false);
        ui.CBAllowList->setGeometry(22, ui.CBAllowList->y(), 305, ui.CBAllowList->height());
        ui.CBAllowList->setText(QStringLiteral("Allow complete cicle without waiting for server new frame"));
        return;
    }
    for (QWidget* w : std::initializer_list<QWidget*>{
             ui.DelayFrameLabel, ui.DelayFrameEdit, ui.UpDownDelayFrame, ui.DitheringLabel,
             ui.PixelDitheringLabel, ui.DitheringEdit, ui.WhileGuideLabel1, ui.WhileGuideEdit,
             ui.WhileGuideLabel2})
        w->setEnabled(false);
}

void TSequenceFrame::layoutEditor()
{
    Ui::TSequenceFrame& ui = *m_ui;
    const QTableWidget* grid = ui.SequenceGrid;
    auto right = [](const QWidget* w) { return w->x() + w->width(); };
    auto place = [](QWidget* w, int left, int width) { w->setGeometry(left, w->y(), width, DefaultRowHeight + 1); };
    place(ui.CBFilter, grid->columnWidth(0) + grid->x() + 2, grid->columnWidth(1) + 2);
    place(ui.SuffixEdit, right(ui.CBFilter), grid->columnWidth(2) + 1);
    place(ui.ExposureEdit, right(ui.SuffixEdit), grid->columnWidth(3) - ui.UpDownExposure->width());
    place(ui.UpDownExposure, right(ui.ExposureEdit) + 1, ui.UpDownExposure->width());
    place(ui.BinningEdit, right(ui.UpDownExposure), grid->columnWidth(4) - ui.UpDownBinning->width());
    place(ui.UpDownBinning, right(ui.BinningEdit) + 1, ui.UpDownBinning->width());
    place(ui.RepeatEdit, right(ui.UpDownBinning), grid->columnWidth(5) - ui.UpDownRepeat->width());
    place(ui.UpDownRepeat, right(ui.RepeatEdit) + 1, ui.UpDownRepeat->width());
    ui.PanOkCancel->move(ui.BinningEdit->x(), ui.PanOkCancel->y());
}

FileDialog TSequenceFrame::sequenceDialog(FileDialog::Kind kind) const
{
    FileDialog dialog(kind);
    dialog.InitialDir = m_programDir;
    dialog.Filter = kSeqFilter;
    dialog.DefaultExt = kSeqExt;
    return dialog;
}

QString TSequenceFrame::resolveInProgramDir(const QString& name) const
{
    return SequenceEditing::ResolveInProgramDir(m_programDir, name);
}

void TSequenceFrame::setFileNameEdit(const QString& text)
{
    const bool wasLoading = m_loadingSequence;
    m_loadingSequence = true;
    m_ui->SequenceFileEdit->setText(text);
    m_loadingSequence = wasLoading;
}

void TSequenceFrame::SequenceFileEditChange()
{
    if (m_loadingSequence)
        return;
    const Ui::TSequenceFrame& ui = *m_ui;
    SequenceEditing::TakeParameters(m_sequence, {ui.SequenceFileEdit->text(), ui.ImgFileEdit->text(),
                                                 ui.DestDirEdit->text(), ui.IterationsEdit->text(),
                                                 ui.StartIterationEdit->text(), ui.DelayFrameEdit->text(),
                                                 ui.DitheringEdit->text(), ui.WhileGuideEdit->text(),
                                                 ui.CBAllowList->isChecked()});
    m_sequenceChanged = true;
}

void TSequenceFrame::CBAllowListClick() { SequenceFileEditChange(); }

bool TSequenceFrame::LoadSequence(bool useEdit)
{
    Ui::TSequenceFrame& ui = *m_ui;
    QString file;
    if (useEdit && !ui.SequenceFileEdit->text().isEmpty()) {
        file = resolveInProgramDir(ui.SequenceFileEdit->text());
    } else {
        FileDialog dialog = sequenceDialog(FileDialog::Kind::Open);
        if (!dialog.Execute())
            return false;
        file = dialog.FileName;
    }

    // Load throws (a file too large to read) before it changes anything.
    m_sequence.Load(file);
    m_loadingSequence = true;
    ui.SequenceFileEdit->setText(m_sequence.FileName);
    ui.ImgFileEdit->setText(m_sequence.ImgFileName);
    ui.DestDirEdit->setText(m_sequence.DestDir);
    ui.UpDownIterations->SetPosition(qint16(m_sequence.Iterations));
    ui.UpDownStartIterate->SetPosition(qint16(m_sequence.StartIteration));
    ui.UpDownDelayFrame->SetPosition(qint16(m_sequence.DelayFrame));
    ui.DitheringEdit->setText(m_sequence.PixelDither.ToText());
    ui.WhileGuideEdit->setText(m_sequence.WhileGuideError.ToText());
    ui.CBAllowList->setChecked(m_sequence.AllowList);
    FillGrid();
    m_sequenceChanged = false;
    m_loadingSequence = false;
    reportMalformedItems();
    return true;
}

void TSequenceFrame::reportMalformedItems()
{
    const QString message = SequenceEditing::MalformedItemsMessage(m_sequence);
    if (!message.isEmpty())
        ShowMessageBox(message, QStringLiteral("Warning"), MsgBox::WarningOk);
}

bool TSequenceFrame::SaveSequence(bool askForName)
{
    if (askForName && m_sequenceChanged) {
        FileDialog dialog = sequenceDialog(FileDialog::Kind::Save);
        dialog.FileName = m_ui->SequenceFileEdit->text();
        if (!dialog.Execute())
            return false;
        m_sequence.FileName = dialog.FileName;
        setFileNameEdit(m_sequence.FileName);
    }
    const QString target = SequenceEditing::SaveFileName(m_programDir, m_sequence.FileName, m_ui->SequenceFileEdit->text());
    if (target != m_sequence.FileName) {
        m_sequence.FileName = target;
        setFileNameEdit(target);
    }
    try {
        m_sequence.Save();
    } catch (const Error& e) {
        ShowStandardError(e.message());
        return false;
    }
    m_sequenceChanged = false;
    return true;
}

void TSequenceFrame::FillGrid()
{
    QTableWidget* grid = m_ui->SequenceGrid;
    const QSignalBlocker block(grid);
    const QList<TSequenceItem>& items = m_sequence.Items;
    // Every item has a row, plus one empty row to append from.
    const int rows = std::max<int>(MinimumDataRows, int(items.size()) + 1);
    const int current = grid->currentRow();
    grid->clearContents();
    grid->setRowCount(rows);
    grid->setHorizontalHeaderLabels(SequenceGrid::Headers());
    const QStringList empty;
    const QStringList& filters = m_filterList ? *m_filterList : empty;
    for (int i = 0; i < items.size(); ++i) {
        const QStringList cells = SequenceEditing::GridCells(items[i], i, filters);
        for (int c = 0; c < 6; ++c)
            grid->setItem(i, c, new QTableWidgetItem(cells[c]));
    }
    if (current >= 0 && current < rows)
        grid->setCurrentCell(current, 0, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
}

void TSequenceFrame::SequenceGridSelectCell(int /*column*/, int row)
{
    if (m_runningFlag && *m_runningFlag)
        return;
    Ui::TSequenceFrame& ui = *m_ui;
    ui.CBFilter->clear();
    if (m_filterList)
        ui.CBFilter->addItems(*m_filterList);
    if (row > m_sequence.Items.size()) {
        // An empty row: a new item; exposure and binning keep what they showed.
        ui.CBFilter->setCurrentIndex(-1);
        ui.SuffixEdit->clear();
        ui.UpDownRepeat->SetPosition(1);
    } else {
        const TSequenceItem& item = m_sequence.Items[row - 1];
        // An index the list does not hold shows no filter, so OK asks for one.
        ui.CBFilter->setCurrentIndex(item.Filter >= 0 && item.Filter < ui.CBFilter->count() ? item.Filter : -1);
        ui.SuffixEdit->setText(item.Suffix);
        ui.UpDownExposure->SetPosition(qint16(item.Exposure));
        ui.UpDownBinning->SetPosition(qint16(item.Binning));
        ui.UpDownRepeat->SetPosition(qint16(item.Repeat));
    }
    placeEditor(row);
    showEditor(true);
    ui.CBFilter->setFocus();
}

void TSequenceFrame::placeEditor(int row)
{
    Ui::TSequenceFrame& ui = *m_ui;
    const QTableWidget* grid = ui.SequenceGrid;
    const int topRow = std::max(0, grid->rowAt(0)) + 1;   // 1 = the first item row
    const int top = (row - topRow + 1) * (DefaultRowHeight + 1) + grid->y() + 1;
    for (QWidget* w : std::initializer_list<QWidget*>{ui.CBFilter, ui.SuffixEdit, ui.ExposureEdit,
                                                      ui.UpDownExposure, ui.BinningEdit, ui.UpDownBinning,
                                                      ui.RepeatEdit, ui.UpDownRepeat})
        w->move(w->x(), top);
    // Below the row; above it when below would leave the frame, so OK and
    // Cancel can always be reached.
    int panelTop = top + DefaultRowHeight + 2;
    if (panelTop + ui.PanOkCancel->height() > height())
        panelTop = top - ui.PanOkCancel->height() - 1;
    ui.PanOkCancel->move(ui.PanOkCancel->x(), panelTop);
}

void TSequenceFrame::showEditor(bool visible)
{
    Ui::TSequenceFrame& ui = *m_ui;
    for (QWidget* w : std::initializer_list<QWidget*>{ui.CBFilter, ui.SuffixEdit, ui.ExposureEdit,
                                                      ui.UpDownExposure, ui.BinningEdit, ui.UpDownBinning,
                                                      ui.RepeatEdit, ui.UpDownRepeat, ui.PanOkCancel}) {
        w->setVisible(visible);
        if (visible)
            w->raise();
    }
    ui.SequenceGrid->setEnabled(!visible);
}

bool TSequenceFrame::IsEditingItem() const { return m_ui->PanOkCancel->isVisibleTo(this); }

void TSequenceFrame::OkButtonClick()
{
    Ui::TSequenceFrame& ui = *m_ui;
    const QString missing = SequenceEditing::MissingItemField(ui.CBFilter->currentIndex(), ui.ExposureEdit->text(),
                                                              ui.BinningEdit->text(), ui.RepeatEdit->text());
    if (!missing.isEmpty()) {
        ShowMessageBox(missing, QStringLiteral("Error"), MsgBox::ErrorOk);
        return;
    }
    const int row = SelectedRow();
    const TSequenceItem edited {ui.CBFilter->currentIndex(), qint16(ui.UpDownExposure->Position()),
                                qint16(ui.UpDownBinning->Position()), qint16(ui.UpDownRepeat->Position()),
                                ui.SuffixEdit->text()};
    if (SequenceEditing::StoreItem(m_sequence, row, edited) == SequenceEditing::ItemChange::AskDelete
        && ShowMessageBox(QStringLiteral("Delete current item?"), QStringLiteral("Advice"), MsgBox::QuestionYesNo)
               == MsgBox::ResultYes)
        SequenceEditing::DeleteItem(m_sequence, row);
    showEditor(false);
    FillGrid();
}

void TSequenceFrame::CancelButtonClick() { showEditor(false); }

void TSequenceFrame::DestDirButtonClick()
{
    TMyEdit* edit = m_ui->DestDirEdit;
    QString folder = edit->text();
    if (ChooseFolder && ChooseFolder(folder))
        RunGuarded([&] { edit->setText(folder); });
    edit->setSelection(int(edit->text().size()) - 1, 0);
    edit->setCursorPosition(int(edit->text().size()) - 1);
}

void TSequenceFrame::SequenceOpenButtonClick() { LoadSequence(false); }

void TSequenceFrame::SequenceSaveButtonClick() { SaveSequence(true); }

void TSequenceFrame::SelectRow(int row)
{
    QTableWidget* grid = m_ui->SequenceGrid;
    if (row < 1 || row > grid->rowCount())
        return;
    {
        const QSignalBlocker block(grid);
        grid->setCurrentCell(row - 1, 0, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
        grid->scrollToItem(grid->item(row - 1, 0));
    }
    SequenceGridSelectCell(0, row);
}

int TSequenceFrame::SelectedRow() const { return m_ui->SequenceGrid->currentRow() + 1; }

void TSequenceFrame::SetStartIteration(int position)
{
    RunGuarded([&] { m_ui->UpDownStartIterate->SetPosition(position); });
}
