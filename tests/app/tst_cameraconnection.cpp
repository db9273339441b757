// Connecting to and disconnecting from the camera: the filter-name loop, the
// failure messages and button states, and releasing the objects.
#include "ScriptedCameraServer.h"
#include "app/CameraConnection.h"
#include "app/CameraConnectionHost.h"
#include "camera/ICamera.h"
#include "platform/MessageBox.h"
#include "platform/ProgramDir.h"

#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

namespace {
// The window as the connection sees it. Button states start as the window
// shows them; `changes` counts every Set call per button so a test can tell
// "unchanged" from "set to the same value".
struct FakeHost : CameraConnectionHost {
    bool connect = true, disconnect = false, start = false, stop = false;
    QMap<QString, int> changes;
    bool running = false;
    QStringList filters;
    QList<int> waits;            // ms of every WaitMs
    QList<int> callsAtWait;      // camera calls recorded when each wait happened
    ScriptedCameraServer* server = nullptr;

    void SetConnectEnabled(bool e) override { connect = e; ++changes["connect"]; }
    void SetDisconnectEnabled(bool e) override { disconnect = e; ++changes["disconnect"]; }
    void SetStartEnabled(bool e) override { start = e; ++changes["start"]; }
    void SetStopEnabled(bool e) override { stop = e; ++changes["stop"]; }
    bool IsRunning() const override { return running; }
    void WaitMs(int ms) override
    {
        waits << ms;
        callsAtWait << (server ? int(server->Calls().size()) : -1);
    }
    QStringList& FilterList() override { return filters; }
};

struct Box {
    QString text, caption;
    int flags;
};
}

class CameraConnectionTest : public QObject {
    Q_OBJECT

    QList<Box> boxes;
    MessageBoxHandler previous;

private slots:
    void init()
    {
        boxes.clear();
        previous = SetMessageBoxHandler([this](const QString& t, const QString& c, int f) {
            boxes.append({t, c, f});
            return MsgBox::ResultOk;
        });
    }
    void cleanup() { SetMessageBoxHandler(previous); }

    void connectReadsNamesUntilOneBeginsWithFilter_data()
    {
        QTest::addColumn<QStringList>("names");
        QTest::addColumn<QStringList>("expected");
        QTest::newRow("three then Filter 4") << QStringList {"Red", "Green", "Blue", "Filter 4"}
                                             << QStringList {"Red", "Green", "Blue"};
        QTest::newRow("first is Filter 1") << QStringList {"Filter 1", "Red"} << QStringList {};
        QTest::newRow("Filtered stops") << QStringList {"Red", "Filtered", "Blue"} << QStringList {"Red"};
        QTest::newRow("lower-case filter goes on") << QStringList {"Red", "filter 4", "Blue"}
                                                   << QStringList {"Red", "filter 4", "Blue"};
        QTest::newRow("Filter needs six characters") << QStringList {"Filte", "Ha", "FILTER 3"}
                                                     << QStringList {"Filte", "Ha", "FILTER 3"};
    }
    void connectReadsNamesUntilOneBeginsWithFilter()
    {
        QFETCH(QStringList, names);
        QFETCH(QStringList, expected);
        ScriptedCameraServer server;
        server.FilterNameList = names;
        FakeHost host;
        host.server = &server;
        host.filters = {"Old", "List"};
        CameraConnection connection(host, server.Factory());

        connection.ConnectMaxImButtonClick();

        QCOMPARE(host.filters, expected);
        QVERIFY(boxes.isEmpty());
        QCOMPARE(host.connect, false);
        QCOMPARE(host.disconnect, true);
        QCOMPARE(host.start, true);
        QCOMPARE(host.stop, false);
        QVERIFY(connection.Camera() != nullptr);
        QCOMPARE(server.LiveCameras, 1);
        // The camera is linked, then given a second before the names are read.
        QCOMPARE(server.Calls().mid(0, 3),
                 (QStringList {"CreateApplication()", "CCDCamera()", "SetLinkEnabled(true)"}));
        QCOMPARE(host.waits, QList<int> {1000});
        QCOMPARE(host.callsAtWait, QList<int> {3});
        QCOMPARE(server.CallCount("FilterNames"), int(expected.size()) + 1);
        QCOMPARE(server.Calls().last(), QStringLiteral("FilterNames(%1)").arg(expected.size()));
    }

    void connectStopsReadingAfterTheLastAllowedIndex()
    {
        ScriptedCameraServer server;
        for (int i = 0; i < 300; ++i)
            server.FilterNameList << QStringLiteral("Slot %1").arg(i);
        FakeHost host;
        CameraConnection connection(host, server.Factory());

        connection.ConnectMaxImButtonClick();

        QCOMPARE(host.filters.size(), CameraConnection::MaxFilterIndexes);
        QCOMPARE(host.filters.last(), QStringLiteral("Slot 255"));
        QCOMPARE(server.CallCount("FilterNames"), CameraConnection::MaxFilterIndexes);
        QVERIFY(boxes.isEmpty());
        QVERIFY(host.start);
    }

    void failedConnectionShowsItsStepAndReleasesBoth_data()
    {
        QTest::addColumn<QString>("operation");
        QTest::addColumn<int>("callNumber");
        QTest::addColumn<QString>("message");
        QTest::addColumn<QStringList>("filtersAfter");
        QTest::newRow("create") << "CreateApplication" << 1
                                << "Error in connection. MaxIm/DL must be set up before conntecting."
                                << QStringList {"Old"};
        QTest::newRow("camera") << "CCDCamera" << 1 << "Error getting CCD Camera" << QStringList {"Old"};
        QTest::newRow("link") << "SetLinkEnabled" << 1 << "Error linking CCD Camera" << QStringList {"Old"};
        QTest::newRow("third name") << "FilterNames" << 3 << "Error linking CCD Camera"
                                    << QStringList {"Red", "Green"};
        QTest::newRow("first name") << "FilterNames" << 1 << "Error linking CCD Camera" << QStringList {};
    }
    void failedConnectionShowsItsStepAndReleasesBoth()
    {
        QFETCH(QString, operation);
        QFETCH(int, callNumber);
        QFETCH(QString, message);
        QFETCH(QStringList, filtersAfter);
        ScriptedCameraServer server;
        server.FilterNameList = {"Red", "Green", "Blue", "Filter 4"};
        server.FailAt(operation, callNumber, "server says no");
        FakeHost host;
        host.filters = {"Old"};
        CameraConnection connection(host, server.Factory());

        connection.ConnectMaxImButtonClick();

        QCOMPARE(boxes.size(), 1);
        QCOMPARE(boxes[0].text, message);
        QCOMPARE(boxes[0].caption, QStringLiteral("MaxIm Application"));
        QCOMPARE(boxes[0].flags, MsgBox::ErrorOk);
        QCOMPARE(host.filters, filtersAfter);
        QCOMPARE(host.connect, true);
        // Only "Connect MaxIm" is touched: disabled at the start, enabled again.
        QCOMPARE(host.changes.value("connect"), 2);
        QCOMPARE(host.changes.value("disconnect"), 0);
        QCOMPARE(host.changes.value("start"), 0);
        QCOMPARE(host.changes.value("stop"), 0);
        QCOMPARE(connection.Camera(), nullptr);
        QCOMPARE(server.LiveCameras, 0);
        QCOMPARE(server.LiveApplications, 0);
        // Whatever was obtained is released, camera first.
        const QStringList calls = server.Calls();
        if (operation != "CreateApplication")
            QVERIFY(calls.contains("ReleaseApplication()"));
        if (calls.contains("ReleaseCamera()"))
            QVERIFY(calls.indexOf("ReleaseCamera()") < calls.indexOf("ReleaseApplication()"));
        QCOMPARE(calls.contains("ReleaseCamera()"), operation == "SetLinkEnabled" || operation == "FilterNames");
    }

    void errorPastTheLastFilterFailsTheConnection()
    {
        ScriptedCameraServer server;
        server.FilterNameList = {"Red", "Green", "Blue"};
        server.ErrorPastLastFilter = true;
        FakeHost host;
        CameraConnection connection(host, server.Factory());

        connection.ConnectMaxImButtonClick();

        QCOMPARE(boxes.size(), 1);
        QCOMPARE(boxes[0].text, QStringLiteral("Error linking CCD Camera"));
        QCOMPARE(host.filters, (QStringList {"Red", "Green", "Blue"}));
        QVERIFY(host.connect);
        QVERIFY(!host.start);
        QCOMPARE(server.LiveCameras, 0);
    }

    void failingReleaseAfterAFailedConnectionStillDropsBoth()
    {
        ScriptedCameraServer server;
        server.FailAt("FilterNames", 1, "gone");
        server.FailAt("ReleaseCamera", 0, "cannot release");
        server.FailAt("ReleaseApplication", 0, "cannot release");
        FakeHost host;
        CameraConnection connection(host, server.Factory());

        connection.ConnectMaxImButtonClick();

        QCOMPARE(boxes.size(), 1);
        QCOMPARE(boxes[0].text, QStringLiteral("Error linking CCD Camera"));
        QCOMPARE(connection.Camera(), nullptr);
        QCOMPARE(connection.Application(), nullptr);
        QVERIFY(host.connect);

        // A second try connects normally.
        ScriptedCameraServer fresh;
        fresh.FilterNameList = {"Red", "Filter 2"};
        CameraConnection again(host, fresh.Factory());
        again.ConnectMaxImButtonClick();
        QCOMPARE(host.filters, QStringList {"Red"});
        QVERIFY(host.start);
    }

    void unknownDriverFailsLikeAMissingServer()
    {
        QTemporaryDir dir;
        QFile ini(dir.filePath("Tandexa.ini"));
        QVERIFY(ini.open(QIODevice::WriteOnly));
        ini.write("[Camera]\r\nDriver=NoSuchCamera\r\n");
        ini.close();
        const QString oldDir = ProgramDir();
        SetProgramDir(dir.path());
        FakeHost host;
        CameraConnection connection(host);

        connection.ConnectMaxImButtonClick();
        SetProgramDir(oldDir);

        QCOMPARE(boxes.size(), 1);
        QCOMPARE(boxes[0].text, QStringLiteral("Error in connection. MaxIm/DL must be set up before conntecting."));
        QVERIFY(host.connect);
        QVERIFY(!host.start);
    }

    void defaultSettingsConnectTheSimulatedCamera()
    {
        QTemporaryDir dir;
        const QString oldDir = ProgramDir();
        SetProgramDir(dir.path());
        FakeHost host;
        CameraConnection connection(host);

        connection.ConnectMaxImButtonClick();
        SetProgramDir(oldDir);

        QVERIFY(boxes.isEmpty());
        QCOMPARE(host.filters,
                 (QStringList {"Luminance", "Red", "Green", "Blue", "Ha", "OIII", "SII", "Clear"}));
        QVERIFY(connection.Camera() != nullptr);
        QCOMPARE(connection.Camera()->BinX(), 1);
    }

    void disconnectDuringARunIsRefused()
    {
        ScriptedCameraServer server;
        FakeHost host;
        CameraConnection connection(host, server.Factory());
        connection.ConnectMaxImButtonClick();
        host.changes.clear();
        host.running = true;

        connection.DisconnectMaxImButtonClick();

        QCOMPARE(boxes.size(), 1);
        QCOMPARE(boxes[0].text, QStringLiteral("Sequence in progress. Can't disconnect MaxIm."));
        QCOMPARE(boxes[0].caption, QStringLiteral("Error"));
        QCOMPARE(boxes[0].flags, MsgBox::ErrorOk);
        QVERIFY(host.changes.isEmpty());
        QVERIFY(connection.Camera() != nullptr);
        QCOMPARE(server.CallCount("ReleaseCamera"), 0);
    }

    void disconnectReleasesCameraThenApplication()
    {
        ScriptedCameraServer server;
        server.FilterNameList = {"Red", "Filter 2"};
        FakeHost host;
        CameraConnection connection(host, server.Factory());
        connection.ConnectMaxImButtonClick();
        server.ClearCalls();

        connection.DisconnectMaxImButtonClick();

        QVERIFY(boxes.isEmpty());
        QCOMPARE(server.Calls(), (QStringList {"ReleaseCamera()", "ReleaseApplication()"}));
        QCOMPARE(server.LinkEnabled, true); // the link is left as it is
        QCOMPARE(host.connect, true);
        QCOMPARE(host.disconnect, false);
        QCOMPARE(host.start, false);
        QCOMPARE(host.stop, false);
        QCOMPARE(connection.Camera(), nullptr);
        QCOMPARE(host.filters, QStringList {"Red"}); // the names stay for the editor

        // And it connects again.
        connection.ConnectMaxImButtonClick();
        QVERIFY(host.start);
        QCOMPARE(server.LiveCameras, 1);
    }

    void failedReleaseOnDisconnectKeepsTheButtons_data()
    {
        QTest::addColumn<QString>("failing");
        QTest::addColumn<bool>("startAfter");
        QTest::addColumn<bool>("cameraHeld");
        // Camera release fails: both objects stay held, a run can still use them.
        QTest::newRow("camera") << "ReleaseCamera" << true << true;
        // Application release fails: the camera is gone, so Start goes off.
        QTest::newRow("application") << "ReleaseApplication" << false << false;
    }
    void failedReleaseOnDisconnectKeepsTheButtons()
    {
        QFETCH(QString, failing);
        QFETCH(bool, startAfter);
        QFETCH(bool, cameraHeld);
        ScriptedCameraServer server;
        server.FailAt(failing, 1, "refused");
        FakeHost host;
        CameraConnection connection(host, server.Factory());
        connection.ConnectMaxImButtonClick();

        connection.DisconnectMaxImButtonClick();

        QCOMPARE(boxes.size(), 1);
        QCOMPARE(boxes[0].text, QStringLiteral("Error disconnecting MaxIm / Camera"));
        QCOMPARE(boxes[0].caption, QStringLiteral("MaxIm Application"));
        QCOMPARE(boxes[0].flags, MsgBox::ErrorOk);
        QCOMPARE(host.connect, false);
        QCOMPARE(host.disconnect, true);
        QCOMPARE(host.start, startAfter);
        QCOMPARE(connection.Camera() != nullptr, cameraHeld);
        QVERIFY(connection.Application() != nullptr);
        if (cameraHeld)
            QCOMPARE(server.CallCount("ReleaseApplication"), 0);

        // Trying again finishes the disconnection.
        connection.DisconnectMaxImButtonClick();
        QCOMPARE(boxes.size(), 1);
        QVERIFY(host.connect);
        QVERIFY(!host.disconnect);
        QCOMPARE(server.LiveCameras, 0);
        QCOMPARE(server.LiveApplications, 0);
    }

    void closingTheWindowReleasesWithoutThrowing()
    {
        ScriptedCameraServer server;
        server.FailAt("ReleaseCamera", 0, "refused");
        FakeHost host;
        {
            CameraConnection connection(host, server.Factory());
            connection.ConnectMaxImButtonClick();
        }
        QCOMPARE(server.LiveCameras, 0);
        QCOMPARE(server.LiveApplications, 0);
        const QStringList calls = server.Calls();
        QVERIFY(calls.indexOf("ReleaseCamera()") < calls.indexOf("ReleaseApplication()"));
    }
};

QTEST_GUILESS_MAIN(CameraConnectionTest)
#include "tst_cameraconnection.moc"
