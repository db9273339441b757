#pragma once
// IGuider: the five guider operations of the camera interface, answered by a
// guider other than the camera driver's own (see GuidedCamera). Positions and
// errors are in guider pixels; the error is the star's offset from the lock
// position, with a sign. Every method throws AutomationError on failure.
#include <QtGlobal>

class IGuider {
public:
    virtual ~IGuider() = default;

    // Starts whatever connection the guider needs, without waiting; called
    // when the camera is connected so the guider's state shows early.
    virtual void Open() {}

    virtual float XStarPosition() = 0;
    virtual float YStarPosition() = 0;
    // Makes the guider steer the star to (x, y).
    virtual void MoveStar(float x, float y) = 0;
    // Cheap reads, called every 100 ms while a run waits for the guider.
    virtual float XError() = 0;
    virtual float YError() = 0;
    // Times the guider lost its star, stopped or paused guiding, lost its
    // lock position or went away; only grows (see
    // ICamera::GuidingInterruptions). Never waits, never throws.
    virtual quint64 Interruptions() { return 0; }
};
