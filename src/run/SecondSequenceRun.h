#pragma once
// SecondSequenceRun: the second PC's run (RunSecondSequence). It works
// through its own sequence like the main run, but a frame starts only when
// the main PC's "Expose" has arrived (ExposeReceived, set by the peer link):
// without AllowList each frame waits for a command of its own; with it, a
// command's seconds are a budget that consecutive frames spend, and a frame
// waits only when its exposure exceeds what is left. Every frame ends by
// clearing ExposeReceived, so a command that arrives during a frame is used
// up by it.
//
// An existing file is skipped without a word, also one that appears at a
// frame's path during its exposure (the image is then not saved); nothing is sent to the main PC;
// there is no delay, no dithering, and StartIteration stays as it is. The
// wait for the main PC sleeps until an event comes: the flag is tested
// before every sleep, so a command that is already pending starts the frame
// at once, and one that arrives is seen the moment its bytes are read.
// Failures outside the guarded exposure step end the run as in the main run
// (an "Error" box, then the closing steps).
#include "run/SequenceRun.h"

class SecondSequenceRun final : private SequenceRun {
public:
    SecondSequenceRun(RunHost& host, RunWaiter& waiter) : SequenceRun(host, waiter) {}

    // Returns when the run is over.
    void Run();

private:
    void RunItem(qint64 iteration, int k);
    // False when the guarded exposure step failed.
    bool RunFrame(qint64 iteration, const TSequenceItem& item, qint64 j);
    void WaitForRemoteStart();

    bool MayReplaceAppeared(const Frame& frame) override;
    void ExposureStarted(const TSequenceItem& item) override { m_exposeBudget -= item.Exposure; }
    void FrameSaved() override { Status(QString()); }
    int AbortPauseMs() const override { return 1000; }

    // Seconds the second PC may still expose before it waits again.
    qint64 m_exposeBudget = 0;
};
