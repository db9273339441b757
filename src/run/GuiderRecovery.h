#pragma once
// GuiderRecovery: the guider's side of the night's retry option.
//
// Dither(): without the option the dithering step runs as it is (a guider
// error ends the run, the wait for the error has no bound). With it, a
// dither whose guider fails (PHD2 gone or not guiding) or does not settle is
// tried again every PollMs until GuiderWait minutes have passed since the
// first failure; then the run goes on without that dither
// (GuiderLost=Continue; later dithers then get one minute each until one
// succeeds) or stops (GuiderLost=Stop: Error thrown).
//
// WaitForGuiding(): before a frame spoilt by lost guiding is taken again,
// waits until both guide errors are within the sequence's threshold, up to
// the same bound; false when it passed with GuiderLost=Continue.
//
// A stop ends every wait here; StopRequestedError passes through.
#include <QtGlobal>
#include <functional>

class NightLog;
class RunHost;
class RunWaiter;

class GuiderRecovery {
public:
    static constexpr int PollMs = 30000;      // between dither attempts
    static constexpr int GuidePollMs = 1000;  // between guide-error reads

    GuiderRecovery(RunHost& host, RunWaiter& waiter, NightLog& log);

    // `dither` runs one whole dithering step; it gets the settle bound in
    // ms (below 0: none).
    void Dither(const std::function<void(qint64 settleLimitMs)>& dither);
    bool WaitForGuiding();

private:
    qint64 BoundMs() const;
    qint64 ElapsedMs(qint64 sinceMs) const;
    bool Stopping() const;
    // After the bound: Continue gives an event, Stop throws.
    void GiveUp(const QString& what, qint64 waitedMs);

    RunHost& m_host;
    RunWaiter& m_waiter;
    NightLog& m_log;
    bool m_gaveUp = false;   // a dither was given up; the next is tried once
};
