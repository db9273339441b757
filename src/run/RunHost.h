#pragma once
// RunHost: what a sequence run needs of the window, and nothing more: the
// Start and Stop buttons, the run status line, the sequence grid's selected
// row, the start-iteration spinner, message boxes, the peer link, the camera,
// the sequence, the filter names and the run flags. The window implements
// it; tests use a fake that records every call.
//
// All calls come on the UI thread from inside a run (or run control); none
// of them may start a wait of its own, except the message box, which runs
// its own modal loop.
#include "run/NightOptions.h"

#include <QDateTime>
#include <QString>
#include <QStringList>

class ICamera;
class SecondSync;
class SyncHub;
class TSequence;
struct FrameEvent;
struct RunState;

class RunHost {
public:
    virtual ~RunHost() = default;
    virtual void SetStartEnabled(bool enabled) = 0;
    virtual void SetStopEnabled(bool enabled) = 0;
    // The run status line on the Sequence page.
    virtual void SetRunStatusText(const QString& text) = 0;
    // Row 0 is the grid's heading; row 1 the first item.
    virtual void SelectGridRow(int row) = 0;
    // Moves UpDownStartIterate; its edit then passes the value back into the
    // sequence's StartIteration as typed text would (clamped to the spinner).
    virtual void SetStartIterationPosition(int position) = 0;
    // A modal box; flags and results are those of ShowMessageBox.
    virtual int RunMessageBox(const QString& text, const QString& caption, int flags) = 0;
    // Hands a command to the peer link; never waits. The runs ignore the result.
    virtual bool SendToPeer(const QString& command) = 0;
    // The connected camera, or nullptr.
    virtual ICamera* RunCamera() = 0;
    // The editor's sequence. Read afresh at every use: the user may edit it
    // (or load another file) while the run waits.
    virtual TSequence& RunSequence() = 0;
    // Filter names by wheel slot, as read at the camera connection.
    virtual const QStringList& RunFilterList() = 0;
    virtual RunState& RunFlags() = 0;
    // A frame started, was saved, skipped, aborted or failed to start. For
    // those who follow the run; it must not wait or show a box.
    virtual void RunFrameEvent(const FrameEvent& event) { Q_UNUSED(event); }
    // The peer link's extension: on the main PC the hub of the second PCs
    // that report back (the dither guard, the window, the place), on the
    // second PC its side of the link. nullptr where there is none.
    virtual SyncHub* RunSyncHub() { return nullptr; }
    virtual SecondSync* RunSecondSync() { return nullptr; }
    // The image of the frame in progress has come and is being saved at
    // `path` (the Saved event follows). Same rules as RunFrameEvent.
    virtual void RunImageSaving(const QString& path) { Q_UNUSED(path); }

    // What the run does when nobody is at the window; all off by default.
    virtual NightOptions RunNightOptions() { return NightOptions(); }
    // One event of the night (a failure, a retry, a frame marked), as the
    // night's record has it, for whoever lists them. Must not wait or show a box.
    virtual void RunNightEvent(const QDateTime& utc, const QString& text)
    {
        Q_UNUSED(utc);
        Q_UNUSED(text);
    }
    // Lets go of the camera and connects it again as "Connect MaxIm" does,
    // without any box; false with the reason in *why when that fails (the
    // camera is then not connected). May wait (through the event loop).
    virtual bool RunReconnectCamera(QString* why)
    {
        *why = QStringLiteral("this window cannot connect the camera again");
        return false;
    }
};
