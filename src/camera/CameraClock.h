#pragma once
// CameraClock: the monotonic time base of simulated and test cameras, in
// seconds from an arbitrary origin. Exposures and guider settling are
// measured against it, so tests can replace it with a clock they move.
class CameraClock {
public:
    virtual ~CameraClock() = default;
    virtual double Now() const = 0;
};
