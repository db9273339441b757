// Connecting and disconnecting the camera through the window's buttons, in
// both roles, with the simulated camera and with a scripted one.
#include "AppFixture.h"

#include "ScriptedCameraServer.h"
#include "app/TMainForm.h"
#include "app/CameraConnection.h"

#include "Phd2StandIn.h"

#include <QAbstractButton>
#include <QLabel>
#include <QStatusBar>
#include <QTest>

namespace {
QAbstractButton* button(QWidget& w, const char* name)
{
    return w.findChild<QAbstractButton*>(QString::fromLatin1(name));
}
}

class TestMainFormCamera : public QObject {
    Q_OBJECT
private slots:
    void connectAndDisconnectTheSimulatedCamera_data()
    {
        QTest::addColumn<bool>("isMainPC");
        QTest::newRow("main PC") << true;
        QTest::newRow("second PC") << false;
    }
    void connectAndDisconnectTheSimulatedCamera()
    {
        QFETCH(bool, isMainPC);
        AppFixture fx;
        {
            TMainForm form(isMainPC);
            form.show();
            QTest::mouseClick(button(form, "ConnectMaxImButton"), Qt::LeftButton);
            QCOMPARE(form.FilterList(), QStringList({"Luminance", "Red", "Green", "Blue", "Ha", "OIII", "SII", "Clear"}));
            QVERIFY(form.Camera().IsConnected());
            QVERIFY(!button(form, "ConnectMaxImButton")->isEnabled());
            QVERIFY(button(form, "DisconnectMaxImButton")->isEnabled());
            QVERIFY(button(form, "StartButton")->isEnabled());
            QVERIFY(!button(form, "StopButton")->isEnabled());

            QTest::mouseClick(button(form, "DisconnectMaxImButton"), Qt::LeftButton);
            QVERIFY(!form.Camera().IsConnected());
            QVERIFY(button(form, "ConnectMaxImButton")->isEnabled());
            QVERIFY(!button(form, "DisconnectMaxImButton")->isEnabled());
            QVERIFY(!button(form, "StartButton")->isEnabled());
            QVERIFY(fx.boxes.isEmpty());
            form.close();
        }
        // The names read from the camera are kept for the next start.
        QCOMPARE(fx.read("FilterSet.txt"), QByteArray("Luminance\r\nRed\r\nGreen\r\nBlue\r\nHa\r\nOIII\r\nSII\r\nClear\r\n"));
    }

    void aCameraThatFailsToLinkIsReportedAndCanBeRetried()
    {
        AppFixture fx;
        ScriptedCameraServer server;
        server.FilterNameList = {"Red", "Green", "Blue"};
        server.ErrorPastLastFilter = true;
        TMainForm form(true, server.Factory());
        form.show();
        QTest::mouseClick(button(form, "ConnectMaxImButton"), Qt::LeftButton);
        QCOMPARE(fx.boxes, QStringList({"Error linking CCD Camera|MaxIm Application|16"}));
        QCOMPARE(form.FilterList(), QStringList({"Red", "Green", "Blue"}));
        QVERIFY(button(form, "ConnectMaxImButton")->isEnabled());
        QVERIFY(!button(form, "StartButton")->isEnabled());
        QCOMPARE(server.LiveApplications, 0);

        server.ErrorPastLastFilter = false;
        QTest::mouseClick(button(form, "ConnectMaxImButton"), Qt::LeftButton);
        QCOMPARE(fx.boxes.size(), 1);
        QVERIFY(button(form, "StartButton")->isEnabled());
    }

    void disconnectIsRefusedWhileARunIsInProgress()
    {
        AppFixture fx;
        ScriptedCameraServer server;
        server.FilterNameList = {"Red"};
        TMainForm form(false, server.Factory());
        form.show();
        form.ConnectMaxImButtonClick();
        form.State().Running = true;
        QTest::mouseClick(button(form, "DisconnectMaxImButton"), Qt::LeftButton);
        QCOMPARE(fx.boxes, QStringList({"Sequence in progress. Can't disconnect MaxIm.|Error|16"}));
        QVERIFY(form.Camera().IsConnected());
        QVERIFY(button(form, "DisconnectMaxImButton")->isEnabled());
        form.State().Running = false;
    }

    // With [Guider] Driver=PHD2 the status bar's right end tells what PHD2
    // is doing; the window keeps its size and the link status its place.
    void theGuiderStateShowsInTheStatusBar()
    {
        AppFixture fx;
        Phd2StandIn phd2;
        QVERIFY(phd2.Listen());
        const quint16 port = phd2.Port();
        fx.write("Tandexa.ini", QStringLiteral("[Guider]\r\nDriver=PHD2\r\nPhd2Host=127.0.0.1\r\nPhd2Instance=%1\r\n")
                                     .arg(port - 4399)
                                     .toLatin1());
        TMainForm form(true);
        form.show();
        auto* panel = form.findChild<QLabel*>("GuiderStatusPanel");
        QVERIFY(panel && panel->parentWidget() == form.findChild<QStatusBar*>("SBar"));
        QVERIFY(!panel->isVisible());
        const QSize size = form.size();
        QTest::mouseClick(button(form, "ConnectMaxImButton"), Qt::LeftButton);
        QTRY_COMPARE(panel->text(), QStringLiteral("PHD2: Guiding"));
        QVERIFY(panel->isVisible());
        phd2.LoseStar();
        phd2.Frame();
        QTRY_COMPARE(panel->text(), QStringLiteral("PHD2: LostLock"));
        phd2.Close();
        QTRY_COMPARE(panel->text(), QStringLiteral("PHD2 at 127.0.0.1:%1: the connection was closed by PHD2").arg(port));
        QCOMPARE(form.size(), size);
        QTest::mouseClick(button(form, "DisconnectMaxImButton"), Qt::LeftButton);
        QVERIFY(!panel->isVisible());
        QVERIFY(fx.boxes.isEmpty());
        form.close();
    }
};

QTEST_MAIN(TestMainFormCamera)
#include "tst_mainform_camera.moc"
