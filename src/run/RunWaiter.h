#pragma once
// RunWaiter: the only ways a run lets time pass. The window's RunControl is
// the real one (a precise timer and the event loop); tests use a virtual
// clock that jumps to the next event at once.
//
// Contract shared by every implementation:
//  - WaitMs(ms) returns after ms milliseconds, or after the first pass of
//    event processing that follows a stop request (at once, after one pass,
//    when the stop was already requested); a wait asked for while another is
//    in progress does one pass and returns;
//  - PumpMessages() handles what is pending and never blocks;
//  - WaitForEvents() handles at least one event, sleeping until one comes;
//    the caller tests its own condition before and after each call;
//  - NowUtc() is the present time on the waiter's clock, for what the runs
//    record (virtual in tests, the system clock otherwise).
#include <QDateTime>

class RunWaiter {
public:
    virtual ~RunWaiter() = default;
    virtual QDateTime NowUtc() const { return QDateTime::currentDateTimeUtc(); }
    virtual void WaitMs(int ms) = 0;
    virtual void PumpMessages() = 0;
    virtual void WaitForEvents() = 0;
};
