// The [Guider] settings, the factory's binding of the chosen guider to the
// camera driver, the released camera, and the guider status line.
#include "Phd2StandIn.h"
#include "camera/AutomationError.h"
#include "guider/GuidedApplication.h"
#include "guider/GuiderSettings.h"
#include "guider/GuiderStatus.h"
#include "camera/ICamera.h"
#include "camera/IMaxImApplication.h"
#include "devices/DeviceFactory.h"
#include "link/LinkTestSupport.h"
#include "platform/IniFile.h"

#include <QFile>
#include <QTemporaryDir>
#include <QtTest>
#include <cmath>
#include <functional>

namespace {
QString errorOf(const std::function<void()>& action)
{
    try {
        action();
    } catch (const AutomationError& e) {
        return e.message();
    }
    return QString();
}

QString writeIni(const QTemporaryDir& dir, const QString& text)
{
    const QString path = dir.filePath("Tandexa.ini");
    QFile f(path);
    if (f.open(QIODevice::WriteOnly | QIODevice::Truncate))
        f.write(text.toUtf8());
    return path;
}
}

class GuiderBindingTest : public QObject {
    Q_OBJECT
private slots:
    void settingsFromIni_data();
    void settingsFromIni();
    void factoryBindsTheGuider_data();
    void factoryBindsTheGuider();
    void releasedCameraRefusesTheGuider();
    void statusFollowsPhd2();
};

void GuiderBindingTest::settingsFromIni_data()
{
    QTest::addColumn<QString>("section");
    QTest::addColumn<int>("kind");
    QTest::addColumn<QString>("host");
    QTest::addColumn<int>("port");
    QTest::addColumn<int>("connectMs");
    QTest::addColumn<int>("replyMs");
    using K = GuiderSettings::Kind;
    QTest::newRow("no section") << "" << int(K::Camera) << "localhost" << 4400 << 5000 << 10000;
    QTest::newRow("PHD2, any case") << "Driver=phd2" << int(K::Phd2) << "localhost" << 4400 << 5000 << 10000;
    QTest::newRow("None") << "Driver= None " << int(K::None) << "localhost" << 4400 << 5000 << 10000;
    QTest::newRow("unknown") << "Driver=Guidemaster" << int(K::Unknown) << "localhost" << 4400 << 5000 << 10000;
    QTest::newRow("instance 3") << "Driver=PHD2\r\nPhd2Host=obs-pc\r\nPhd2Instance=3" << int(K::Phd2) << "obs-pc"
                                << 4402 << 5000 << 10000;
    QTest::newRow("instance 0") << "Phd2Instance=0" << int(K::Camera) << "localhost" << 4400 << 5000 << 10000;
    QTest::newRow("instance past the ports") << "Phd2Instance=61137" << int(K::Camera) << "localhost" << 4400 << 5000
                                             << 10000;
    QTest::newRow("last instance") << "Phd2Instance=61136" << int(K::Camera) << "localhost" << 65535 << 5000 << 10000;
    QTest::newRow("time-outs") << "ConnectTimeout=0.5\r\nReplyTimeout=30" << int(K::Camera) << "localhost" << 4400
                               << 500 << 30000;
    QTest::newRow("bad time-outs") << "ConnectTimeout=0\r\nReplyTimeout=soon" << int(K::Camera) << "localhost" << 4400
                                   << 5000 << 10000;
}

void GuiderBindingTest::settingsFromIni()
{
    QFETCH(QString, section);
    QFETCH(int, kind);
    QFETCH(QString, host);
    QFETCH(int, port);
    QFETCH(int, connectMs);
    QFETCH(int, replyMs);
    QTemporaryDir dir;
    const GuiderSettings s = GuiderSettings::FromIni(IniFile(writeIni(dir, "[Guider]\r\n" + section + "\r\n")));
    QCOMPARE(int(s.Driver), kind);
    QCOMPARE(s.Phd2Host, host);
    QCOMPARE(int(s.Phd2Port()), port);
    QCOMPARE(s.ConnectTimeoutMs(), connectMs);
    QCOMPARE(s.ReplyTimeoutMs(), replyMs);
}

void GuiderBindingTest::factoryBindsTheGuider_data()
{
    QTest::addColumn<QString>("driver");
    QTest::addColumn<QString>("expected");   // X star position, or the start of the error
    QTest::newRow("default: the camera's guider") << "" << "simulator";
    QTest::newRow("Camera") << "Driver=Camera" << "simulator";
    QTest::newRow("PHD2") << "Driver=PHD2" << "101.5";
    QTest::newRow("None") << "Driver=None" << "No guider is configured (settings file ";
    QTest::newRow("unknown") << "Driver=Bogus" << "Guider driver \"Bogus\" is not available (settings file ";
}

void GuiderBindingTest::factoryBindsTheGuider()
{
    QFETCH(QString, driver);
    QFETCH(QString, expected);
    Phd2StandIn phd2;
    QVERIFY(phd2.Listen());
    phd2.SetLock(QPointF(101.5, 50.0));
    QTemporaryDir dir;
    const QString path = writeIni(dir, QStringLiteral("[Camera]\r\nTimeScale=0\r\n[Guider]\r\n%1\r\nPhd2Host=127.0.0.1\r\n"
                                                      "Phd2Instance=%2\r\n")
                                           .arg(driver)
                                           .arg(phd2.Port() - 4399));
    std::unique_ptr<IMaxImApplication> app;
    QString message = errorOf([&] { app = CreateMaxImApplication(path); });
    std::unique_ptr<ICamera> camera;
    if (message.isEmpty()) {
        camera = app->CCDCamera();
        QCOMPARE(camera->FilterNames(0), QStringLiteral("Luminance"));   // the camera driver still answers
        camera->SetBinX(2);
        QCOMPARE(camera->BinX(), 2);
        message = errorOf([&] { message = QString::number(camera->GuiderXStarPosition()); });
        if (message.isEmpty())
            message = QString::number(camera->GuiderXStarPosition());
    }
    bool isNumber = false;
    message.toFloat(&isNumber);
    QVERIFY2(message == expected || (expected == "simulator" && isNumber && message != "101.5") || (expected.endsWith(' ') && message.startsWith(expected + path)),
             qPrintable(message));
    QCOMPARE(dynamic_cast<GuidedApplication*>(app.get()) != nullptr,
             driver.endsWith("PHD2") || driver.endsWith("None"));
    QCOMPARE(phd2.Requests().isEmpty(), !driver.endsWith("PHD2"));
}

void GuiderBindingTest::releasedCameraRefusesTheGuider()
{
    QTemporaryDir dir;
    auto app = CreateMaxImApplication(writeIni(dir, "[Guider]\r\nDriver=None\r\n"));
    auto camera = app->CCDCamera();
    QVERIFY(errorOf([&] { camera->GuiderMoveStar(1, 2); }).startsWith("No guider is configured"));
    camera->Release();
    for (const auto& call : std::initializer_list<std::function<void()>>{
             [&] { camera->GuiderXStarPosition(); }, [&] { camera->GuiderYError(); },
             [&] { camera->GuiderMoveStar(1, 2); }, [&] { camera->FilterNames(0); }})
        QCOMPARE(errorOf(call), QStringLiteral("The camera object has been released"));
}

void GuiderBindingTest::statusFollowsPhd2()
{
    Phd2StandIn phd2;
    QVERIFY(phd2.Listen());
    const quint16 port = phd2.Port();
    const int refusedPort = FreePort();
    QTemporaryDir dir;
    GuiderStatus& status = GuiderStatus::Instance();
    QSignalSpy changes(&status, &GuiderStatus::changed);
    {
        auto app = CreateMaxImApplication(writeIni(
            dir, QStringLiteral("[Guider]\r\nDriver=PHD2\r\nPhd2Host=127.0.0.1\r\nPhd2Instance=%1\r\n").arg(phd2.Port() - 4399)));
        auto camera = app->CCDCamera();   // starts connecting
        QTRY_COMPARE(status.Text(), QStringLiteral("PHD2: Guiding"));
        // Guide frames on a real timer: the error after the move decays.
        camera->GuiderMoveStar(321.0f, 240.0f);
        phd2.StartFrames(20);
        QTRY_VERIFY(std::fabs(camera->GuiderXError()) < 0.01f);
        QVERIFY(phd2.Steps().size() >= 7 && phd2.Steps().first().dx <= -0.5);
        phd2.StopFrames();
        phd2.StopGuiding();
        QTRY_COMPARE(status.Text(), QStringLiteral("PHD2: Stopped"));
        phd2.Close();
        QTRY_COMPARE(status.Text(), QStringLiteral("PHD2 at 127.0.0.1:%1: the connection was closed by PHD2").arg(port));
    }
    QCOMPARE(status.Text(), QString());   // the guider went with the camera objects
    {
        auto app = CreateMaxImApplication(writeIni(
            dir, QStringLiteral("[Guider]\r\nDriver=PHD2\r\nPhd2Host=127.0.0.1\r\nPhd2Instance=%1\r\n").arg(refusedPort - 4399)));
        auto camera = app->CCDCamera();
        QTRY_COMPARE(status.Text(), QStringLiteral("PHD2 at 127.0.0.1:%1: connection refused").arg(refusedPort));
        auto plain = CreateMaxImApplication(writeIni(dir, "[Guider]\r\nDriver=Camera\r\n"));
        QCOMPARE(status.Text(), QString());
    }
    QVERIFY(changes.size() >= 6);
    QCOMPARE(changes.last().at(0).toString(), QString());
}

QTEST_GUILESS_MAIN(GuiderBindingTest)
#include "tst_guiderbinding.moc"
