#include "SimulatedGuider.h"

#include "camera/CameraClock.h"

#include <cmath>

SimulatedGuider::SimulatedGuider(std::shared_ptr<const CameraClock> clock, double timeScale,
                                 double settleSeconds, double noise, unsigned seed)
    : m_clock(std::move(clock)), m_timeScale(timeScale), m_noise(noise), m_random(seed)
{
    // After settleSeconds the jump is down to e^-5 (under 1 %).
    m_tau = settleSeconds * timeScale / 5.0;
    std::uniform_real_distribution<double> offset(-40.0, 40.0);
    m_lockX += offset(m_random);
    m_lockY += offset(m_random);
    m_moveTime = m_clock->Now();
}

double SimulatedGuider::remaining(double jump) const
{
    if (m_tau <= 0.0)
        return 0.0;
    const double elapsed = m_clock->Now() - m_moveTime;
    return jump * std::exp(-std::max(0.0, elapsed) / m_tau);
}

double SimulatedGuider::noise()
{
    std::normal_distribution<double> n(0.0, m_noise);
    return m_noise > 0.0 ? n(m_random) : 0.0;
}

float SimulatedGuider::XStarPosition() { return float(m_lockX + remaining(m_jumpX) + noise()); }
float SimulatedGuider::YStarPosition() { return float(m_lockY + remaining(m_jumpY) + noise()); }
float SimulatedGuider::XError() { return float(remaining(m_jumpX) + noise()); }
float SimulatedGuider::YError() { return float(remaining(m_jumpY) + noise()); }

void SimulatedGuider::MoveStar(float x, float y)
{
    // The star stays where it is; what is left of an earlier move adds in.
    const double starX = m_lockX + remaining(m_jumpX);
    const double starY = m_lockY + remaining(m_jumpY);
    m_lockX = x;
    m_lockY = y;
    m_jumpX = starX - m_lockX;
    m_jumpY = starY - m_lockY;
    m_moveTime = m_clock->Now();
}
