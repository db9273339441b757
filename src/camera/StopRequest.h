#pragma once
// StopRequest: how a wait inside a camera or guider request learns that the
// user asked to stop. The drivers know nothing of the run or the window, so
// whoever runs sequences (run control) installs a check here: true while a
// run is going and a stop has been asked for. Every wait of a driver looks
// at it at least every PollMs and then ends, throwing StopRequestedError,
// so no request holds a stopped run longer than one poll.
//
// One check for the process, on the UI thread only (like the waits).
#include "camera/AutomationError.h"

#include <functional>

class StopRequest {
public:
    static constexpr int PollMs = 100;

    // Replaces the check; an empty function means "never".
    static void Install(std::function<bool()> check);
    static bool Requested();
};

// A request that ended because a stop was asked for: "Stopped while <what>".
// The run treats it as the stop it is, not as a failure to show.
class StopRequestedError : public AutomationError {
public:
    using AutomationError::AutomationError;
};
