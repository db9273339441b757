// WaitMs on real short timers: it waits its interval, ends early on Stop,
// does not queue nested waits, and sleeps rather than spins.
#include "run/RunControl.h"

#include <QElapsedTimer>
#include <QTest>
#include <QTimer>
#include <sys/resource.h>

namespace {
struct FakeHost : RunHost {
    QStringList calls;
    void SetStartEnabled(bool e) override { calls << QString("Start %1").arg(e); }
    void SetStopEnabled(bool e) override { calls << QString("Stop %1").arg(e); }
    void SetRunStatusText(const QString& t) override { calls << "Status " + t; }
    void SelectGridRow(int row) override { calls << QString("Row %1").arg(row); }
};

double cpuSeconds()
{
    rusage usage {};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_utime.tv_sec + usage.ru_stime.tv_sec + (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}
}

class TestRunControl : public QObject {
    Q_OBJECT
    RunState state;
    FakeHost host;
    RunControl* run = nullptr;

private slots:
    void initTestCase() { run = new RunControl(state, host, this); }

    void theFirstSecondIsTakenByTheArmedTimer()
    {
        QVERIFY(run->TimerWaitEnabled());
        QElapsedTimer clock;
        clock.start();
        run->WaitMs(300);
        QVERIFY(clock.elapsed() < 50);
        QTRY_VERIFY_WITH_TIMEOUT(!run->TimerWaitEnabled(), 1500);
    }

    void init()
    {
        state = RunState();
        host.calls.clear();
    }

    void waitsItsIntervalAndNoLonger()
    {
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
        QElapsedTimer clock;
        clock.start();
        QTimer::singleShot(40, [this] { run->StopButtonClick(); });
        run->WaitMs(2000);
        QVERIFY(clock.elapsed() >= 40);
        QVERIFY(clock.elapsed() < 300);
        QVERIFY(state.StopRequested);
        QCOMPARE(host.calls, QStringList({"Status User break"}));

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
        const double before = cpuSeconds();
        run->WaitMs(500);
        const double used = cpuSeconds() - before;
        QVERIFY2(used < 0.05, qPrintable(QString("a 500 ms wait used %1 s of CPU").arg(used)));
    }

    void openingAndClosingStepsOfARun()
    {
        state.StopRequested = true;
        run->BeginRun();
        QVERIFY(state.Running);
        QVERIFY(!state.StopRequested);
        QCOMPARE(host.calls, QStringList({"Start 0", "Stop 1"}));
        host.calls.clear();
        run->EndRun();
        QVERIFY(!state.Running);
        QCOMPARE(host.calls, QStringList({"Row 1", "Status Camera Idle", "Start 1", "Stop 0"}));
    }
};

QTEST_GUILESS_MAIN(TestRunControl)
#include "tst_runcontrol.moc"
