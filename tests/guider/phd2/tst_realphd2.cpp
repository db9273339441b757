// The guider binding against the real PHD2 (the build in ../shared/phd2
// beside the source tree), started headless and guiding on its simulator:
// a whole dithering step on real time ends on a guide frame begun after the
// move and within the threshold, and the state shown follows PHD2 through a
// pause and its resume. Skipped, with the reason, when PHD2, its runtime
// libraries, Python or Xvfb are missing (scripts/install-deps.sh installs
// them).
#include "FakeRunHost.h"

#include "camera/ICamera.h"
#include "camera/IMaxImApplication.h"
#include "devices/DeviceFactory.h"
#include "guider/GuidedApplication.h"
#include "guider/phd2/Phd2Client.h"
#include "guider/phd2/Phd2Guider.h"
#include "run/GuideStarDither.h"
#include "run/RandomSource.h"
#include "run/RunControl.h"

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QtTest>
#include <cmath>

#include <unistd.h>

namespace {
const QString kPhd2Dir = QStringLiteral(TANDEXA_PHD2_DIR);

// Why the real PHD2 cannot run here, or empty.
QString missing()
{
    if (!QFile::exists(kPhd2Dir + "/phd2"))
        return "no PHD2 build at " + kPhd2Dir;
    if (QStandardPaths::findExecutable("python3").isEmpty())
        return "python3 is missing";
    if (QStandardPaths::findExecutable("Xvfb").isEmpty())
        return "Xvfb is missing (scripts/install-deps.sh installs it)";
    QProcess ldd;
    ldd.start("ldd", {kPhd2Dir + "/phd2"});
    ldd.waitForFinished(10000);
    QStringList absent;
    for (const QByteArray& line : ldd.readAllStandardOutput().split('\n'))
        if (line.contains("not found"))
            absent << QString::fromLatin1(line.trimmed().split(' ').first());
    return absent.isEmpty() ? QString()
                            : "PHD2's runtime libraries are missing (" + absent.join(", ") + "); scripts/install-deps.sh installs them";
}

class SteadyRandom : public RandomSource {
public:
    unsigned Next() override { return m_draws[m_next++ % 4]; }

private:
    const unsigned m_draws[4] = {7, 1, 4, 0};   // x +0.7, y -0.4
    int m_next = 0;
};
}

class RealPhd2Test : public QObject {
    Q_OBJECT

    QTemporaryDir m_work;
    bool m_up = false;
    quint16 m_port = 0;

    std::unique_ptr<IMaxImApplication> connectCamera(const QString& dir)
    {
        QFile ini(dir + "/Tandexa.ini");
        ini.open(QIODevice::WriteOnly);
        ini.write(QStringLiteral("[Camera]\r\nTimeScale=0\r\n[Guider]\r\nDriver=PHD2\r\nPhd2Host=127.0.0.1\r\nPhd2Instance=%1\r\n")
                      .arg(int(m_port) - 4399).toLatin1());
        ini.close();
        return CreateMaxImApplication(ini.fileName());
    }

private slots:
    void initTestCase()
    {
        const QString why = missing();
        if (!why.isEmpty())
            QSKIP(qPrintable(why));
        // An instance and a display of its own, so parallel tests do not meet.
        const int n = 20 + int(::getpid() % 40);
        QProcess up;
        up.setProcessChannelMode(QProcess::MergedChannels);
        up.start("python3", {kPhd2Dir + "/phd2_up.py", "--workdir", m_work.path(), "--instance", QString::number(n),
                             "--display", QString::number(140 + n), "--config-from", kPhd2Dir + "/phd2_calibrated.cfg",
                             "--timeout", "60"});
        const bool finished = up.waitForFinished(100000);
        const QString out = QString::fromLocal8Bit(up.readAll());
        m_up = QFile::exists(m_work.filePath("state.json"));
        QVERIFY2(finished && up.exitCode() == 0, qPrintable("PHD2 did not come up:\n" + out));
        m_port = quint16(out.trimmed().split('\n').last().section('=', 1).toInt());
        QVERIFY(m_port > 4400);
    }

    void cleanupTestCase()
    {
        if (m_up)
            QProcess::execute("python3", {kPhd2Dir + "/phd2_down.py", "--workdir", m_work.path()});
    }

    void ditherSettlesOnAFrameBegunAfterTheMove()
    {
        QTemporaryDir dir;
        auto app = connectCamera(dir.path());
        std::unique_ptr<ICamera> camera = app->CCDCamera();
        Phd2Client& client = dynamic_cast<Phd2Guider&>(dynamic_cast<GuidedApplication&>(*app).Guider()).Client();
        ManualCameraClock clock;
        FakeRunHost host(clock);
        host.Camera = camera.get();
        host.Sequence.PixelDither = Decimal4::FromCount(10000);
        host.Sequence.WhileGuideError = Decimal4::FromCount(15000);
        RunControl control(host.Flags, host);
        QTest::qWait(1100);   // the wait timer's first second
        host.Flags.Running = true;
        SteadyRandom random;
        const QJsonArray before = client.Call("get_lock_position").toArray();
        QElapsedTimer t;
        t.start();
        GuideStarDither(host, control, random).DitherGuideStar();
        const qint64 took = t.elapsed();
        const QJsonArray after = client.Call("get_lock_position").toArray();
        qInfo("dither: lock (%.2f, %.2f) -> (%.2f, %.2f), settled after %lld ms; errors %.3f, %.3f",
              before.at(0).toDouble(), before.at(1).toDouble(), after.at(0).toDouble(), after.at(1).toDouble(), took,
              camera->GuiderXError(), camera->GuiderYError());
        QVERIFY(std::fabs(after.at(0).toDouble() - before.at(0).toDouble() - 0.7) < 0.011);
        QVERIFY(std::fabs(after.at(1).toDouble() - before.at(1).toDouble() + 0.4) < 0.011);
        QVERIFY(std::fabs(camera->GuiderXError()) <= 1.5f && std::fabs(camera->GuiderYError()) <= 1.5f);
        QVERIFY(took >= 4500 && took < 60000);
        QCOMPARE(client.StatusText(), QStringLiteral("PHD2: Guiding"));
    }

    void statusFollowsAPauseAndItsResume()
    {
        QTemporaryDir dir;
        auto app = connectCamera(dir.path());
        std::unique_ptr<ICamera> camera = app->CCDCamera();
        Phd2Client& client = dynamic_cast<Phd2Guider&>(dynamic_cast<GuidedApplication&>(*app).Guider()).Client();
        client.EnsureConnected();
        QTRY_COMPARE_WITH_TIMEOUT(client.StatusText(), QStringLiteral("PHD2: Guiding"), 10000);
        const quint64 interruptions = camera->GuidingInterruptions();
        client.Call("set_paused", QJsonArray {true});
        QTRY_COMPARE_WITH_TIMEOUT(client.StatusText(), QStringLiteral("PHD2: Paused"), 10000);
        QCOMPARE(camera->GuidingInterruptions(), interruptions + 1);
        client.Call("set_paused", QJsonArray {false});
        // Resumed says so at once, before the next guide frame.
        QTRY_COMPARE_WITH_TIMEOUT(client.StatusText(), QStringLiteral("PHD2: Guiding"), 1500);
    }
};

QTEST_GUILESS_MAIN(RealPhd2Test)
#include "tst_realphd2.moc"
