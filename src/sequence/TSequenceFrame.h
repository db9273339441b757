#pragma once
// TSequenceFrame: the sequence editor on the main window's Sequence page. It
// owns the application's one TSequence, shows its parameters in edit fields
// and its items in a grid, edits one item in place over its grid row, and
// loads and saves sequence files.
//
// It borrows the main window's filter-name list and Running flag (both may
// be null until set; a null list reads as empty, a null flag as "not
// running"). Every edit of a parameter field goes straight into the model;
// an empty field leaves its value as it was. Item edits change the model but
// do not mark the sequence as changed (only parameters decide whether Save
// asks for a file name).
//
// Message boxes go through ShowMessageBox, file dialogs through FileDialog,
// and the folder chooser through ChooseFolder, so every flow can be scripted.
// No exception leaves the frame: a failure is shown in the standard error box
// (its message with a full stop, the application's name as caption).
#include "sequence/TSequence.h"

#include "platform/FileDialog.h"

#include <QFrame>
#include <QStringList>
#include <functional>
#include <memory>

namespace Ui { class TSequenceFrame; }

class TSequenceFrame : public QFrame {
    Q_OBJECT
public:
    explicit TSequenceFrame(QWidget* owner = nullptr);
    ~TSequenceFrame() override;

    // --- set by the main window ---------------------------------------
    void SetFilterList(const QStringList* filterList);
    void SetRunningFlag(const bool* runningFlag);

    // The operating mode. Main PC: CBAllowList disabled (at left 22, width
    // 305, with its caption). Second PC: the delay, dithering and
    // guide-error labels, edits and up-down disabled. Never undone.
    void ApplyRole(bool isMainPC);

    // useEdit true (start-up): loads the file named in SequenceFileEdit, a
    // bare name taken relative to ProgramDir(); false (the Open button), or
    // an empty edit: asks with the open dialog. Returns false when cancelled.
    bool LoadSequence(bool useEdit);

    // askForName true (the Save button): when a parameter was edited since
    // the last load or save, asks for the file with the save dialog preset
    // to SequenceFileEdit's text (cancel: nothing saved, returns false).
    // Then writes the model to FileName; an empty or bare FileName is taken
    // relative to ProgramDir(). A write failure is shown in the standard
    // error box, leaves the old file untouched and returns false.
    bool SaveSequence(bool askForName);

    // Rewrites the grid from the model (also after the filter list changed).
    void FillGrid();

    // --- used by the runs ------------------------------------------------
    TSequence& Sequence() { return m_sequence; }
    const TSequence& Sequence() const { return m_sequence; }

    // Selects grid row `row` (1 = the first item) as a selection by the user
    // would: the in-place editor opens unless the Running flag is set.
    void SelectRow(int row);
    int SelectedRow() const;   // 1 = the first item, 0 = none

    // Sets UpDownStartIterate's position; its edit then passes through the
    // change handler like typed text (StartIteration re-read, sequence
    // marked changed).
    void SetStartIteration(int position);

    bool IsSequenceChanged() const { return m_sequenceChanged; }
    bool IsEditingItem() const;

    // Opens the destination folder chooser on `folder`; true with the chosen
    // folder on OK. Replaceable for tests.
    std::function<bool(QString& folder)> ChooseFolder;

    // --- event handlers ----------------------------------------------------
    void SequenceFileEditChange();
    void CBAllowListClick();
    void SequenceOpenButtonClick();
    void SequenceSaveButtonClick();
    void DestDirButtonClick();
    void SequenceGridSelectCell(int column, int row);
    void OkButtonClick();
    void CancelButtonClick();

    static constexpr int DefaultRowHeight = 18;
    static constexpr int MinimumDataRows = 39;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void layoutEditor();
    void placeEditor(int row);
    void showEditor(bool visible);
    QString resolveInProgramDir(const QString& name) const;
    FileDialog sequenceDialog(FileDialog::Kind kind) const;
    void setFileNameEdit(const QString& text);
    void reportMalformedItems();

    std::unique_ptr<Ui::TSequenceFrame> m_ui;
    TSequence m_sequence;
    const QStringList* m_filterList = nullptr;
    const bool* m_runningFlag = nullptr;
    QString m_programDir;
    bool m_loadingSequence = false;
    bool m_sequenceChanged = false;
    bool m_rowChangeHandled = false;
};
