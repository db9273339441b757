// The pixel worker's order: saves, then freeing the last frame, then
// previews, first come first served within each; a preview that yields
// between its steps lets what waits above it run there.
#include "platform/PixelWorker.h"

#include <QtTest>
#include <atomic>
#include <thread>

class PixelWorkerTest : public QObject {
    Q_OBJECT
    QStringList m_log;   // written by jobs one at a time, read after WaitForIdle

private slots:
    void jobsRunByPriorityThenArrival_data()
    {
        QTest::addColumn<QString>("queued");   // the letter is the priority: save, release, preview
        QTest::addColumn<QString>("expected");
        QTest::newRow("saves overtake previews, in order") << "p1 s1 p2 s2" << "s1 s2 yielded p1 p2";
        QTest::newRow("freeing after the saves") << "r1 s1 r2" << "s1 r1 r2 yielded";
        QTest::newRow("previews wait for the one running") << "p1 p2" << "yielded p1 p2";
    }

    void jobsRunByPriorityThenArrival()
    {
        QFETCH(QString, queued);
        QFETCH(QString, expected);
        m_log.clear();
        std::atomic<bool> started {false}, ready {false};
        PixelWorker::Run([&] {
            started = true;
            while (!ready)
                std::this_thread::yield();
            PixelWorker::Yield();
            m_log << "yielded";
        }, PixelWorker::Preview);
        while (!started)
            std::this_thread::yield();
        for (const QString& name : queued.split(' ')) {
            PixelWorker::Run([this, name] { m_log << name; }, name[0] == 's' ? PixelWorker::Save
                                                       : name[0] == 'r' ? PixelWorker::Freeing : PixelWorker::Preview);
        }
        ready = true;
        PixelWorker::WaitForIdle();
        QCOMPARE(m_log.join(' '), expected);
    }
};

QTEST_GUILESS_MAIN(PixelWorkerTest)
#include "tst_pixelworker.moc"
