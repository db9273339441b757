#pragma once
// MainRunSync: what the main run does for the second PCs that report back,
// when the window's option "Hold dithering until the second cameras finish"
// is on (the hub is enabled); with it off every call does nothing and the run
// is exactly the run without it.
//
//  - the place each "Expose" and each main frame carries: pass, item row,
//    frame, dithers so far, and the window until the next dither (the item's
//    frames still to come times the time a frame takes, plus the delay);
//  - the header keywords of each main frame (MAINPASS, MAINITEM, MAINFRM,
//    DITHERS);
//  - the guarded dither: DitherGuard, then the dithering step, with the
//    night's record (Tandexa-night-<date>.txt in the destination folder)
//    saying when each dither started and settled, how long it was held for
//    the second cameras and which of them it did not wait for.
#include "run/FrameTimes.h"

#include <QString>
#include <QVariantMap>
#include <functional>

class RunHost;
class RunWaiter;
class SyncHub;
struct TSequenceItem;

class MainRunSync {
public:
    MainRunSync(RunHost& host, RunWaiter& waiter);

    bool On() const;
    // Before the item's "Expose" is sent.
    void ItemStarting(qint64 pass, int row, const TSequenceItem& item);
    // A main frame's exposure has started / ended.
    void FrameStarted(qint64 pass, int row, qint64 frame, const TSequenceItem& item);
    void FrameEnded();
    // The header keywords of a main frame; empty when off.
    QVariantMap Keys(qint64 pass, int row, qint64 frame) const;
    // Runs `dither` (the dithering step), guarded and recorded when on.
    void Dither(const std::function<void()>& dither);

private:
    qint64 WindowMs(const TSequenceItem& item, qint64 framesLeft) const;
    void Record(const QString& event);

    RunHost& m_host;
    RunWaiter& m_waiter;
    FrameTimes m_times;
    int m_dithers = 0;
};
