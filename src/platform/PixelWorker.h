#pragma once
// PixelWorker: the one worker thread for heavy work on image pixels (saving
// a frame, making its preview), off the UI thread. Jobs run one at a time,
// the highest priority first among those waiting (a save before a preview),
// in the order they came within a priority, so at most one save and one
// preview are being worked on at any moment whatever the night's length.
// A long job of low priority lets waiting jobs of higher priority run
// between its steps (Yield), so a preview never holds up a save for long.
// A job must not touch run state or widgets: it hands its result back to the
// UI thread (a queued call or a flag the UI thread reads). A job must not
// throw.
#include <functional>

namespace PixelWorker {
// Freeing: the last frame's buffers let go of (Release), after the save that
// replaces it.
enum Priority { Preview = 0, Freeing = 1, Save = 2 };

void Run(std::function<void()> job, Priority priority);

// Called by a job between its steps, on the worker: runs the jobs of higher
// priority than its own that are waiting (a save queued behind a preview),
// then returns. Anywhere else it does nothing.
void Yield();

// Blocks until every job started so far has ended (tests, shutting down).
// Never from a job.
void WaitForIdle();

// Lets go of `object` on the worker: the last reference to a frame's
// buffer freed there costs the UI thread nothing (unmapping 128 MB takes
// about 10 ms), after a save that is waiting (it need not wait for that).
// `object` must be copyable (a QImage, a shared_ptr, ...).
template <typename T>
void Release(T object)
{
    Run([object = std::move(object)] {}, Freeing);
}

// Wakes the UI thread's event loop from a worker: a waiter sleeping for an
// event (RunWaiter::WaitForEvents) then looks at its condition again.
void WakeUiThread();
}
