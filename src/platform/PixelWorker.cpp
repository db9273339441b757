#include "platform/PixelWorker.h"

#include <QCoreApplication>

#include <array>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <thread>

namespace {
thread_local bool t_onWorker = false;

class Worker {
public:
    void Run(std::function<void()> job, PixelWorker::Priority priority)
    {
        {
            std::lock_guard lock(m_mutex);
            m_queues[size_t(priority)].push_back(std::move(job));
            if (!m_thread.joinable())
                m_thread = std::thread([this] { loop(); });
        }
        m_wake.notify_all();
    }

    void Yield()
    {
        if (!t_onWorker)
            return;
        const int mine = m_current;
        std::unique_lock lock(m_mutex);
        while (runNext(lock, mine + 1)) {}
        m_current = mine;
    }

    void WaitForIdle()
    {
        std::unique_lock lock(m_mutex);
        m_idle.wait(lock, [this] { return !m_busy && empty(0); });
    }

private:
    bool empty(int from) const
    {
        for (size_t p = size_t(from); p < m_queues.size(); ++p) {
            if (!m_queues[p].empty())
                return false;
        }
        return true;
    }

    // Runs the first waiting job of the highest priority at or above `from`,
    // with the lock released meanwhile; false when none waits.
    bool runNext(std::unique_lock<std::mutex>& lock, int from)
    {
        for (int p = int(m_queues.size()) - 1; p >= from; --p) {
            auto& queue = m_queues[size_t(p)];
            if (queue.empty())
                continue;
            std::function<void()> job = std::move(queue.front());
            queue.pop_front();
            m_current = p;
            lock.unlock();
            job();
            job = nullptr;   // what it held is freed before the next one starts
            lock.lock();
            return true;
        }
        return false;
    }

    void loop()
    {
        t_onWorker = true;
        std::unique_lock lock(m_mutex);
        for (;;) {
            m_wake.wait(lock, [this] { return !empty(0); });
            m_busy = true;
            while (runNext(lock, 0)) {}
            m_busy = false;
            m_idle.notify_all();
        }
    }

    std::mutex m_mutex;
    std::condition_variable m_wake, m_idle;
    std::array<std::deque<std::function<void()>>, 3> m_queues;
    std::thread m_thread;
    bool m_busy = false;   // a job runs
    int m_current = 0;     // its priority (read and written on the worker only)
};

Worker& worker()
{
    static Worker* instance = new Worker;   // lives to the end of the process
    return *instance;
}
}

namespace PixelWorker {
void Run(std::function<void()> job, Priority priority) { worker().Run(std::move(job), priority); }

void Yield() { worker().Yield(); }

void WaitForIdle() { worker().WaitForIdle(); }

void WakeUiThread()
{
    if (QCoreApplication* app = QCoreApplication::instance())
        QMetaObject::invokeMethod(app, [] {}, Qt::QueuedConnection);
}
}
