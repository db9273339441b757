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
// follow. Files already saved are never touched. A file that appears at a
// frame's path during its exposure is asked about like an existing one
// before the image is saved. The night's options (NightOptions) change
// this as they say; see SequenceRun and GuiderRecovery.
//
// With the second PCs' option on, MainRunSync adds the place to what the
// second PCs are told, keywords to the frames, and the guard and the night's
// record to each dither.
#include "run/MainRunSync.h"
#include "run/SequenceRun.h"

class RandomSource;

class MainSequenceRun final : private SequenceRun {
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
    // "Image <name> does exist. Overwrite?": true on Yes.
    bool AskReplace(const Frame& frame, const QString& unanswered);

    bool MayReplaceAppeared(const Frame& frame) override;
    void FrameNotSaved(const Frame& frame, const TSequenceItem& item) override { SkipFrame(frame, item); }
    void ExposureStarted(const Frame& frame, const TSequenceItem& item) override
    {
        m_sync.FrameStarted(frame.Pass, frame.Item, frame.Number, item);
    }
    QVariantMap FrameKeys(const Frame& frame) const override { return m_sync.Keys(frame.Pass, frame.Item, frame.Number); }
    void FrameSaved() override { m_sync.FrameEnded(); }
    int AbortPauseMs() const override { return 500; }

    RandomSource& m_random;
    MainRunSync m_sync;
    bool m_skippedImage = false;
};
