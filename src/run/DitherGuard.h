#pragma once
// DitherGuard: before a dither, holds the main run until no second PC that
// reports back (an extended peer of the hub) has a frame open.
//
// It sends "Hold", so that no second PC starts a frame from then on, and
// waits (polling, at first every few ms, then every 50 ms; the status reads
// "Waiting for second camera..." once it has taken 100 ms) until
// every extended peer has answered "Held" and reported its open frame ended.
// Each peer is waited for at most until the end it announced for its frame
// plus the hub's margin (the margin alone when it had no frame open); past
// that it is marked late and not waited for again until it speaks, and a
// peer whose connection goes is not waited for at all. Either way the run
// then dithers anyway, and Wait's notes say which camera and why. Stop ends
// the wait at once. With no extended peer it returns at once, without a word.
#include <QStringList>

class RunHost;
class RunWaiter;
class SyncHub;

class DitherGuard {
public:
    DitherGuard(RunHost& host, RunWaiter& waiter, SyncHub& hub) : m_host(host), m_waiter(waiter), m_hub(hub) {}

    struct Outcome {
        qint64 WaitedMs = 0;   // from "Hold" to the end of the wait
        bool Shown = false;    // the wait was long enough to show its status
        QStringList Notes;     // one per second camera not waited for to the end
    };
    Outcome Wait();

    static constexpr int PollMs = 50;
    static constexpr qint64 ShowAfterMs = 100;

private:
    RunHost& m_host;
    RunWaiter& m_waiter;
    SyncHub& m_hub;
};
