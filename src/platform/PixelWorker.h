#pragma once
// PixelWorker: the one worker thread for heavy work on image pixels (saving
// a frame, making its preview), off the UI thread. Jobs run one at a time,
// the highest priority first among those waiting (a save before a preview),
// so at most one job's frame is being worked on at any moment whatever the
// night's length. A job must not touch run state or widgets: it hands its
// result back to the UI thread (a queued call or a flag the UI thread reads).
#include <functional>

namespace PixelWorker {
enum Priority { Preview = 0, Save = 1 };

void Run(std::function<void()> job, Priority priority);

// Blocks until every job started so far has ended (tests, shutting down).
void WaitForIdle();

// Lets go of `object` on the worker: the last reference to a frame's
// buffer freed there costs the UI thread nothing (unmapping 128 MB takes
// about 10 ms). `object` must be copyable (a QImage, a shared_ptr, ...).
template <typename T>
void Release(T object)
{
    Run([object = std::move(object)] {}, Save);
}

// Wakes the UI thread's event loop from a worker: a waiter sleeping for an
// event (RunWaiter::WaitForEvents) then looks at its condition again.
void WakeUiThread();
}
