#pragma once
// ImageSave: one image being saved, as a camera hands it back from
// StartSaveImage. The writing runs on the pixel worker (so the UI thread
// goes on handling Stop, sockets and timers while a 122 MB frame is
// written); the run waits for it through its waiter:
//
//     while (!save->IsFinished()) waiter.WaitForEvents();
//     save->Result();   // throws the save's failure
//
// The worker wakes the UI thread when it is done. The job owns copies of
// what it writes, so the document may change or go meanwhile.
#include <QMutex>
#include <QString>
#include <atomic>
#include <functional>
#include <memory>
#include <exception>

class ImageSave {
public:
    // Runs `write` on the pixel worker. `write` throws AutomationError (or
    // a subclass: FileExistsError, BadImageError, ...) with the user's
    // message when the image cannot be saved.
    static std::shared_ptr<ImageSave> Start(std::function<void()> write);
    // A save that has already ended (done on the caller's thread).
    static std::shared_ptr<ImageSave> Done();

    bool IsFinished() const { return m_finished.load(std::memory_order_acquire); }
    // After IsFinished(): throws the save's failure as the writer threw it
    // (an AutomationError or one of its subclasses, so the run can tell a
    // file that appeared from a disk that is full); any other failure comes
    // as an AutomationError with its text. Returns when the image was saved.
    void Result() const;

private:
    void finish(std::exception_ptr error);

    std::atomic<bool> m_finished {false};
    mutable QMutex m_mutex;
    std::exception_ptr m_error;   // set when the save failed
};
