// The pixel worker's order: saves before the last frame's release before
// previews, first come first served within each, and a preview that lets a
// save queued behind it run between its steps.
#include "platform/PixelWorker.h"

#include <QtTest>
#include <atomic>
#include <mutex>
#include <thread>

namespace {
// Holds the worker inside a job until Open(), so that what is queued
// meanwhile waits and its order shows.
struct Gate {
    std::atomic<bool> entered {false}, open {false};
    void Hold()
    {
        PixelWorker::Run([this] {
            entered = true;
            while (!open)
                std::this_thread::yield();
        }, PixelWorker::Save);
        while (!entered)
            std::this_thread::yield();
    }
    void Open() { open = true; }
};

struct Log {
    std::mutex mutex;
    QStringList lines;
    void Add(const QString& line)
    {
        std::lock_guard lock(mutex);
        lines << line;
    }
};
}

class PixelWorkerTest : public QObject {
    Q_OBJECT

private slots:
    void waitingJobsRunByPriorityThenArrival_data()
    {
        QTest::addColumn<QString>("queued");     // job names; the letter is the priority
        QTest::addColumn<QString>("expected");
        QTest::newRow("a save overtakes previews") << "p1 p2 s1" << "s1 p1 p2";
        QTest::newRow("saves keep their order") << "s1 p1 s2 s3" << "s1 s2 s3 p1";
        QTest::newRow("a release waits for the saves") << "r1 s1 p1 r2 s2" << "s1 s2 r1 r2 p1";
        QTest::newRow("previews alone keep their order") << "p1 p2 p3" << "p1 p2 p3";
    }

    void waitingJobsRunByPriorityThenArrival()
    {
        QFETCH(QString, queued);
        QFETCH(QString, expected);
        Gate gate;
        gate.Hold();
        Log log;
        for (const QString& name : queued.split(' ')) {
            const auto priority = name[0] == 's' ? PixelWorker::Save
                                : name[0] == 'r' ? PixelWorker::Freeing : PixelWorker::Preview;
            PixelWorker::Run([&log, name] { log.Add(name); }, priority);
        }
        gate.Open();
        PixelWorker::WaitForIdle();
        QCOMPARE(log.lines.join(' '), expected);
    }

    void previewLetsAWaitingSaveRunBetweenItsSteps()
    {
        Log log;
        std::atomic<bool> inStep {false}, queued {false};
        PixelWorker::Run([&] {
            log.Add("preview step 1");
            inStep = true;
            while (!queued)
                std::this_thread::yield();
            PixelWorker::Yield();
            log.Add("preview step 2");
        }, PixelWorker::Preview);
        while (!inStep)
            std::this_thread::yield();
        PixelWorker::Run([&] { log.Add("other preview"); }, PixelWorker::Preview);
        PixelWorker::Run([&] { log.Add("release"); }, PixelWorker::Freeing);
        PixelWorker::Run([&] { log.Add("save"); }, PixelWorker::Save);
        queued = true;
        PixelWorker::WaitForIdle();
        QCOMPARE(log.lines, QStringList({"preview step 1", "save", "release", "preview step 2", "other preview"}));
    }

    void yieldOffTheWorkerRunsNothing()
    {
        Gate gate;
        gate.Hold();
        std::atomic<bool> ran {false};
        std::thread::id where;
        PixelWorker::Run([&] {
            where = std::this_thread::get_id();
            ran = true;
        }, PixelWorker::Save);
        PixelWorker::Yield();
        QVERIFY(!ran);
        gate.Open();
        PixelWorker::WaitForIdle();
        QVERIFY(ran);
        QVERIFY(where != std::this_thread::get_id());
    }
};

QTEST_GUILESS_MAIN(PixelWorkerTest)
#include "tst_pixelworker.moc"
