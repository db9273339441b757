// WaitMs on real short timers: it waits its interval, ends early on Stop,
// does not queue nested waits, and sleeps rather than spins.
#include "FakeRunHost.h"
#include "run/RunControl.h"

#include <QElapsedTimer>
#include <QTest>
#include <QTimer>
#include <sys/resource.h>

namespace {
double cpuSeconds()
{
    rusage usage {};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_utime.tv_sec + usage.ru_stime.tv_sec + (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}
}

// Each test has its own run control, fresh from construction (its timer is
// armed for the first second); `settled()` waits that second out.
class TestRunControl : public QObject {
    Q_OBJECT
    ManualCameraClock clock;
    std::unique_ptr<FakeRunHost> fake;
    std::unique_ptr<RunControl> run;
    RunState* flags = nullptr;

    bool settled()
    {
        return QTest::qWaitFor([this] { return !run->TimerWaitEnabled(); }, 1500);
    }

private slots:
    void init()
    {
        fake = std::make_unique<FakeRunHost>(clock);
        flags = &fake->Flags;
        run = std::make_unique<RunControl>(fake->Flags, *fake);
    }

    void cleanup()
    {
        run.reset();
        fake.reset();
    }

    void theFirstSecondIsTakenByTheArmedTimer()
    {
        QVERIFY(run->TimerWaitEnabled());
        bool pumped = false;
        QTimer::singleShot(0, [&] { pumped = true; });
        QElapsedTimer elapsed;
        elapsed.start();
        run->WaitMs(300);
        QVERIFY(elapsed.elapsed() < 50);
        QVERIFY(pumped);   // a refused wait still handles what is pending
        QVERIFY(settled());
    }

    void aPollingLoopOfRefusedWaitsStillSeesStop()
    {
        // An image wait started in the first second: every WaitMs is refused,
        // yet the Stop click must get through.
        QTimer::singleShot(100, [this] { run->StopButtonClick(); });
        QElapsedTimer elapsed;
        elapsed.start();
        while (!flags->StopRequested && elapsed.elapsed() < 5000)
            run->WaitMs(100);
        QVERIFY(flags->StopRequested);
        QVERIFY(elapsed.elapsed() < 900);
    }

    void waitingForEventsSleepsUntilOneComes()
    {
        bool arrived = false;
        QTimer::singleShot(300, [&] { arrived = true; });
        QElapsedTimer elapsed;
        elapsed.start();
        const double before = cpuSeconds();
        while (!arrived)
            run->WaitForEvents();
        QVERIFY(elapsed.elapsed() >= 299);
        QVERIFY2(cpuSeconds() - before < 0.05, qPrintable(QString("%1 s of CPU").arg(cpuSeconds() - before)));
    }

    void waitsItsIntervalAndNoLonger()
    {
        QVERIFY(settled());
        for (int ms : {20, 150}) {
            QElapsedTimer clock;
            clock.start();
            run->WaitMs(ms);
            const qint64 took = clock.elapsed();
            QVERIFY2(took >= ms, qPrintable(QString("%1 ms wait took %2").arg(ms).arg(took)));
            QVERIFY2(took < ms + 200, qPrintable(QString("%1 ms wait took %2").arg(ms).arg(took)));
            QVERIFY(!run->TimerWaitEnabled());
        }
    }

    void aStopEndsTheWaitAfterOnePass()
    {
        QVERIFY(settled());
        QElapsedTimer clock;
        clock.start();
        QTimer::singleShot(40, [this] { run->StopButtonClick(); });
        run->WaitMs(2000);
        QVERIFY(clock.elapsed() >= 40);
        QVERIFY(clock.elapsed() < 300);
        QVERIFY(flags->StopRequested);
        QCOMPARE(fake->Log, QStringList({"Status User break"}));

        // Already stopped: one pass, no wait at all.
        clock.restart();
        bool pumped = false;
        QTimer::singleShot(0, [&] { pumped = true; });
        run->WaitMs(2000);
        QVERIFY(clock.elapsed() < 100);
        QVERIFY(pumped);   // the pass still processed pending events
        QVERIFY(!run->TimerWaitEnabled());
    }

    void nestedWaitsReturnAtOnceAndDoNotQueue()
    {
        QVERIFY(settled());
        qint64 innerTook = -1;
        QTimer::singleShot(20, [&] {
            QElapsedTimer inner;
            inner.start();
            run->WaitMs(500);
            innerTook = inner.elapsed();
        });
        QElapsedTimer clock;
        clock.start();
        run->WaitMs(150);
        QVERIFY(innerTook >= 0 && innerTook < 20);
        QVERIFY(clock.elapsed() >= 150);
        QVERIFY(clock.elapsed() < 400);   // the inner 500 ms request did not extend the outer wait
    }

    void waitingCostsNoCpu()
    {
        QVERIFY(settled());
        const double before = cpuSeconds();
        run->WaitMs(500);
        const double used = cpuSeconds() - before;
        QVERIFY2(used < 0.05, qPrintable(QString("a 500 ms wait used %1 s of CPU").arg(used)));
    }

    void openingAndClosingStepsOfARun()
    {
        flags->StopRequested = true;
        run->BeginRun();
        QVERIFY(flags->Running);
        QVERIFY(!flags->StopRequested);
        QCOMPARE(fake->Log, QStringList({"Start 0", "Stop 1"}));
        fake->Log.clear();
        run->EndRun();
        QVERIFY(!flags->Running);
        QCOMPARE(fake->Log, QStringList({"Row 1", "Status Camera Idle", "Start 1", "Stop 0"}));
    }
};

QTEST_GUILESS_MAIN(TestRunControl)
#include "tst_runcontrol.moc"
