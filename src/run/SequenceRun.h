#pragma once
// SequenceRun: the item and frame steps that the main PC's run and the second
// PC's run share. A run object lives for one run, inside the Start click; it
// reads every sequence field afresh at each use (the user may edit during a
// wait) but copies the item it is working on, so loading another sequence
// meanwhile cannot pull the item from under it.
//
// A frame, from its exposure to its file (Shoot):
//  - the guarded exposure step (binning, SetFullFrame, Expose);
//  - the image wait; a stop aborts the exposure (a request the stop cut
//    short counts as the stop, never as a failure to show);
//  - the save, which never replaces a file the user was not asked about: a
//    file that appeared during the exposure, or at the very last instant
//    (SaveMode::CreateNew refuses it), goes to MayReplaceAppeared(); the
//    image is written on the pixel worker while the run sleeps for events,
//    so Stop, socket reads and timers go on being handled (a stop does not
//    cut a save short: the image is kept);
//  - a frame during which the guider was interrupted is marked in its header
//    (GUIDLOST = T) and, with the night's RetakeLostGuiding, taken again
//    once guiding is back;
//  - with the night's Retry, a camera failure during the frame connects the
//    camera again (RetryTries tries, growing pauses) and retakes the frame
//    under the same name; a damaged image is retaken likewise.
// Everything that happens goes to the night's log (NightLog).
#include "run/FrameEvent.h"
#include "run/GuiderRecovery.h"
#include "run/NightLog.h"
#include "sequence/TSequenceItem.h"

#include <QString>
#include <QVariantMap>
#include <QtGlobal>
#include <memory>

class Error;
class ICamera;
class IDocument;
class RunHost;
class RunWaiter;
class TSequence;

class SequenceRun {
protected:
    SequenceRun(RunHost& host, RunWaiter& waiter);
    virtual ~SequenceRun() = default;

    struct Frame {
        QString FileName;   // shown in the status line and given to the document
        QString Path;       // where the image is saved
        qint64 Pass = 0;    // the pass it belongs to
        int Item = 0;       // the item's grid row, from 1
        qint64 Number = 0;  // the frame within the item, from 1
    };
    enum class Shot {
        Saved,        // the file is there
        NotSaved,     // taken, but not saved (a file appeared; a damaged image)
        Aborted,      // a stop ended it
        StartFailed,  // the guarded exposure step failed: the item's other frames are given up
    };

    // The keyword that marks a frame spoilt by lost guiding.
    static constexpr const char* GuidingLostKey = "GUIDLOST";

    TSequence& Seq() const;
    bool Stopping() const;
    ICamera& Camera() const;
    void Status(const QString& text) const;

    // Item steps: row k + 1, "Changing filter " + its name, the wheel moved
    // (with the night's Retry, through a reconnect when the camera is lost).
    // Returns the run's own copy of the item. Throws when the filter index
    // has no name or the camera fails.
    TSequenceItem BeginItem(int k) const;

    Frame FrameFor(qint64 iteration, const TSequenceItem& item, qint64 frame) const;

    // One frame from the guarded exposure step to its file, as above.
    // `replaceApproved`: the user said Yes to replacing the file that was at
    // the path before the exposure. Throws what ends the run (a failure
    // outside the guarded step that no retry mended, a save that failed).
    Shot Shoot(const Frame& frame, const TSequenceItem& item, bool replaceApproved);

    // A failure outside the guarded step: its own text in an "Error" box (or
    // the night's log). A stop that cut a request short shows nothing.
    void ReportFailure(const Error& error);

    // Tells the host what became of `frame` (RunHost::RunFrameEvent).
    void Tell(FrameEvent::Kind what, const Frame& frame, const TSequenceItem& item) const;

    // --- what the two runs do differently ---
    // A file appeared at the frame's path after it was found free (or after
    // the user was asked): true to replace it.
    virtual bool MayReplaceAppeared(const Frame& frame) = 0;
    // The exposure was started (the guarded step succeeded).
    virtual void ExposureStarted(const Frame& frame, const TSequenceItem& item)
    {
        Q_UNUSED(frame);
        Q_UNUSED(item);
    }
    // Header keywords the frame's file carries besides the camera's own.
    virtual QVariantMap FrameKeys(const Frame& frame) const
    {
        Q_UNUSED(frame);
        return {};
    }
    // The frame was taken but not saved (a file appeared and was kept).
    virtual void FrameNotSaved(const Frame& frame, const TSequenceItem& item) { Q_UNUSED(frame); Q_UNUSED(item); }
    virtual void FrameSaved() {}
    // The pause after an exposure was aborted.
    virtual int AbortPauseMs() const = 0;

    RunHost& m_host;
    RunWaiter& m_waiter;
    mutable NightLog m_log;   // logging changes nothing the run decides on
    GuiderRecovery m_guider;

private:
    // The guarded exposure step. False after a failure shown (or logged)
    // as the error's own text; with the night's Retry the failure is thrown
    // instead, for Shoot to retry.
    bool StartExposure(const TSequenceItem& item);
    // Polls ImageReady after each 100 ms wait until it is true or a stop is
    // requested; ImageReady is read once more after the stop.
    void AwaitImage() const;
    // Aborts the exposure after a stop; a request the stop cut short is fine.
    void AbortAfterStop(const Frame& frame, const TSequenceItem& item);
    // Saves the camera's image (or `kept`, a document held back for a
    // retake) at the frame's path without replacing a file nobody agreed to
    // replace. False when the frame was not saved.
    bool Save(const Frame& frame, bool replaceApproved, const std::shared_ptr<IDocument>& kept);
    // With the night's Retry: connects the camera again and moves the
    // filter wheel back; false when every try failed or a stop came. `next`
    // says what follows ("taking Img-001R.fit again") in the night's log.
    bool Reconnect(const TSequenceItem& item, const QString& next) const;

    mutable int m_itemRow = 0;   // grid row of the item BeginItem began
};
