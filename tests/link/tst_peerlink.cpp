// The peer link on real loopback sockets: PeerLink as the main PC against raw
// QTcpSocket clients, as the second PC against a raw QTcpServer, and the two
// linked to each other. The window is a fake host.
#include "FakeLinkHost.h"
#include "LinkTestSupport.h"
#include "link/PeerLink.h"

#include <QSignalSpy>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTest>

#include <memory>
#include <vector>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

std::unique_ptr<QTcpSocket> ConnectedClient(int port)
{
    auto client = std::make_unique<QTcpSocket>();
    client->connectToHost(QHostAddress::LocalHost, quint16(port));
    return client;
}

// Everything the raw client has received, after waiting for 'expected' bytes.
QByteArray ReceiveAtLeast(QTcpSocket& socket, qsizetype expected)
{
    QByteArray received;
    if (!QTest::qWaitFor([&] { return (received += socket.readAll()).size() >= expected; }, 5000))
        qWarning("only %lld of %lld bytes arrived", qlonglong(received.size()), qlonglong(expected));
    return received;
}

void Settle(int ms = 50)
{
    QTest::qWait(ms);
}

} // namespace

class PeerLinkTest : public QObject {
    Q_OBJECT
private slots:
    void mainPcServesASecondPc();
    void listenerFailuresAreSilent();
    void onlyTheFirstConnectionGetsCommands();
    void restartListenerMovesThePortAndDropsConnections();
    void sendFailsWhenThePeerDoesNotKeepUp();
    void secondPcTurnsCommandsIntoFlags();
    void disconnectButtonEndsTheLink();
    void emptyAddressIsRefusedAtOnce();
    void failedAttemptsShowTheAsynchronousError();
    void unansweredAttemptTimesOut();
    void twoLinkedProgramsKeepInStep();
};

void PeerLinkTest::mainPcServesASecondPc()
{
    FakeLinkHost host;
    RunState state;
    PeerLink link(host, state);
    const int port = FreePort();
    link.OpenListener(port);
    QCOMPARE(host.status, QString("Listening for connect..."));
    QVERIFY(link.Server().Active());

    auto client = ConnectedClient(port);
    QTRY_COMPARE(host.status, QString("Connect to: 127.0.0.1"));

    QVERIFY(link.SendToPeer("Expose 30"));
    QCOMPARE(ReceiveAtLeast(*client, 9), QByteArray("Expose 30"));
    QVERIFY(link.SendToPeer("End"));
    QCOMPARE(ReceiveAtLeast(*client, 3), QByteArray("End")); // bare, no terminator

    // What the peer sends is read and dropped.
    client->write(QByteArray(10000, 'x'));
    QTRY_VERIFY(client->bytesToWrite() == 0);
    QTRY_COMPARE(link.Server().Connection(0)->bytesAvailable(), 0);

    client->disconnectFromHost();
    QTRY_COMPARE(host.status, QString("Listening for connect..."));
    QCOMPARE(link.Server().ConnectionCount(), 0);
    QVERIFY(!link.SendToPeer("Abort"));
    QCOMPARE(host.status, QString("List index out of bounds (0)"));

    link.CloseAll();
    QVERIFY(!link.SendToPeer("Abort"));
    QCOMPARE(host.status, QString("Socket not connected"));
    QVERIFY(host.errors.isEmpty());
}

void PeerLinkTest::listenerFailuresAreSilent()
{
    QTcpServer squatter;
    QVERIFY(squatter.listen(QHostAddress::AnyIPv4, 0));
    const int taken = squatter.serverPort();

    FakeLinkHost host;
    RunState state;
    PeerLink link(host, state);
    link.OpenListener(taken);
    QCOMPARE(host.status, QString("Listening for connect..."));
    QVERIFY(!link.Server().Active());
    QVERIFY(!link.SendToPeer("Expose 1"));
    QCOMPARE(host.status, QString("Socket not connected"));

    for (int bad : {0, -1, 70000}) {
        link.OpenListener(bad);
        QVERIFY(!link.Server().Active());
    }

    // A restart to a taken port leaves no listener and no new status text.
    const int port = FreePort();
    link.RestartListener(port);
    QVERIFY(link.Server().Active());
    host.status = "before";
    link.RestartListener(taken);
    QVERIFY(!link.Server().Active());
    QCOMPARE(host.status, QString("before"));
    QVERIFY(host.errors.isEmpty());
}

void PeerLinkTest::onlyTheFirstConnectionGetsCommands()
{
    FakeLinkHost host;
    RunState state;
    PeerLink link(host, state);
    const int port = FreePort();
    link.OpenListener(port);

    auto first = ConnectedClient(port);
    QTRY_COMPARE(link.Server().ConnectionCount(), 1);
    auto second = ConnectedClient(port);
    QTRY_COMPARE(link.Server().ConnectionCount(), 2);

    QVERIFY(link.SendToPeer("Expose 1"));
    QCOMPARE(ReceiveAtLeast(*first, 8), QByteArray("Expose 1"));
    Settle();
    QCOMPARE(second->bytesAvailable(), 0);

    first->disconnectFromHost();
    QTRY_COMPARE(link.Server().ConnectionCount(), 1);
    // The status says so even though another peer remains.
    QCOMPARE(host.status, QString("Listening for connect..."));
    QVERIFY(link.SendToPeer("Expose 2"));
    QCOMPARE(ReceiveAtLeast(*second, 8), QByteArray("Expose 2"));
}

void PeerLinkTest::restartListenerMovesThePortAndDropsConnections()
{
    FakeLinkHost host;
    RunState state;
    PeerLink link(host, state);
    const int oldPort = FreePort();
    link.OpenListener(oldPort);
    auto client = ConnectedClient(oldPort);
    QTRY_COMPARE(host.status, QString("Connect to: 127.0.0.1"));

    const int newPort = FreePort();
    link.RestartListener(newPort);
    QCOMPARE(link.Server().Port(), newPort);
    QTRY_COMPARE(client->state(), QAbstractSocket::UnconnectedState);
    Settle();
    QCOMPARE(host.status, QString("Connect to: 127.0.0.1")); // no status change
    QVERIFY(!link.SendToPeer("End"));
    QCOMPARE(host.status, QString("List index out of bounds (0)"));

    auto late = ConnectedClient(oldPort);
    QSignalSpy refused(late.get(), &QTcpSocket::errorOccurred);
    QTRY_COMPARE(refused.count(), 1);

    auto moved = ConnectedClient(newPort);
    QTRY_COMPARE(link.Server().ConnectionCount(), 1);
    QVERIFY(link.SendToPeer("End"));
    QCOMPARE(ReceiveAtLeast(*moved, 3), QByteArray("End"));
}

void PeerLinkTest::sendFailsWhenThePeerDoesNotKeepUp()
{
    FakeLinkHost host;
    RunState state;
    PeerLink link(host, state);
    const int port = FreePort();
    link.OpenListener(port);
    auto client = ConnectedClient(port);
    QTRY_COMPARE(link.Server().ConnectionCount(), 1);

    // A peer that never reads: once the system's buffers are full, the
    // unsent bytes pile up in the connection until a command is refused
    // instead of growing them further.
    const QString big(1 << 20, 'x');
    int accepted = 0;
    while (accepted < 256 && link.SendToPeer(big))
        ++accepted;
    QVERIFY2(accepted < 256, "the unsent bytes were never capped");
    QCOMPARE(host.status,
             QString("Windows socket error: A non-blocking socket operation could not be completed immediately "
                     "(10035), on API 'send'"));
    QVERIFY(link.Server().Connection(0)->bytesToWrite() <= PeerLink::MaxUnsentBytes + big.size());
    QVERIFY(!link.SendToPeer("Expose 5"));

    // Once the peer reads again, commands flow.
    QTRY_VERIFY_WITH_TIMEOUT((client->readAll(), link.Server().Connection(0)->bytesToWrite() == 0), 20000);
    QVERIFY(link.SendToPeer("Expose 5"));
}

void PeerLinkTest::secondPcTurnsCommandsIntoFlags()
{
    QTcpServer mainPc;
    QVERIFY(mainPc.listen(QHostAddress::LocalHost, 0));
    FakeLinkHost host;
    host.port = mainPc.serverPort();
    RunState state;
    PeerLink link(host, state);

    link.ConnectIpButtonClick();
    QVERIFY(host.linked);
    QTRY_COMPARE(host.status, QString("Connected to 127.0.0.1"));
    QVERIFY(host.events.indexOf("status:Connecting to 127.0.0.1") >= 0);
    QVERIFY(host.events.indexOf("status:Connecting to 127.0.0.1") < host.events.indexOf("status:Connected to 127.0.0.1"));
    QTRY_VERIFY(mainPc.hasPendingConnections());
    QTcpSocket* wire = mainPc.nextPendingConnection();

    wire->write("Expose 30");
    QTRY_VERIFY(state.ExposeReceived);
    QCOMPARE(state.ExposeSeconds, 30);

    // Coalesced: both commands are seen.
    wire->write("Expose 17End");
    QTRY_COMPARE(state.ExposeSeconds, 17);
    QVERIFY(!state.ExposeReceived);

    // Split: the first part alone does nothing, the rest completes it.
    wire->write("Exp");
    wire->flush();
    Settle();
    QVERIFY(!state.ExposeReceived);
    wire->write("ose 12");
    QTRY_VERIFY(state.ExposeReceived);
    QCOMPARE(state.ExposeSeconds, 12);

    // Other letter cases and text before a command are ignored.
    wire->write("expose 5ABORTEnd\r\nExpose 6");
    QTRY_COMPARE(state.ExposeSeconds, 6);
    QVERIFY(!state.StopRequested);

    wire->write("Abort");
    QTRY_VERIFY(state.StopRequested);
    QVERIFY(!state.ExposeReceived);

    // The main PC going away leaves the controls linked.
    wire->close();
    QTRY_COMPARE(host.status, QString("Disconnected"));
    QVERIFY(host.linked);
    link.DisconnectIpButtonClick();
    QCOMPARE(host.status, QString());
    QVERIFY(!host.linked);
    QVERIFY(host.errors.isEmpty());
    // Flags are not cleared by the link going down.
    QVERIFY(state.StopRequested);
    QCOMPARE(state.ExposeSeconds, 6);
}

void PeerLinkTest::disconnectButtonEndsTheLink()
{
    QTcpServer mainPc;
    QVERIFY(mainPc.listen(QHostAddress::LocalHost, 0));
    FakeLinkHost host;
    host.port = mainPc.serverPort();
    RunState state;
    PeerLink link(host, state);
    link.ConnectIpButtonClick();
    QTRY_COMPARE(host.status, QString("Connected to 127.0.0.1"));
    QTRY_VERIFY(mainPc.hasPendingConnections());
    QTcpSocket* wire = mainPc.nextPendingConnection();

    host.events.clear();
    link.DisconnectIpButtonClick();
    QCOMPARE(host.events, QStringList({"status:Disconnected", "controls:idle", "status:"}));
    QTRY_COMPARE(wire->state(), QAbstractSocket::UnconnectedState);

    // A pending attempt is cancelled: no late "Connected to" while idle.
    host.events.clear();
    link.ConnectIpButtonClick();
    link.DisconnectIpButtonClick();
    Settle(200);
    QVERIFY(!host.events.contains("status:Connected to 127.0.0.1"));
    QCOMPARE(host.status, QString());
    QVERIFY(!host.linked);

    // And the link can be made again.
    link.ConnectIpButtonClick();
    QTRY_COMPARE(host.status, QString("Connected to 127.0.0.1"));
    QVERIFY(host.errors.isEmpty());
}

void PeerLinkTest::emptyAddressIsRefusedAtOnce()
{
    FakeLinkHost host;
    host.address.clear();
    host.port = FreePort();
    RunState state;
    PeerLink link(host, state);
    link.ConnectIpButtonClick();
    QCOMPARE(host.status, QString("Disconnected"));
    QCOMPARE(host.errors, QStringList({"No address specified"}));
    QVERIFY(!host.events.join(' ').contains("controls:"));
    QVERIFY(!link.Client().Active());
}

void PeerLinkTest::failedAttemptsShowTheAsynchronousError()
{
    struct Case {
        int port;
        QString error;
    };
    const QList<Case> cases{{FreePort(), "Asynchronous socket error 10061"}, {0, "Asynchronous socket error 10049"}};
    for (const Case& c : cases) {
        FakeLinkHost host;
        host.port = c.port;
        RunState state;
        PeerLink link(host, state);
        link.ConnectIpButtonClick();
        QVERIFY(host.linked);
        QTRY_COMPARE_WITH_TIMEOUT(host.errors, QStringList({c.error}), 10000);
        QCOMPARE(host.status, QString("Error connecting to 127.0.0.1"));
        QVERIFY(!host.linked);
        // The controls go idle and the status is set before the box shows.
        const qsizetype statusAt = host.events.indexOf("status:Error connecting to 127.0.0.1");
        QVERIFY(host.events.indexOf("controls:idle") < statusAt);
        QVERIFY(statusAt < host.events.indexOf("error:" + c.error));
        QVERIFY(!link.Client().Active());
    }
}

void PeerLinkTest::unansweredAttemptTimesOut()
{
    // A listener whose accept queue is full drops further connection
    // requests unanswered, like a main PC that is switched off.
    const int listenFd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    QVERIFY(::bind(listenFd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0);
    QVERIFY(::listen(listenFd, 0) == 0);
    socklen_t length = sizeof address;
    ::getsockname(listenFd, reinterpret_cast<sockaddr*>(&address), &length);
    std::vector<std::unique_ptr<QTcpSocket>> fillers;
    for (int i = 0; i < 4; ++i)
        fillers.push_back(ConnectedClient(ntohs(address.sin_port)));
    Settle(200);

    FakeLinkHost host;
    host.port = ntohs(address.sin_port);
    RunState state;
    PeerLink link(host, state);
    link.Client().SetConnectTimeout(300);
    link.ConnectIpButtonClick();
    QTRY_COMPARE_WITH_TIMEOUT(host.errors, QStringList({"Asynchronous socket error 10060"}), 5000);
    QCOMPARE(host.status, QString("Error connecting to 127.0.0.1"));
    QVERIFY(host.events.contains("status:Connecting to 127.0.0.1"));
    QVERIFY(!host.linked);
    ::close(listenFd);
}

void PeerLinkTest::twoLinkedProgramsKeepInStep()
{
    FakeLinkHost mainHost;
    RunState mainState;
    PeerLink mainLink(mainHost, mainState);
    const int port = FreePort();
    mainLink.OpenListener(port);

    FakeLinkHost secondHost;
    secondHost.port = port;
    RunState secondState;
    PeerLink secondLink(secondHost, secondState);
    secondLink.ConnectIpButtonClick();
    QTRY_COMPARE(secondHost.status, QString("Connected to 127.0.0.1"));
    QTRY_COMPARE(mainHost.status, QString("Connect to: 127.0.0.1"));

    // Commands sent back to back arrive, whatever the reads look like.
    QVERIFY(mainLink.SendToPeer("Expose 30"));
    QVERIFY(mainLink.SendToPeer("End"));
    QVERIFY(mainLink.SendToPeer("Expose 45"));
    QTRY_COMPARE(secondState.ExposeSeconds, 45);
    QVERIFY(secondState.ExposeReceived);
    QVERIFY(mainLink.SendToPeer("Abort"));
    QTRY_VERIFY(secondState.StopRequested);
    QVERIFY(!mainState.StopRequested);

    // The main window closing: the second PC sees the link go.
    mainLink.CloseAll();
    QTRY_COMPARE(secondHost.status, QString("Disconnected"));
    QVERIFY(secondHost.errors.isEmpty());
}

QTEST_GUILESS_MAIN(PeerLinkTest)
#include "tst_peerlink.moc"
