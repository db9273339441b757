// The guider binding against the real PHD2 (the build in ../shared/phd2
// beside the source tree), started headless and guiding on its simulator: a
// whole dithering step on real time moves the lock position exactly and ends
// within the threshold, and the state shown follows PHD2 through a pause and
// its resume at once. Skipped, with the reason, when PHD2, its runtime
// libraries, Python or Xvfb are missing (scripts/install-deps.sh installs them).
#include "FakeRunHost.h"

#include "camera/ICamera.h"
#include "devices/DeviceFactory.h"
#include "guider/GuidedApplication.h"
#include "guider/phd2/Phd2Client.h"
#include "guider/phd2/Phd2Guider.h"
#include "run/GuideStarDither.h"
#include "run/RandomSource.h"
#include "run/RunControl.h"

#include <QJsonArray>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QtTest>
#include <unistd.h>

namespace {
const QString kPhd2Dir = QStringLiteral(TANDEXA_PHD2_DIR);

// Why the real PHD2 cannot run here, or empty.
QString missing()
{
    if (!QFile::exists(kPhd2Dir + "/phd2"))
        return "no PHD2 build at " + kPhd2Dir;
    for (const char* tool : {"python3", "Xvfb", "ldd"})
        if (QStandardPaths::findExecutable(tool).isEmpty())
            return QString(tool) + " is missing (scripts/install-deps.sh installs it)";
    QProcess ldd;
    ldd.start("ldd", {kPhd2Dir + "/phd2"});
    ldd.waitForFinished(10000);
    const QByteArray out = ldd.readAllStandardOutput();
    return out.contains("not found") ? "PHD2's runtime libraries are missing; scripts/install-deps.sh installs them:\n" + QString(out)
                                     : QString();
}

class Draws : public RandomSource {
public:
    unsigned Next() override { return m_draws[m_next++ % 4]; }
    const unsigned m_draws[4] = {7, 1, 4, 0};   // x +0.7, y -0.4
    int m_next = 0;
};
}

class RealPhd2Test : public QObject {
    Q_OBJECT
    QTemporaryDir m_work, m_dir;
    std::unique_ptr<IMaxImApplication> m_app;
    std::unique_ptr<ICamera> m_camera;
    Phd2Client* m_client = nullptr;

private slots:
    void initTestCase()
    {
        if (const QString why = missing(); !why.isEmpty())
            QSKIP(qPrintable(why));
        // An instance and a display of its own, so parallel tests do not meet.
        const int n = 20 + int(::getpid() % 40);
        QProcess up;
        up.setProcessChannelMode(QProcess::MergedChannels);
        up.start("python3", {kPhd2Dir + "/phd2_up.py", "--workdir", m_work.path(), "--instance", QString::number(n), "--display",
                             QString::number(140 + n), "--config-from", kPhd2Dir + "/phd2_calibrated.cfg", "--timeout", "60"});
        const bool finished = up.waitForFinished(100000);
        const QString out = QString::fromLocal8Bit(up.readAll());
        QVERIFY2(finished && up.exitCode() == 0, qPrintable("PHD2 did not come up:\n" + out));
        QFile ini(m_dir.filePath("Tandexa.ini"));
        ini.open(QIODevice::WriteOnly);
        ini.write(QStringLiteral("[Camera]\r\nTimeScale=0\r\n[Guider]\r\nDriver=PHD2\r\nPhd2Host=127.0.0.1\r\nPhd2Instance=%1\r\n").arg(n).toLatin1());
        ini.close();
        m_app = CreateMaxImApplication(ini.fileName());
        m_camera = m_app->CCDCamera();
        m_client = &dynamic_cast<Phd2Guider&>(dynamic_cast<GuidedApplication&>(*m_app).Guider()).Client();
    }

    void cleanupTestCase()
    {
        if (QFile::exists(m_work.filePath("state.json")))
            QProcess::execute("python3", {kPhd2Dir + "/phd2_down.py", "--workdir", m_work.path()});
    }

    void ditherMovesTheLockAndSettles()
    {
        ManualCameraClock clock;
        FakeRunHost host(clock);
        host.Camera = m_camera.get();
        host.Sequence.PixelDither = Decimal4::FromCount(10000);
        host.Sequence.WhileGuideError = Decimal4::FromCount(15000);
        RunControl control(host.Flags, host);
        QTest::qWait(1100);   // the wait timer's first second
        Draws random;
        const QJsonArray before = m_client->Call("get_lock_position").toArray();
        QElapsedTimer t;
        t.start();
        GuideStarDither(host, control, random).DitherGuideStar();
        const QJsonArray after = m_client->Call("get_lock_position").toArray();
        qInfo("lock (%.2f, %.2f) -> (%.2f, %.2f), settled after %lld ms at %.3f, %.3f", before[0].toDouble(), before[1].toDouble(),
              after[0].toDouble(), after[1].toDouble(), t.elapsed(), m_camera->GuiderXError(), m_camera->GuiderYError());
        QVERIFY(std::fabs(after[0].toDouble() - before[0].toDouble() - 0.7) < 0.011);
        QVERIFY(std::fabs(after[1].toDouble() - before[1].toDouble() + 0.4) < 0.011);
        QVERIFY(std::fabs(m_camera->GuiderXError()) <= 1.5f && std::fabs(m_camera->GuiderYError()) <= 1.5f);
        QVERIFY(t.elapsed() >= 4500 && t.elapsed() < 60000);
    }

    void statusFollowsAPauseAndItsResume()
    {
        QTRY_COMPARE_WITH_TIMEOUT(m_client->StatusText(), QStringLiteral("PHD2: Guiding"), 10000);
        const quint64 interruptions = m_camera->GuidingInterruptions();
        m_client->Call("set_paused", QJsonArray {true});
        QTRY_COMPARE_WITH_TIMEOUT(m_client->StatusText(), QStringLiteral("PHD2: Paused"), 10000);
        QCOMPARE(m_camera->GuidingInterruptions(), interruptions + 1);
        m_client->Call("set_paused", QJsonArray {false});
        // Resumed says so at once, before the next guide frame.
        QTRY_COMPARE_WITH_TIMEOUT(m_client->StatusText(), QStringLiteral("PHD2: Guiding"), 1500);
    }
};

QTEST_GUILESS_MAIN(RealPhd2Test)
#include "tst_realphd2.moc"
