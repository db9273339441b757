#pragma once
// VirtualWaiter: the run's waits in virtual time, for tests. The clock is the
// scripted camera's, in whole milliseconds, so an exposure ends exactly when
// the waits add up to it. A wait jumps straight to its end, or to the next
// scheduled action if that comes first; actions run in the pass of event
// processing at or after their time, as a click or an arriving command
// would. Otherwise it keeps RunControl's contract: a stop ends a wait after
// one pass, a nested wait does one pass and returns.
//
// A run that would sleep for an event when none is scheduled, or that runs
// past Horizon, throws std::runtime_error: the test fails instead of hanging.
#include "run/RunWaiter.h"

#include "camera/ManualCameraClock.h"
#include "platform/RunState.h"

#include <QStringList>
#include <functional>
#include <map>

class VirtualWaiter : public RunWaiter {
public:
    VirtualWaiter(ManualCameraClock& clock, RunState& flags) : m_clock(clock), m_flags(flags) {}

    // Runs `action` in the first pass of event processing at or after `ms`.
    void At(qint64 ms, std::function<void()> action);

    void WaitMs(int ms) override;
    void PumpMessages() override;
    void WaitForEvents() override;

    qint64 Now() const { return m_clock.NowMs(); }
    // Virtual time 0 is Origin.
    QDateTime NowUtc() const override { return Origin.addMSecs(m_clock.NowMs()); }
    static inline const QDateTime Origin = QDateTime(QDate(2026, 1, 1), QTime(20, 0), Qt::UTC);
    int Passes() const { return m_passes; }

    static constexpr qint64 Horizon = 30LL * 24 * 3600 * 1000;   // 30 days

private:
    void Pass();
    void MoveTo(qint64 ms);

    ManualCameraClock& m_clock;
    RunState& m_flags;
    std::multimap<qint64, std::function<void()>> m_actions;
    bool m_waiting = false;
    int m_passes = 0;
};
