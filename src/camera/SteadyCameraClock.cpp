#include "SteadyCameraClock.h"

SteadyCameraClock::SteadyCameraClock(double rate)
    : m_origin(std::chrono::steady_clock::now()), m_rate(rate)
{
}

double SteadyCameraClock::Now() const
{
    const std::chrono::duration<double> elapsed = std::chrono::steady_clock::now() - m_origin;
    return elapsed.count() * m_rate;
}
