#pragma once
// ManualCameraClock: a clock that moves only when told, for tests and for
// virtual-time runs. Advance() with a negative amount is ignored, so the
// clock stays monotonic.
#include "camera/CameraClock.h"

class ManualCameraClock : public CameraClock {
public:
    double Now() const override { return m_now; }
    void Advance(double seconds)
    {
        if (seconds > 0)
            m_now += seconds;
    }

private:
    double m_now = 0.0;
};
