#pragma once
// SequenceRun: the item and frame steps that the main PC's run and the second
// PC's run share. A run object lives for one run, inside the Start click; it
// reads every sequence field afresh at each use (the user may edit during a
// wait) but copies the item it is working on, so loading another sequence
// meanwhile cannot pull the item from under it.
#include "run/FrameEvent.h"
#include "sequence/TSequenceItem.h"

#include <QString>
#include <QVariantMap>
#include <QtGlobal>

class Error;
class ICamera;
class RunHost;
class RunWaiter;
class TSequence;

class SequenceRun {
protected:
    SequenceRun(RunHost& host, RunWaiter& waiter) : m_host(host), m_waiter(waiter) {}
    ~SequenceRun() = default;

    struct Frame {
        QString FileName;   // shown in the status line and given to the document
        QString Path;       // where the image is saved
        qint64 Pass = 0;    // the pass it belongs to
        int Item = 0;       // the item's grid row, from 1
        qint64 Number = 0;  // the frame within the item, from 1
    };

    TSequence& Seq() const;
    bool Stopping() const;
    ICamera& Camera() const;
    void Status(const QString& text) const;

    // Item steps: row k + 1, "Changing filter " + its name, the wheel moved.
    // Returns the run's own copy of the item. Throws when the filter index
    // has no name or the camera fails.
    TSequenceItem BeginItem(int k) const;

    Frame FrameFor(qint64 iteration, const TSequenceItem& item, qint64 frame) const;

    // The guarded exposure step: binning (BinY is read only when BinX is
    // right), SetFullFrame, Expose. A failure is shown in its own words
    // (caption "Error", exclamation icon) and gives false.
    bool StartExposure(const TSequenceItem& item) const;

    // Polls ImageReady after each 100 ms wait until it is true or a stop is
    // requested; ImageReady is read once more after the stop.
    void AwaitImage() const;

    // Names the document, sets the header keywords `keys` on it and saves
    // the image at the frame's path, waiting for the save (done off the UI
    // thread) through the waiter.
    void SaveFrame(const Frame& frame, const QVariantMap& keys = {}) const;

    // A failure outside the guarded step: its own text in an "Error" box.
    void ReportFailure(const Error& error) const;

    // Tells the host what became of `frame` (RunHost::RunFrameEvent).
    void Tell(FrameEvent::Kind what, const Frame& frame, const TSequenceItem& item) const;

    RunHost& m_host;
    RunWaiter& m_waiter;

private:
    mutable int m_itemRow = 0;   // grid row of the item BeginItem began
};
