// The dithering step itself (not a script of its calls) through the PHD2
// guider, against the PHD2 stand-in on loopback in virtual time: the lock
// position PHD2 receives, the guide-error wait ending at the first guide
// frame within the threshold, and Stop while a lost star keeps it waiting.
#include "FakeRunHost.h"
#include "RunRig.h"

#include "Phd2StandIn.h"
#include "guider/GuidedApplication.h"
#include "camera/IMaxImApplication.h"
#include "devices/DeviceFactory.h"
#include "guider/phd2/Phd2Client.h"
#include "guider/phd2/Phd2Guider.h"
#include "run/GuideStarDither.h"

#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

namespace {
// The run's waits in virtual time, moving the stand-in's clock with them and
// letting what it sent reach the client before the wait returns.
class Phd2Waiter : public RunWaiter {
public:
    Phd2Waiter(Phd2StandIn& phd2, Phd2Client& client, ManualCameraClock& clock, RunState& flags)
        : m_phd2(phd2), m_client(client), m_clock(clock), m_flags(flags) {}
    std::function<void(qint64)> At;   // called after every advance with the new time

    void WaitMs(int ms) override
    {
        if (m_flags.StopRequested)
            return PumpMessages();
        m_clock.AdvanceMs(ms);
        m_phd2.AdvanceTo(m_clock.NowMs());
        if (At)
            At(m_clock.NowMs());
        PumpMessages();
    }
    void PumpMessages() override
    {
        QCoreApplication::processEvents();
        // A pump: a peer that falls behind shows in the test's own checks.
        (void)QTest::qWaitFor([&] { return !m_client.IsConnected() || m_client.MessagesReceived() == m_phd2.MessagesSent(); }, 5000);
    }
    void WaitForEvents() override { WaitMs(100); }

private:
    Phd2StandIn& m_phd2;
    Phd2Client& m_client;
    ManualCameraClock& m_clock;
    RunState& m_flags;
};

struct Phd2Rig {
    Phd2StandIn Phd2;
    QTemporaryDir Dir;
    ManualCameraClock Clock;
    FakeRunHost Host {Clock};
    ScriptedRandom Random;
    std::unique_ptr<IMaxImApplication> Application;
    std::unique_ptr<ICamera> Camera;
    std::unique_ptr<Phd2Waiter> Waiter;

    Phd2Rig()
    {
        Phd2.Listen();
        Phd2.SetFrameMs(2000);
        Phd2.SetGain(0.3);
        QFile ini(Dir.filePath("Tandexa.ini"));
        ini.open(QIODevice::WriteOnly);
        ini.write(QStringLiteral("[Camera]\r\nTimeScale=0\r\n[Guider]\r\nDriver=PHD2\r\nPhd2Host=127.0.0.1\r\nPhd2Instance=%1\r\n")
                      .arg(int(Phd2.Port()) - 4399).toLatin1());
        ini.close();
        Application = CreateMaxImApplication(ini.fileName());
        Camera = Application->CCDCamera();
        Host.Camera = Camera.get();
        Phd2Client& client = dynamic_cast<Phd2Guider&>(dynamic_cast<GuidedApplication&>(*Application).Guider()).Client();
        Waiter = std::make_unique<Phd2Waiter>(Phd2, client, Clock, Host.Flags);
        Host.Sequence.PixelDither = Decimal4::FromCount(10000);
        Host.Sequence.WhileGuideError = Decimal4::FromCount(5000);
    }
};
}

class TestDitherPhd2 : public QObject {
    Q_OBJECT
private slots:
    void dithersThroughPhd2AndWaitsForItsGuideFrames()
    {
        Phd2Rig rig;
        rig.Host.Sequence.PixelDither = Decimal4::FromCount(25000);
        rig.Random.Draws = {24, 1, 49, 1};   // +2.4, +2.4
        const QPointF start(rig.Camera->GuiderXStarPosition(), rig.Camera->GuiderYStarPosition());
        GuideStarDither(rig.Host, *rig.Waiter, rig.Random).DitherGuideStar();
        const QPointF lock = rig.Phd2.LockPositionsReceived().value(0);
        QVERIFY2(std::fabs(lock.x() - start.x() - 2.4) < 1e-4 && std::fabs(lock.y() - start.y() - 2.4) < 1e-4,
                 qPrintable(QString("lock %1,%2 from %3,%4").arg(lock.x()).arg(lock.y()).arg(start.x()).arg(start.y())));
        // Settled at the first 100 ms read after PHD2's first frame within
        // 0.5 px that began after the move (the move came at 0; the frame
        // reported at 2000 began before it).
        qint64 settledAt = -1;
        for (const auto& step : rig.Phd2.Steps()) {
            if (step.timeMs > 2000 && std::fabs(step.dx) <= 0.5 && std::fabs(step.dy) <= 0.5) {
                settledAt = step.timeMs;
                break;
            }
        }
        QVERIFY(settledAt > 4500);
        QVERIFY2(rig.Clock.NowMs() >= settledAt && rig.Clock.NowMs() < settledAt + 100,
                 qPrintable(QString("ended at %1, frame at %2").arg(rig.Clock.NowMs()).arg(settledAt)));
        QCOMPARE(rig.Host.Entries("Status "), QStringList({"Moving telescope", "Waiting for error correction < 0.5"}));
    }

    void aStarLostAsTheDitherBeginsWaitsForGuiding()
    {
        // PHD2 in LostLock keeps its lock position: the dither moves it and
        // waits for guiding to resume, as after the move.
        Phd2Rig rig;
        rig.Phd2.LoseStar();
        rig.Phd2.Frame();
        rig.Waiter->At = [&rig](qint64 now) {
            if (now == 9000)
                rig.Phd2.RecoverStar();
        };
        rig.Random.Draws = {3, 1, 3, 1};   // +0.3, +0.3
        GuideStarDither(rig.Host, *rig.Waiter, rig.Random).DitherGuideStar();
        QCOMPARE(rig.Phd2.LockPositionsReceived().size(), 1);
        QCOMPARE(rig.Clock.NowMs(), qint64(10000));   // the first frame guided after the recovery
        QCOMPARE(rig.Host.Entries("Status ").last(), QString("Waiting for error correction < 0.5"));
    }

    void aLostStarWaitsUntilStop()
    {
        Phd2Rig rig;
        rig.Waiter->At = [&rig](qint64 now) {
            if (now == 3000)
                rig.Phd2.LoseStar();
            if (now == 90000)
                rig.Host.PressStop();
        };
        GuideStarDither(rig.Host, *rig.Waiter, rig.Random).DitherGuideStar();
        QCOMPARE(rig.Clock.NowMs(), qint64(90000));
        QCOMPARE(rig.Host.Entries("Status ").last(), QString("User break"));
    }
};

QTEST_GUILESS_MAIN(TestDitherPhd2)
#include "tst_dither_phd2.moc"
