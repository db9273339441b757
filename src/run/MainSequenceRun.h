#pragma once
// MainSequenceRun: the main PC's run (RunMainSequence). It runs the passes
// from StartIteration to Iterations over the items in list order; for each
// item it moves the filter wheel, tells the second PC "Expose <seconds>",
// takes the item's frames (asking before it overwrites an existing file),
// waits DelayFrame seconds and dithers. StartIteration advances after every
// pass that ends without a stop, and the spinner shows it.
//
// Ending: "End" to the peer after a complete run, "Abort" once after a stop;
// either way the closing steps follow. A failure outside the guarded
// exposure step (the wheel, the image wait, the save, the guider, a filter
// with no name) is shown in its own words in an "Error" box; the peer is
// sent "Abort" so that it does not wait for ever, and the closing steps
// follow. Files already saved are never touched.
//
// With the second PCs' option on, MainRunSync adds the place to what the
// second PCs are told, keywords to the frames, and the guard and the night's
// record to each dither.
#include "run/MainRunSync.h"
#include "run/SequenceRun.h"

class RandomSource;

class MainSequenceRun : private SequenceRun {
public:
    MainSequenceRun(RunHost& host, RunWaiter& waiter, RandomSource& random);

    // Returns when the run is over.
    void Run();

private:
    void RunPasses();
    void RunItem(qint64 iteration, int k);
    // False when the guarded exposure step failed: the item's other frames
    // are then given up.
    bool RunFrame(qint64 iteration, const TSequenceItem& item, qint64 j);
    void SkipFrame(const Frame& frame, const TSequenceItem& item);

    RandomSource& m_random;
    MainRunSync m_sync;
    bool m_skippedImage = false;
};
