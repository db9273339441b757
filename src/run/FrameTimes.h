#pragma once
// FrameTimes: how long a frame takes, from its Expose to its end (saved,
// aborted), learned from the frames of one run. Used to tell how many frames
// fit before the main PC's next dither.
//
// Estimate(s): the last frame's time when it had the same exposure, else the
// exposure plus the last frame's time beyond its exposure (readout and save;
// 0 before any frame). Times are milliseconds on the caller's clock.
#include <QtGlobal>

class FrameTimes {
public:
    void Started(qint64 nowMs, int exposureSeconds)
    {
        m_startMs = nowMs;
        m_exposure = exposureSeconds;
    }
    void Ended(qint64 nowMs);
    qint64 Estimate(int exposureSeconds) const;

private:
    qint64 m_startMs = -1;
    int m_exposure = 0;
    int m_lastExposure = -1;
    qint64 m_lastMs = 0;
    qint64 m_overheadMs = 0;
};
