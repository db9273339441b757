#include "VirtualWorld.h"

#include "VirtualWaiter.h"

#include <thread>

namespace {
constexpr qint64 kNever = std::numeric_limits<qint64>::max();
}

QDateTime VirtualWorld::Actor::NowUtc() const { return VirtualWaiter::Origin.addMSecs(m_world.m_nowMs); }

void VirtualWorld::Actor::PumpMessages()
{
    while (!m_actions.empty() && m_actions.begin()->first <= m_world.m_nowMs) {
        auto action = std::move(m_actions.begin()->second);
        m_actions.erase(m_actions.begin());
        action();
    }
}

qint64 VirtualWorld::Actor::Wake() const
{
    return m_done ? kNever : qMin(m_until, m_actions.empty() ? kNever : m_actions.begin()->first);
}

void VirtualWorld::Actor::WaitMs(int ms)
{
    if (!std::exchange(m_waiting, true)) {
        const qint64 end = m_world.m_nowMs + qMax(0, ms);
        while (!m_flags.StopRequested && m_world.m_nowMs < end) {
            m_world.Sleep(*this, end);
            PumpMessages();
        }
        m_waiting = false;
    }
    PumpMessages();
}

void VirtualWorld::Actor::WaitForEvents()
{
    m_world.Sleep(*this, kNever);
    PumpMessages();
}

void VirtualWorld::HandOver()
{
    Actor* next = m_actors.front().get();
    for (const auto& actor : m_actors)
        next = actor->Wake() < next->Wake() ? actor.get() : next;
    m_stuck = next->Wake() == kNever || next->Wake() > VirtualWaiter::Horizon;
    if (!m_stuck) {
        m_nowMs = qMax(m_nowMs, next->Wake());
        for (ManualCameraClock* clock : m_clocks)
            clock->AdvanceMs(m_nowMs - clock->NowMs());
        m_current = next;
    }
    m_turn.notify_all();
}

void VirtualWorld::Sleep(Actor& me, qint64 until)
{
    std::unique_lock lock(m_mutex);
    me.m_until = until;
    if (!m_stuck)
        HandOver();
    Turn(me, lock);
}

void VirtualWorld::Turn(Actor& me, std::unique_lock<std::mutex>& lock)
{
    m_turn.wait(lock, [&] { return m_current == &me || m_stuck; });
    me.m_until = kNever;
    if (m_stuck)
        throw std::runtime_error("every run sleeps for an event that never comes (" + std::to_string(m_nowMs) + " ms)");
}

QStringList VirtualWorld::Run(const std::vector<std::function<void()>>& bodies)
{
    QStringList failures;
    std::vector<std::thread> threads;
    for (size_t i = 0; i < bodies.size(); ++i) {
        threads.emplace_back([this, i, &bodies, &failures] {
            Actor& me = *m_actors[i];
            try {
                {
                    std::unique_lock lock(m_mutex);
                    Turn(me, lock);
                }
                bodies[i]();
            } catch (const std::exception& e) {
                std::lock_guard lock(m_mutex);
                failures << QStringLiteral("PC %1: %2").arg(i).arg(e.what());
            }
            std::lock_guard lock(m_mutex);
            me.m_done = true;
            if (!m_stuck)
                HandOver();
        });
    }
    {
        std::lock_guard lock(m_mutex);
        HandOver();
    }
    for (std::thread& t : threads)
        t.join();
    return failures;
}
