// The devices dialog's look-ups and tests behind DeviceTester: INDI devices
// listed from the Debian simulators, a server that never answers or floods
// the stream (the event loop never stalls), refused connections, the camera
// test leaving devices as it found them, and the PHD2 test against the
// PHD2 stand-in.
#include "IndiServer.h"
#include "Phd2StandIn.h"
#include "camera/indi/IndiClient.h"
#include "devices/DeviceChoices.h"
#include "devices/DeviceTester.h"
#include "link/LinkTestSupport.h"

#include <QElapsedTimer>
#include <QFile>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QtTest>

using Result = QPair<bool, QString>;

namespace {
// Runs the event loop until `done`, and measures the longest pass between
// ticks of a 5 ms timer: the time the window would have been frozen.
qint64 longestStall(const std::function<bool()>& done, int timeoutMs = 20000)
{
    QElapsedTimer since, total;
    since.start();
    total.start();
    qint64 longest = 0;
    QTimer tick;
    QObject::connect(&tick, &QTimer::timeout, [&] { longest = std::max(longest, since.restart()); });
    tick.start(5);
    while (!done() && total.elapsed() < timeoutMs)
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    qInfo("answered after %lld ms; the event loop stalled %lld ms at most", total.elapsed(), longest);
    return longest;
}

DeviceChoices choices(const QString& lines)
{
    static QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("%1.ini").arg(qHash(lines)));
    QFile f(path);
    if (f.open(QIODevice::WriteOnly | QIODevice::Truncate))
        f.write(lines.toUtf8());
    f.close();
    DeviceChoices c;
    c.Load(path);
    return c;
}

// Accepts connections; sends `bytes` to each (after `delayMs`), or nothing.
struct ScriptedServer : QTcpServer {
    QByteArray bytes;
    int delayMs = 0;
    ScriptedServer()
    {
        listen(QHostAddress::LocalHost, 0);
        connect(this, &QTcpServer::newConnection, this, [this] {
            QTcpSocket* client = nextPendingConnection();
            QTimer::singleShot(delayMs, client, [this, client] { client->write(bytes); });
        });
    }
};
}

class DeviceTesterTest : public QObject {
    Q_OBJECT
    IndiServer m_server;
    QString m_why;

    QString indi(const QString& more = QString()) const
    {
        return QStringLiteral("[Camera]\nDriver=INDI\nIndiHost=127.0.0.1\nIndiPort=%1\nIndiReplyTimeout=3\n%2")
            .arg(m_server.Port()).arg(more);
    }
    bool connectionOn(const QString& device)
    {
        IndiClient client(QStringLiteral("127.0.0.1"), m_server.Port());
        client.connectToServer(3000);
        client.waitUntil([&] { return client.cache().find(device, "CONNECTION"); }, 3000);
        const IndiProperty* c = client.cache().find(device, "CONNECTION");
        return c && c->isOn("CONNECT");
    }

private slots:
    void initTestCase()
    {
        if (!IndiServer::Available())
            QSKIP("indiserver is not installed (package indi-bin)");
        QVERIFY2(m_server.Start({"indi_simulator_ccd", "indi_simulator_wheel", "indi_simulator_guide"}, &m_why),
                 qPrintable(m_why));
    }

    void listsTheSimulatorsByKind()
    {
        DeviceTester tester;
        std::optional<FoundDevices> found;
        connect(&tester, &DeviceTester::devicesFound, [&](const FoundDevices& f) { found = f; });
        tester.FindIndiDevices(choices(indi()));
        QElapsedTimer t;
        t.start();
        QVERIFY(longestStall([&] { return found.has_value(); }) < 100);
        QCOMPARE(found->Cameras, QStringList({"CCD Simulator", "Guide Simulator"}));
        QCOMPARE(found->Wheels, QStringList({"Filter Simulator"}));
        QCOMPARE(found->CamerasWithWheel, QStringList({"CCD Simulator"}));
        QVERIFY2(t.elapsed() < 3000, qPrintable(QString::number(t.elapsed())));
        QCOMPARE(found->Summary, QStringLiteral("127.0.0.1:%1 has 2 cameras and 1 filter wheel (3 devices in all).")
                                     .arg(m_server.Port()));
    }

    void serversThatFailSayWhere_data()
    {
        QTest::addColumn<QByteArray>("sent");   // "refused": nobody listens
        QTest::addColumn<QString>("message");
        QTest::newRow("refused") << QByteArray("refused")
                                 << "The INDI server at 127.0.0.1:%1 cannot be used: connection refused (is indiserver "
                                    "running on that port?)";
        QTest::newRow("never answers") << QByteArray()
                                       << "The INDI server at 127.0.0.1:%1 cannot be used: it announced no devices within 1 s";
        QTest::newRow("not INDI") << QByteArray("HTTP/1.1 400 Bad Request\r\n\r\n<html></body>")
                                  << "The INDI server at 127.0.0.1:%1 cannot be used: the server sent something that is not INDI";
    }
    void serversThatFailSayWhere()
    {
        QFETCH(QByteArray, sent);
        QFETCH(QString, message);
        ScriptedServer server;
        server.bytes = sent;
        const int port = sent == "refused" ? FreePort() : server.serverPort();
        DeviceTester tester;
        QString got;
        connect(&tester, &DeviceTester::devicesNotFound, [&](const QString& m) { got = m; });
        tester.FindIndiDevices(choices(QStringLiteral("[Camera]\nIndiHost=127.0.0.1\nIndiPort=%1\nIndiReplyTimeout=1\n").arg(port)));
        QVERIFY(longestStall([&] { return !got.isEmpty(); }) < 100);
        QVERIFY2(got.startsWith(message.arg(port)), qPrintable(got));
    }

    void aFloodOfDevicesNeverFreezesTheLoop()
    {
        ScriptedServer server;
        for (int i = 0; i < 800; ++i)
            server.bytes += QStringLiteral("<defTextVector device=\"Wheel %1\" name=\"DRIVER_INFO\" state=\"Idle\" perm=\"ro\">"
                                           "<defText name=\"DRIVER_INTERFACE\">16</defText></defTextVector>\n").arg(i, 3, 10, QChar('0')).toUtf8();
        DeviceTester tester;
        std::optional<FoundDevices> found;
        connect(&tester, &DeviceTester::devicesFound, [&](const FoundDevices& f) { found = f; });
        tester.FindIndiDevices(choices(QStringLiteral("[Camera]\nIndiHost=127.0.0.1\nIndiPort=%1\n").arg(server.serverPort())));
        const qint64 stall = longestStall([&] { return found.has_value(); });
        QVERIFY2(stall < 100, qPrintable(QString::number(stall)));
        QCOMPARE(found->Wheels.size(), 500);
        QVERIFY(found->Summary.endsWith("(it announced more; only the first 500 are listed)."));
    }

    void aSlowServerIsWaitedFor()
    {
        ScriptedServer server;
        server.delayMs = 1500;
        server.bytes = "<defNumberVector device=\"Slow Wheel\" name=\"FILTER_SLOT\" state=\"Idle\" perm=\"rw\">"
                       "<defNumber name=\"FILTER_SLOT_VALUE\" min=\"1\" max=\"5\">1</defNumber></defNumberVector>\n";
        DeviceTester tester;
        std::optional<FoundDevices> found;
        connect(&tester, &DeviceTester::devicesFound, [&](const FoundDevices& f) { found = f; });
        tester.FindIndiDevices(choices(QStringLiteral("[Camera]\nIndiHost=127.0.0.1\nIndiPort=%1\nIndiReplyTimeout=4\n")
                                           .arg(server.serverPort())));
        QVERIFY(longestStall([&] { return found.has_value(); }) < 100);
        QCOMPARE(found->Wheels, QStringList {"Slow Wheel"});
    }

    void cameraTestReportsAndLeavesDevicesAsFound_data()
    {
        QTest::addColumn<QString>("settings");
        QTest::addColumn<bool>("ok");
        QTest::addColumn<QString>("report");
        const QString chip = "Camera \"CCD Simulator\": 1280 x 1024 pixels of 5.2 x 5.2 \u00b5m, binning 1 to 4 (x), 1 to 4 (y).\n";
        const QString names = "Red, Green, Blue, H_Alpha, SII, OIII, LPR, Luminance.";
        QTest::newRow("wheel of its own") << "IndiWheel=\n" << true << chip + "Its own filter wheel: " + names;
        QTest::newRow("separate wheel") << "" << true << chip + "Filter wheel \"Filter Simulator\": " + names;
        QTest::newRow("no such camera") << "IndiCamera=CCD Simulatr\n" << false
                                        << "The INDI server at 127.0.0.1:%1 has no device \"CCD Simulatr\" (it has: CCD "
                                           "Simulator, Filter Simulator, Guide Simulator)";
        QTest::newRow("a guide camera has no wheel") << "IndiCamera=Guide Simulator\nIndiWheel=\n" << false
                                                      << "\"Guide Simulator\" has no filter wheel (FILTER_NAME)";
    }
    void cameraTestReportsAndLeavesDevicesAsFound()
    {
        QFETCH(QString, settings);
        QFETCH(bool, ok);
        QFETCH(QString, report);
        DeviceTester tester;
        std::optional<Result> result;
        connect(&tester, &DeviceTester::cameraTested, [&](bool k, const QString& r) { result = Result(k, r); });
        tester.TestCamera(choices(indi(settings)));
        QVERIFY(longestStall([&] { return result.has_value(); }) < 100);
        QCOMPARE(*result, Result(ok, report.contains("%1") ? report.arg(m_server.Port()) : report));
        for (const char* device : {"CCD Simulator", "Filter Simulator", "Guide Simulator"})
            QVERIFY2(!connectionOn(device), device);
    }

    void cameraTestLeavesARunningConnectionAlone()
    {
        IndiClient user(QStringLiteral("127.0.0.1"), m_server.Port());
        user.connectToServer(3000);
        user.waitUntil([&] { return user.cache().find("CCD Simulator", "CONNECTION"); }, 3000);
        user.request(IndiKind::Switch, "CCD Simulator", "CONNECTION", {{"CONNECT", "On"}},
                     [](const IndiProperty& p) { return p.isOn("CONNECT"); }, 5000, "connecting");
        DeviceTester tester;
        std::optional<Result> result;
        connect(&tester, &DeviceTester::cameraTested, [&](bool k, const QString& r) { result = Result(k, r); });
        tester.TestCamera(choices(indi()));
        QVERIFY(longestStall([&] { return result.has_value(); }) < 100);
        QVERIFY2(result->first, qPrintable(result->second));
        QVERIFY(connectionOn("CCD Simulator"));
        QVERIFY(!connectionOn("Filter Simulator"));
        QVERIFY(user.isConnected() && user.cache().find("CCD Simulator", "CONNECTION")->isOn("CONNECT"));
        user.request(IndiKind::Switch, "CCD Simulator", "CONNECTION", {{"DISCONNECT", "On"}},
                     [](const IndiProperty& p) { return p.isOn("DISCONNECT"); }, 5000, "disconnecting");
    }

    void guiderTests_data()
    {
        QTest::addColumn<QString>("state");   // "": PHD2 not running; "silent": a server that says nothing
        QTest::addColumn<QString>("settings");
        QTest::addColumn<Result>("result");
        const QString phd2 = "[Guider]\nDriver=PHD2\nPhd2Host=127.0.0.1\nPhd2Instance=%1\nReplyTimeout=1\n";
        QTest::newRow("guiding") << "Guiding" << phd2
                                 << Result(true, "PHD2 at 127.0.0.1:%2 (PHD2 2.6.11): state Guiding, guiding.");
        QTest::newRow("stopped") << "Stopped" << phd2
                                 << Result(true, "PHD2 at 127.0.0.1:%2 (PHD2 2.6.11): state Stopped, not guiding (start "
                                                 "guiding before the first dither).");
        QTest::newRow("not running") << "" << phd2
                                     << Result(false, "PHD2 at 127.0.0.1:%2: connection refused (is PHD2 running, with "
                                                      "Tools, \"Enable Server\" on, and is the instance right?)");
        QTest::newRow("not PHD2") << "silent" << phd2
                                  << Result(false, "PHD2 at 127.0.0.1:%2 accepted the connection but reported no state "
                                                   "within 1 s (is it PHD2's event server?)");
        QTest::newRow("INDI camera's own") << "" << "[Camera]\nDriver=INDI\n"
                                           << Result(false, "An INDI camera has no guider of its own: a sequence that "
                                                            "dithers stops at its first dither. Choose PHD2, or None for "
                                                            "sequences without dithering.");
    }
    void guiderTests()
    {
        QFETCH(QString, state);
        QFETCH(QString, settings);
        QFETCH(Result, result);
        Phd2StandIn phd2;
        ScriptedServer silent;
        int port = state == "silent" ? silent.serverPort() : FreePort();
        if (!state.isEmpty() && state != "silent") {
            QVERIFY(phd2.Listen());
            phd2.SetState(state);
            port = phd2.Port();
        }
        DeviceTester tester;
        std::optional<Result> got;
        connect(&tester, &DeviceTester::guiderTested, [&](bool k, const QString& r) { got = Result(k, r); });
        tester.TestGuider(choices(settings.contains('%') ? settings.arg(port - 4399) : settings));
        QVERIFY(longestStall([&] { return got.has_value(); }) < 100);
        QCOMPARE(*got, Result(result.first, result.second.contains('%') ? result.second.arg(port) : result.second));
    }
};

QTEST_GUILESS_MAIN(DeviceTesterTest)
#include "tst_devicetester.moc"
