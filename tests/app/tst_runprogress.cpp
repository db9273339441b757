// What the progress display makes of a run: the phase at each moment (the
// exposure's elapsed and remaining seconds, downloading, saving, the wait
// for the main PC), frame k of n, and the estimated end of the sequence from
// the exposures, repeats, passes, delays and the measured time per frame.
#include "app/RunProgress.h"
#include "sequence/TSequence.h"

#include <QTest>

namespace {
const QDateTime t0(QDate(2026, 1, 1), QTime(20, 0), Qt::UTC);

FrameEvent frame(FrameEvent::Kind what, qint64 pass, int item, qint64 k, qint64 repeat, int exposure, qint64 atMs)
{
    FrameEvent e;
    e.What = what;
    e.FileName = QStringLiteral("Img-%1.fit").arg(k);
    e.Path = QStringLiteral("/d/") + e.FileName;
    e.FilterName = QStringLiteral("Red");
    e.Exposure = exposure;
    e.Pass = pass;
    e.Item = item;
    e.Frame = k;
    e.Repeat = repeat;
    e.Utc = t0.addMSecs(atMs);
    return e;
}

// Two items (60 s x 3, 30 s x 2), 2 passes, 10 s delay after each item.
TSequence sequence()
{
    TSequence s;
    s.Iterations = 2;
    s.StartIteration = 1;
    s.DelayFrame = 10;
    s.Items = {TSequenceItem {1, 60, 1, 3, "R"}, TSequenceItem {2, 30, 1, 2, "G"}};
    return s;
}
}

class TestRunProgress : public QObject {
    Q_OBJECT
private slots:
    void phasesFollowTheRun_data()
    {
        QTest::addColumn<bool>("isMainPC");
        QTest::addColumn<QStringList>("steps");   // "status <text>", "start", "saving", "saved", "abort"
        QTest::addColumn<qint64>("atMs");         // when the phase is read, from the frame's start
        QTest::addColumn<int>("phase");
        QTest::addColumn<QString>("text");
        using P = RunProgress::Phase;
        QTest::newRow("exposing") << true << QStringList {"start"} << 12'400LL << int(P::Exposing)
                                  << "Exposing 12 s of 60 s, 48 s left";
        QTest::newRow("exposure over: downloading") << true << QStringList {"start"} << 61'000LL << int(P::Downloading) << "Downloading";
        QTest::newRow("saving") << true << QStringList {"start", "saving"} << 61'000LL << int(P::Saving) << "Saving";
        QTest::newRow("saved: back to the run's own step") << true << QStringList {"start", "saving", "saved", "status Delay"}
                                                           << 70'000LL << int(P::Delay) << "Delay";
        QTest::newRow("second PC waits for the main PC") << false << QStringList {"status Waiting for remote start..."}
                                                         << 0LL << int(P::Waiting) << "Waiting for the main PC";
        QTest::newRow("dither") << true << QStringList {"start", "saved", "status Moving telescope"} << 70'000LL
                                << int(P::Dithering) << "Dithering";
        QTest::newRow("aborted, then idle") << true << QStringList {"start", "abort", "status Camera Idle"} << 5'000LL
                                            << int(P::Idle) << "";
    }
    void phasesFollowTheRun()
    {
        QFETCH(bool, isMainPC);
        QFETCH(QStringList, steps);
        QFETCH(qint64, atMs);
        QFETCH(int, phase);
        QFETCH(QString, text);
        RunProgress p(isMainPC);
        for (const QString& step : steps) {
            if (step.startsWith("status "))
                p.StatusText(step.mid(7));
            else if (step == "start")
                p.FrameEvent(frame(FrameEvent::Kind::Started, 1, 1, 1, 3, 60, 0));
            else if (step == "saving")
                p.ImageSaving();
            else if (step == "saved")
                p.FrameEvent(frame(FrameEvent::Kind::Saved, 1, 1, 1, 3, 60, 62'000));
            else if (step == "abort")
                p.FrameEvent(frame(FrameEvent::Kind::Aborted, 1, 1, 1, 3, 60, 1'000));
        }
        QCOMPARE(int(p.PhaseAt(t0.addMSecs(atMs))), phase);
        QCOMPARE(p.PhaseText(t0.addMSecs(atMs)), text);
    }

    void estimateAddsUpWhatIsLeft_data()
    {
        QTest::addColumn<bool>("isMainPC");
        QTest::addColumn<int>("overheadMs");   // measured on the first frame
        QTest::addColumn<qint64>("secondsLeft");
        // At the start of frame 2 of item 1 in pass 1, nothing measured beyond it:
        // frame 2 (60) + frame 3 (60) + delay 10, item 2 (2 x 30 + 10), pass 2 (3 x 60 + 10 + 2 x 30 + 10).
        QTest::newRow("main PC, no time beyond the exposures") << true << 0 << qint64(60 + 60 + 10 + 70 + 260);
        // 2 s measured per frame beyond its exposure, 9 frames still to come (this one included).
        QTest::newRow("main PC, 2 s per frame measured") << true << 2000 << qint64(460 + 9 * 2);
        // No delays on the second PC.
        QTest::newRow("second PC") << false << 0 << qint64(460 - 40);
    }
    void estimateAddsUpWhatIsLeft()
    {
        QFETCH(bool, isMainPC);
        QFETCH(int, overheadMs);
        QFETCH(qint64, secondsLeft);
        RunProgress p(isMainPC);
        const TSequence s = sequence();
        p.FrameEvent(frame(FrameEvent::Kind::Started, 1, 1, 1, 3, 60, 0));
        p.FrameEvent(frame(FrameEvent::Kind::Saved, 1, 1, 1, 3, 60, 60'000 + overheadMs));
        const qint64 start2 = 60'000 + overheadMs + 5;
        p.FrameEvent(frame(FrameEvent::Kind::Started, 1, 1, 2, 3, 60, start2));
        const QDateTime now = t0.addMSecs(start2);
        QCOMPARE(p.OverheadSeconds(), overheadMs / 1000.0);
        QCOMPARE(now.secsTo(p.EstimatedEnd(now, s)), secondsLeft);
        QCOMPARE(p.FrameText(s), QString("Frame 2 of 3, item 1 (Red), pass 1 of 2"));
        QVERIFY(p.EndText(now, s).startsWith("Ends about "));
        QCOMPARE(RunProgress::Duration(3900), QString("1 h 05 min"));
    }

    void noEstimateWhileIdle()
    {
        RunProgress p(true);
        QVERIFY(!p.EstimatedEnd(t0, sequence()).isValid());
        QVERIFY(p.EndText(t0, sequence()).isEmpty());
        QVERIFY(p.FrameText(sequence()).isEmpty());
    }
};

QTEST_GUILESS_MAIN(TestRunProgress)
#include "tst_runprogress.moc"
