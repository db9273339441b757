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
//
// Linked to a main PC that answered its greeting (SecondSync), a command's
// budget is time instead: with AllowList a frame starts at once only when it
// would end, by what its frames have taken so far (FrameTimes), before the
// main PC's next dither; the first frame after a command is always taken. Its
// frames then carry the main PC's place at their start as header keywords
// (MAINPASS, MAINITEM, MAINFRM, DITHERS).
#include "run/FrameTimes.h"
#include "run/SequenceRun.h"

class SecondSync;

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
    bool MustWait(const TSequenceItem& item) const;
    SecondSync* Sync() const;
    QVariantMap PlaceKeys() const;

    bool MayReplaceAppeared(const Frame& frame) override;
    void ExposureStarted(const Frame& frame, const TSequenceItem& item) override;
    QVariantMap FrameKeys(const Frame& frame) const override
    {
        Q_UNUSED(frame);
        return m_placeKeys;
    }
    void FrameSaved() override;
    int AbortPauseMs() const override { return 1000; }

    // Seconds the second PC may still expose before it waits again.
    qint64 m_exposeBudget = 0;
    FrameTimes m_times;
    QVariantMap m_placeKeys;   // the main PC's place when the frame started
};
