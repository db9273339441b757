// The peer link through the window: a main PC with a raw TCP client, and a
// second PC against a raw TCP server, on loopback.
#include "AppFixture.h"
#include "link/LinkTestSupport.h"

#include "app/TMainForm.h"
#include "link/PeerLink.h"

#include <QAbstractButton>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTest>

namespace {
QAbstractButton* button(QWidget& w, const char* name) { return w.findChild<QAbstractButton*>(name); }
QLineEdit* edit(QWidget& w, const char* name) { return w.findChild<QLineEdit*>(name); }
}

class TestMainFormLink : public QObject {
    Q_OBJECT
private slots:
    void theHoldOptionIsStoredAndSwitchesTheExtensionOn()
    {
        AppFixture fx;
        fx.write("Tandexa.ini", "[Sync]\r\nHoldMargin=5\r\n");
        TMainForm form(true);
        form.show();
        QVERIFY(!form.Link().Hub().Enabled() && form.Link().Hub().MarginMs() == 5000);
        button(form, "CBHoldDither")->click();
        QVERIFY(form.Link().Hub().Enabled());
        QFile ini(fx.path("Tandexa.ini"));
        QVERIFY(ini.open(QIODevice::ReadOnly));
        QCOMPARE(ini.readAll(), QByteArray("[Sync]\r\nHoldMargin=5\r\nHoldDither=1\r\n"));
        // The status bar's count: no fixed name over the text it reads.
        auto* count = form.findChild<QLabel*>("SyncStatusPanel");
        QVERIFY(count->isVisible() && count->text() == "No second PC linked" && count->accessibleName().isEmpty());
        TMainForm second(false);
        QVERIFY(!button(second, "CBHoldDither")->isEnabled() && !second.Link().Hub().Enabled());
    }

    void mainPcShowsItsPeerAndSendsCommandsToIt()
    {
        AppFixture fx;
        const int port = FreePort();
        fx.write("Default.ccd", QString("[Setup]\r\nIpPort=%1\r\n").arg(port).toUtf8());
        TMainForm form(true);
        form.show();
        QCOMPARE(form.LinkStatusText(), QString("Listening for connect..."));
        QVERIFY(!form.SendToPeer("Expose 30"));
        QCOMPARE(form.LinkStatusText(), QString("List index out of bounds (0)"));

        QTcpSocket peer;
        peer.connectToHost(QHostAddress("127.0.0.1"), quint16(port));
        QVERIFY(peer.waitForConnected(2000));
        QTRY_COMPARE(form.LinkStatusText(), QString("Connect to: 127.0.0.1"));
        QVERIFY(form.SendToPeer("Expose 30"));
        QTRY_COMPARE(peer.bytesAvailable(), qint64(9));
        QCOMPARE(peer.readAll(), QByteArray("Expose 30"));

        peer.disconnectFromHost();
        QTRY_COMPARE(form.LinkStatusText(), QString("Listening for connect..."));
    }

    void editingThePortMovesTheListenerAndDropsThePeer()
    {
        AppFixture fx;
        const int first = FreePort();
        fx.write("Default.ccd", QString("[Setup]\r\nIpPort=%1\r\n").arg(first).toUtf8());
        TMainForm form(true);
        form.show();
        QTcpSocket peer;
        peer.connectToHost(QHostAddress::LocalHost, quint16(first));
        QVERIFY(peer.waitForConnected(2000));
        QTRY_VERIFY(form.LinkStatusText().startsWith("Connect to: "));

        const int second = FreePort();
        edit(form, "PortEdit")->setText(QString::number(second));
        QTRY_COMPARE(peer.state(), QAbstractSocket::UnconnectedState);
        QTcpSocket next;
        next.connectToHost(QHostAddress::LocalHost, quint16(second));
        QVERIFY(next.waitForConnected(2000));
        QTcpSocket old;
        old.connectToHost(QHostAddress::LocalHost, quint16(first));
        QVERIFY(!old.waitForConnected(1000));
    }

    void secondPcLinksReadsCommandsAndUnlinks()
    {
        AppFixture fx;
        QTcpServer mainPc;
        QVERIFY(mainPc.listen(QHostAddress::LocalHost, 0));
        fx.write("Default.ccd", QString("[Setup]\r\nIp2Address=127.0.0.1\r\nIpPort=%1\r\n").arg(mainPc.serverPort()).toUtf8());
        TMainForm form(false);
        form.show();
        QCOMPARE(form.LinkStatusText(), QString());

        QTest::mouseClick(button(form, "ConnectIpButton"), Qt::LeftButton);
        QVERIFY(!button(form, "ConnectIpButton")->isEnabled());
        QVERIFY(button(form, "DisconnectIpButton")->isEnabled());
        QVERIFY(!edit(form, "Ip2Edit")->isEnabled());
        QVERIFY(!edit(form, "PortEdit")->isEnabled());
        QTRY_COMPARE(form.LinkStatusText(), QString("Connected to 127.0.0.1"));
        QTRY_VERIFY(mainPc.hasPendingConnections());
        QTcpSocket* toSecond = mainPc.nextPendingConnection();

        toSecond->write("Expose 30");
        QTRY_VERIFY(form.State().ExposeReceived);
        QCOMPARE(form.State().ExposeSeconds, 30);
        toSecond->write("End");
        QTRY_VERIFY(!form.State().ExposeReceived);
        toSecond->write("Expose -5Abort");   // two commands in one read
        QTRY_VERIFY(form.State().StopRequested);
        QCOMPARE(form.State().ExposeSeconds, -5);
        QVERIFY(!form.State().ExposeReceived);

        QTest::mouseClick(button(form, "DisconnectIpButton"), Qt::LeftButton);
        QCOMPARE(form.LinkStatusText(), QString());
        QVERIFY(button(form, "ConnectIpButton")->isEnabled());
        QVERIFY(!button(form, "DisconnectIpButton")->isEnabled());
        QVERIFY(edit(form, "Ip2Edit")->isEnabled());
        QVERIFY(fx.boxes.isEmpty());
    }

    void anEmptyAddressIsReportedAndLeavesTheButtons()
    {
        AppFixture fx;
        TMainForm form(false);
        form.show();
        QTest::mouseClick(button(form, "ConnectIpButton"), Qt::LeftButton);
        QTRY_COMPARE(fx.boxes, QStringList({"No address specified.|Tandexa 1|16"}));
        QCOMPARE(form.LinkStatusText(), QString("Disconnected"));
        QVERIFY(button(form, "ConnectIpButton")->isEnabled());
        QVERIFY(!button(form, "DisconnectIpButton")->isEnabled());
    }

    void aRefusedConnectionIsReportedWithTheSocketErrorNumber()
    {
        AppFixture fx;
        fx.write("Default.ccd", QString("[Setup]\r\nIp2Address=127.0.0.1\r\nIpPort=%1\r\n").arg(FreePort()).toUtf8());
        TMainForm form(false);
        form.show();
        QTest::mouseClick(button(form, "ConnectIpButton"), Qt::LeftButton);
        QTRY_COMPARE(fx.boxes, QStringList({"Asynchronous socket error 10061.|Tandexa 1|16"}));
        QCOMPARE(form.LinkStatusText(), QString("Error connecting to 127.0.0.1"));
        QVERIFY(button(form, "ConnectIpButton")->isEnabled());
        QVERIFY(!button(form, "DisconnectIpButton")->isEnabled());
        QVERIFY(edit(form, "PortEdit")->isEnabled());
    }
};

QTEST_MAIN(TestMainFormLink)
#include "tst_mainform_link.moc"
