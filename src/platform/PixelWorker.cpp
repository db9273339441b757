#include "platform/PixelWorker.h"

#include <QCoreApplication>
#include <QRunnable>
#include <QThreadPool>

namespace {
QThreadPool& pool()
{
    static QThreadPool* instance = [] {
        auto* p = new QThreadPool;   // lives to the end of the process
        p->setMaxThreadCount(1);
        p->setExpiryTimeout(-1);
        return p;
    }();
    return *instance;
}
}

namespace PixelWorker {
void Run(std::function<void()> job, Priority priority)
{
    pool().start(QRunnable::create(std::move(job)), int(priority));
}

void WaitForIdle() { pool().waitForDone(); }

void WakeUiThread()
{
    if (QCoreApplication* app = QCoreApplication::instance())
        QMetaObject::invokeMethod(app, [] {}, Qt::QueuedConnection);
}
}
