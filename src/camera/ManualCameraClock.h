#pragma once
// ManualCameraClock: a clock that moves only when told, for tests and for
// virtual-time runs. It counts whole milliseconds, so a thousand waits of
// 100 ms come to exactly 100 s (a clock summing seconds as doubles drifts
// below that and turns an exposure's end into one poll more). Advancing by a
// negative amount is ignored, so the clock stays monotonic.
#include "camera/CameraClock.h"

#include <QtGlobal>
#include <cmath>

class ManualCameraClock : public CameraClock {
public:
    double Now() const override { return double(m_nowMs) / 1000.0; }
    qint64 NowMs() const { return m_nowMs; }

    void AdvanceMs(qint64 ms)
    {
        if (ms > 0)
            m_nowMs += ms;
    }
    // Seconds, rounded to the nearest millisecond.
    void Advance(double seconds) { AdvanceMs(qint64(std::llround(seconds * 1000.0))); }

private:
    qint64 m_nowMs = 0;
};
