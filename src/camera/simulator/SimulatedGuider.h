#pragma once
// SimulatedGuider: a guider locked on one star. GuiderMoveStar moves the lock
// position; at that moment the star is still where it was, so the guiding
// error jumps by the move, and the guider then pulls the star in: the error
// decays exponentially to small noise within `settleSeconds` (of clock time
// divided by the time scale), and the star position follows the lock.
// The error is star minus lock position, in guider pixels.
#include <memory>
#include <random>

class CameraClock;

class SimulatedGuider {
public:
    SimulatedGuider(std::shared_ptr<const CameraClock> clock, double timeScale, double settleSeconds,
                    double noise, unsigned seed);

    float XStarPosition();
    float YStarPosition();
    void MoveStar(float x, float y);
    float XError();
    float YError();

private:
    // Error still to be corrected at the clock's present time, without noise.
    double remaining(double jump) const;
    double noise();

    std::shared_ptr<const CameraClock> m_clock;
    double m_timeScale;
    double m_tau;          // decay constant, clock seconds
    double m_noise;
    std::mt19937 m_random;
    double m_lockX = 320.0, m_lockY = 240.0;
    double m_jumpX = 0.0, m_jumpY = 0.0;   // error right after the last move
    double m_moveTime = 0.0;
};
