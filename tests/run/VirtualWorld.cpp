#include "VirtualWorld.h"

#include "VirtualWaiter.h"

#include <limits>
#include <stdexcept>
#include <thread>

namespace {
constexpr qint64 kNever = std::numeric_limits<qint64>::max();
}

QDateTime VirtualWorld::Actor::NowUtc() const { return VirtualWaiter::Origin.addMSecs(Now()); }

void VirtualWorld::Actor::Pass()
{
    while (!m_actions.empty() && m_actions.begin()->first <= Now()) {
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
    if (m_waiting) {
        Pass();
        return;
    }
    m_waiting = true;
    const qint64 end = Now() + qMax(0, ms);
    while (!m_flags.StopRequested && Now() < end) {
        m_world.Sleep(*this, end);
        Pass();
    }
    Pass();
    m_waiting = false;
}

void VirtualWorld::Actor::WaitForEvents()
{
    m_world.Sleep(*this, kNever);
    Pass();
}

VirtualWorld::Actor& VirtualWorld::Add(RunState& flags)
{
    m_actors.push_back(std::unique_ptr<Actor>(new Actor(*this, flags)));
    return *m_actors.back();
}

bool VirtualWorld::HandOver()
{
    Actor* next = nullptr;
    for (const auto& actor : m_actors) {
        if (!next || actor->Wake() < next->Wake())
            next = actor.get();
    }
    if (!next || next->Wake() == kNever || next->Wake() > VirtualWaiter::Horizon)
        return false;
    const qint64 to = qMax(m_nowMs, next->Wake());
    for (ManualCameraClock* clock : m_clocks)
        clock->AdvanceMs(to - clock->NowMs());
    m_nowMs = to;
    m_current = next;
    m_turn.notify_all();
    return true;
}

void VirtualWorld::Sleep(Actor& me, qint64 until)
{
    std::unique_lock lock(m_mutex);
    me.m_until = until;
    if (!m_stuck && !HandOver()) {
        m_stuck = true;
        m_turn.notify_all();
    }
    m_turn.wait(lock, [&] { return m_current == &me || m_stuck; });
    me.m_until = kNever;
    if (m_stuck)
        throw std::runtime_error("every run sleeps for an event that never comes (virtual time "
                                 + std::to_string(m_nowMs) + " ms)");
}

QStringList VirtualWorld::Run(const std::vector<std::function<void()>>& bodies)
{
    QStringList failures;
    std::vector<std::thread> threads;
    for (size_t i = 0; i < bodies.size(); ++i) {
        threads.emplace_back([this, i, &bodies, &failures] {
            Actor& me = *m_actors[i];
            bool go = false;
            {
                std::unique_lock lock(m_mutex);
                m_turn.wait(lock, [&] { return m_current == &me || m_stuck; });
                go = !m_stuck;
                me.m_until = kNever;
            }
            try {
                if (go)
                    bodies[i]();
            } catch (const std::exception& e) {
                std::lock_guard lock(m_mutex);
                failures << QStringLiteral("PC %1: %2").arg(i).arg(e.what());
            }
            std::lock_guard lock(m_mutex);
            me.m_done = true;
            if (!m_stuck && !HandOver()) {
                m_stuck = true;
                m_turn.notify_all();
            }
        });
    }
    {
        std::lock_guard lock(m_mutex);
        if (!HandOver())
            m_stuck = true;
        m_turn.notify_all();
    }
    for (std::thread& t : threads)
        t.join();
    return failures;
}
