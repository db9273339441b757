#pragma once
// SteadyCameraClock: the real monotonic clock (never jumps with the wall
// clock), optionally running `rate` times faster than real time.
#include "camera/CameraClock.h"

#include <chrono>

class SteadyCameraClock : public CameraClock {
public:
    explicit SteadyCameraClock(double rate = 1.0);
    double Now() const override;

private:
    std::chrono::steady_clock::time_point m_origin;
    double m_rate;
};
