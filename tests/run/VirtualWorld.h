#pragma once
// VirtualWorld: several runs (a main PC and its second PCs) in one virtual
// time, for tests. Each PC is an Actor, a RunWaiter like VirtualWaiter; its
// run goes on a thread of its own, but only one thread runs at a time: an
// actor runs until it waits, and the world then moves every camera clock to
// the earliest moment any actor has something to do (the end of its wait or
// an action scheduled for it) and hands over to that actor. Ties go to the
// actor added first. So the runs interleave deterministically, as two
// programs on one machine would, without real time passing.
//
// Messages between PCs are actions: At() on the receiving actor, run in the
// first pass of event processing it makes at or after their time, inside
// whatever wait it is in. A world in which every actor sleeps for an event
// that never comes, or that runs past VirtualWaiter::Horizon, ends each
// remaining run with std::runtime_error (reported by Run).
#include "run/RunWaiter.h"

#include "camera/ManualCameraClock.h"
#include "platform/RunState.h"

#include <QStringList>
#include <condition_variable>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <vector>

class VirtualWorld {
public:
    class Actor : public RunWaiter {
    public:
        void At(qint64 ms, std::function<void()> action) { m_actions.emplace(ms, std::move(action)); }
        qint64 Now() const { return m_world.m_nowMs; }
        QDateTime NowUtc() const override;
        void WaitMs(int ms) override;
        void PumpMessages() override { Pass(); }
        void WaitForEvents() override;

    private:
        friend class VirtualWorld;
        Actor(VirtualWorld& world, RunState& flags) : m_world(world), m_flags(flags) {}
        void Pass();
        qint64 Wake() const;

        VirtualWorld& m_world;
        RunState& m_flags;
        std::multimap<qint64, std::function<void()>> m_actions;
        qint64 m_until = 0;      // end of the wait it is in (the start: 0)
        bool m_waiting = false;
        bool m_done = false;
    };

    explicit VirtualWorld(std::vector<ManualCameraClock*> clocks) : m_clocks(std::move(clocks)) {}
    Actor& Add(RunState& flags);
    qint64 NowMs() const { return m_nowMs; }
    // Runs body i as actor i's run, all of them to their end; returns what
    // ended a run other than by returning, one text per failure.
    QStringList Run(const std::vector<std::function<void()>>& bodies);

private:
    // Called by the running actor: sleeps until `until` (or an earlier action).
    void Sleep(Actor& me, qint64 until);
    // Hands over to the actor with the earliest wake; false when none can wake.
    bool HandOver();

    std::vector<ManualCameraClock*> m_clocks;
    std::vector<std::unique_ptr<Actor>> m_actors;
    std::mutex m_mutex;
    std::condition_variable m_turn;
    Actor* m_current = nullptr;
    bool m_stuck = false;
    qint64 m_nowMs = 0;
};
