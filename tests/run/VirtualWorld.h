#pragma once
// VirtualWorld: several runs (a main PC and its second PCs) in one virtual
// time. Each PC is an Actor, a RunWaiter keeping VirtualWaiter's contract,
// whose run goes on a thread of its own; but only one thread runs at a time:
// an actor runs until it waits, and the world then moves every clock to the
// earliest moment any actor has something to do (its wait's end or an action
// At() it) and hands over to that actor (ties: the one added first). Messages
// between PCs are actions on the receiver. When every run sleeps for an event
// that never comes, each ends with std::runtime_error, which Run reports.
#include "run/RunWaiter.h"

#include "camera/ManualCameraClock.h"
#include "platform/RunState.h"

#include <QStringList>
#include <condition_variable>
#include <functional>
#include <map>
#include <memory>
#include <mutex>

class VirtualWorld {
public:
    class Actor : public RunWaiter {
    public:
        Actor(VirtualWorld& world, RunState& flags) : m_world(world), m_flags(flags) {}
        void At(qint64 ms, std::function<void()> action) { m_actions.emplace(ms, std::move(action)); }
        QDateTime NowUtc() const override;
        void WaitMs(int ms) override;
        void PumpMessages() override;
        void WaitForEvents() override;

    private:
        friend class VirtualWorld;
        qint64 Wake() const;
        VirtualWorld& m_world;
        RunState& m_flags;
        std::multimap<qint64, std::function<void()>> m_actions;
        qint64 m_until = 0;   // end of the wait it sleeps in
        bool m_waiting = false, m_done = false;
    };

    explicit VirtualWorld(std::vector<ManualCameraClock*> clocks) : m_clocks(std::move(clocks)) {}
    Actor& Add(RunState& flags) { return *m_actors.emplace_back(std::make_unique<Actor>(*this, flags)); }
    qint64 NowMs() const { return m_nowMs; }
    // Runs body i as actor i's run, all to their end; what ended one otherwise.
    QStringList Run(const std::vector<std::function<void()>>& bodies);

private:
    void Sleep(Actor& me, qint64 until);
    void Turn(Actor& me, std::unique_lock<std::mutex>& lock);   // waits for it; throws when stuck
    void HandOver();   // to the actor that wakes first; stuck when none will

    std::vector<ManualCameraClock*> m_clocks;
    std::vector<std::unique_ptr<Actor>> m_actors;
    std::mutex m_mutex;
    std::condition_variable m_turn;
    Actor* m_current = nullptr;
    bool m_stuck = false;
    qint64 m_nowMs = 0;
};
