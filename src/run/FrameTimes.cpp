#include "run/FrameTimes.h"

void FrameTimes::Ended(qint64 nowMs)
{
    if (m_startMs < 0)
        return;
    m_lastExposure = m_exposure;
    m_lastMs = qMax<qint64>(0, nowMs - m_startMs);
    m_overheadMs = qMax<qint64>(0, m_lastMs - qint64(m_exposure) * 1000);
    m_startMs = -1;
}

qint64 FrameTimes::Estimate(int exposureSeconds) const
{
    if (exposureSeconds == m_lastExposure)
        return m_lastMs;
    return qMax<qint64>(0, exposureSeconds) * 1000 + m_overheadMs;
}
