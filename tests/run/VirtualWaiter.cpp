#include "VirtualWaiter.h"

#include <stdexcept>
#include <string>

void VirtualWaiter::At(qint64 ms, std::function<void()> action)
{
    m_actions.emplace(ms, std::move(action));
}

void VirtualWaiter::Pass()
{
    ++m_passes;
    // One at a time: an action may schedule more, or wait itself.
    while (!m_actions.empty() && m_actions.begin()->first <= Now()) {
        auto action = std::move(m_actions.begin()->second);
        m_actions.erase(m_actions.begin());
        action();
    }
}

void VirtualWaiter::MoveTo(qint64 ms)
{
    if (ms > Horizon)
        throw std::runtime_error("the run is still going after " + std::to_string(Horizon / 1000) + " virtual seconds");
    m_clock.AdvanceMs(ms - Now());
}

void VirtualWaiter::WaitMs(int ms)
{
    if (m_waiting) {
        Pass();
        return;
    }
    m_waiting = true;
    const qint64 end = Now() + qMax(0, ms);
    for (;;) {
        if (m_flags.StopRequested) {
            Pass();
            break;
        }
        const bool actionFirst = !m_actions.empty() && m_actions.begin()->first <= end;
        MoveTo(actionFirst ? qMax(Now(), m_actions.begin()->first) : end);
        Pass();
        if (!actionFirst || m_flags.StopRequested)
            break;
    }
    m_waiting = false;
}

void VirtualWaiter::PumpMessages()
{
    Pass();
}

void VirtualWaiter::WaitForEvents()
{
    if (m_actions.empty())
        throw std::runtime_error("the run sleeps for an event that never comes (virtual time "
                                 + std::to_string(Now()) + " ms)");
    MoveTo(qMax(Now(), m_actions.begin()->first));
    Pass();
}
