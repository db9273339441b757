// The link under abuse: a peer that floods the main PC, a peer that opens and
// closes hundreds of connections, and a main PC that floods the second PC
// with garbage. The UI thread must stay responsive (a 10 ms timer keeps
// ticking) and memory must stay bounded. The abusive peers are plain blocking
// sockets on their own threads, so they do not depend on the event loop they
// are testing.
#include "FakeLinkHost.h"
#include "LinkTestSupport.h"
#include "link/PeerLink.h"

#include <QElapsedTimer>
#include <QFile>
#include <QSignalSpy>
#include <QTcpSocket>
#include <QTest>
#include <QTimer>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <thread>

namespace {

constexpr qint64 FloodBytes = 200ll << 20;

// Resident memory of this process in KiB.
qint64 ResidentKiB()
{
    QFile status("/proc/self/status");
    if (!status.open(QIODevice::ReadOnly))
        return 0;
    for (const QByteArray& line : status.readAll().split('\n')) {
        if (line.startsWith("VmRSS:"))
            return line.mid(6).trimmed().split(' ').first().toLongLong();
    }
    return 0;
}

int BlockingConnect(int port)
{
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(quint16(port));
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
        ::close(fd);
        return -1;
    }
    return fd;
}

bool WriteAll(int fd, const char* data, size_t size)
{
    while (size > 0) {
        const ssize_t written = ::send(fd, data, size, MSG_NOSIGNAL);
        if (written <= 0)
            return false;
        data += written;
        size -= size_t(written);
    }
    return true;
}

// Measures the longest gap between ticks of a 10 ms timer while 'done' is
// false, processing events as the main loop would.
qint64 LongestTickGapWhile(const std::function<bool()>& busy, int limitMs)
{
    QTimer tick;
    tick.setTimerType(Qt::PreciseTimer);
    tick.setInterval(10);
    QElapsedTimer sinceTick;
    qint64 longest = 0;
    QObject::connect(&tick, &QTimer::timeout, [&] {
        longest = std::max(longest, sinceTick.restart());
    });
    sinceTick.start();
    tick.start();
    QElapsedTimer total;
    total.start();
    while (busy() && total.elapsed() < limitMs)
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    return std::max(longest, sinceTick.elapsed());
}

} // namespace

class LinkStressTest : public QObject {
    Q_OBJECT
private slots:
    void floodingPeerLeavesTheMainPcResponsive();
    void connectionStormLeavesNothingBehind();
    void garbageFromTheMainPcIsBounded_data();
    void garbageFromTheMainPcIsBounded();
    void hostileExtendedPeerIsBounded_data();
    void hostileExtendedPeerIsBounded();
};

void LinkStressTest::floodingPeerLeavesTheMainPcResponsive()
{
    FakeLinkHost host;
    RunState state;
    PeerLink link(host, state);
    const int port = FreePort();
    link.OpenListener(port);

    const int fd = BlockingConnect(port);
    QVERIFY(fd >= 0);
    QTRY_COMPARE(link.Server().ConnectionCount(), 1);
    const qint64 before = ResidentKiB();

    std::atomic<qint64> sent{0};
    std::atomic<bool> finished{false};
    std::thread flood([&] {
        const QByteArray chunk(64 * 1024, 'z');
        while (sent < FloodBytes && WriteAll(fd, chunk.constData(), size_t(chunk.size())))
            sent += chunk.size();
        finished = true;
    });

    int commandsSent = 0;
    QTimer commands;
    commands.setInterval(20);
    connect(&commands, &QTimer::timeout, [&] { commandsSent += link.SendToPeer("Expose 1") ? 1 : 0; });
    commands.start();
    const qint64 longestGap = LongestTickGapWhile([&] { return !finished; }, 60000);
    commands.stop();
    flood.join();
    const qint64 after = ResidentKiB();
    ::close(fd);

    QCOMPARE(sent.load(), FloodBytes);
    QVERIFY2(longestGap < 500, qPrintable(QString("UI stalled %1 ms").arg(longestGap)));
    QVERIFY(commandsSent > 0);
    QVERIFY2(after - before < 32 * 1024, qPrintable(QString("grew %1 KiB").arg(after - before)));
    QTRY_COMPARE(host.status, QString("Listening for connect..."));
}

void LinkStressTest::connectionStormLeavesNothingBehind()
{
    FakeLinkHost host;
    RunState state;
    PeerLink link(host, state);
    const int port = FreePort();
    link.OpenListener(port);
    const qint64 before = ResidentKiB();
    QSignalSpy accepted(&link.Server(), &ServerSocket::Accepted);
    QSignalSpy gone(&link.Server(), &ServerSocket::ClientDisconnected);

    std::atomic<int> made{0};
    std::atomic<bool> finished{false};
    std::thread storm([&] {
        for (int i = 0; i < 500; ++i) {
            const int fd = BlockingConnect(port);
            if (fd < 0)
                continue;
            if (i % 2 == 0)
                WriteAll(fd, "hello", 5);
            ::close(fd);
            ++made;
        }
        finished = true;
    });
    const qint64 longestGap = LongestTickGapWhile([&] { return !finished; }, 60000);
    storm.join();
    QCOMPARE(made.load(), 500);
    QVERIFY2(longestGap < 500, qPrintable(QString("UI stalled %1 ms").arg(longestGap)));

    QTRY_COMPARE_WITH_TIMEOUT(accepted.count(), 500, 10000);
    QTRY_COMPARE_WITH_TIMEOUT(gone.count(), 500, 10000);
    QCOMPARE(link.Server().ConnectionCount(), 0);
    QCOMPARE(host.status, QString("Listening for connect..."));
    // Closed connections are freed, not kept as children of the listener.
    QTRY_COMPARE(link.Server().findChildren<QTcpSocket*>().size(), 0);
    QVERIFY2(ResidentKiB() - before < 16 * 1024, "memory grew");

    // The listener still serves a real peer.
    QTcpSocket peer;
    peer.connectToHost(QHostAddress::LocalHost, quint16(port));
    QTRY_COMPARE(link.Server().ConnectionCount(), 1);
    QVERIFY(link.SendToPeer("End"));
    QTRY_COMPARE(peer.bytesAvailable(), 3);
    QCOMPARE(peer.readAll(), QByteArray("End"));
}

void LinkStressTest::garbageFromTheMainPcIsBounded_data()
{
    // Each row: the unit repeated to fill the largest read, and how much of
    // it is sent.
    QTest::addColumn<QByteArray>("unit");
    QTest::addColumn<qint64>("bytes");
    QTest::newRow("keyword starts, no keyword") << QByteArray("ExposAborEnxExpoEn\r\nAbo") << FloodBytes;
    // Keyword-dense floods: every piece is a command.
    QTest::newRow("End") << QByteArray("End") << qint64(32ll << 20);
    QTest::newRow("Abort") << QByteArray("Abort") << qint64(32ll << 20);
    QTest::newRow("Expose 1") << QByteArray("Expose 1") << qint64(32ll << 20);
}

void LinkStressTest::garbageFromTheMainPcIsBounded()
{
    // A "main PC" that accepts, floods, then sends two real commands.
    QFETCH(QByteArray, unit);
    QFETCH(qint64, bytes);
    const int listenFd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    QVERIFY(::bind(listenFd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0);
    QVERIFY(::listen(listenFd, 1) == 0);
    socklen_t length = sizeof address;
    ::getsockname(listenFd, reinterpret_cast<sockaddr*>(&address), &length);

    std::atomic<bool> finished{false};
    std::thread mainPc([&] {
        const int fd = ::accept(listenFd, nullptr, nullptr);
        QByteArray chunk;
        for (int i = 0; chunk.size() < 64 * 1024; ++i)
            chunk.append(unit[i % unit.size()]);
        bool ok = fd >= 0;
        for (qint64 sent = 0; ok && sent < bytes; sent += chunk.size())
            ok = WriteAll(fd, chunk.constData(), size_t(chunk.size()));
        if (ok)
            WriteAll(fd, "Expose 9Abort", 13);
        // Like any main PC, it reads what the second PC sent (its greeting):
        // closing on unread bytes would reset the connection and lose the
        // last commands.
        char sink[256];
        while (fd >= 0 && ::recv(fd, sink, sizeof sink, MSG_DONTWAIT) > 0) {
        }
        finished = true;
        ::close(fd);
    });

    FakeLinkHost host;
    host.port = ntohs(address.sin_port);
    RunState state;
    PeerLink link(host, state);
    link.ConnectIpButtonClick();
    QTRY_COMPARE(host.status, QString("Connected to 127.0.0.1"));
    const qint64 before = ResidentKiB();

    qsizetype mostHeld = 0;
    QTimer sample;
    sample.setInterval(5);
    connect(&sample, &QTimer::timeout, [&] { mostHeld = std::max(mostHeld, link.Reader().HeldBytes()); });
    sample.start();
    const qint64 longestGap = LongestTickGapWhile([&] { return !finished; }, 60000);
    mainPc.join();
    ::close(listenFd);

    // The flood may set StopRequested itself: wait for the last commands.
    QTRY_COMPARE(state.ExposeSeconds, 9);
    QTRY_VERIFY(state.StopRequested && !state.ExposeReceived);
    QVERIFY(mostHeld <= CommandReader::MaxHeldBytes);
    QVERIFY2(longestGap < 500, qPrintable(QString("UI stalled %1 ms").arg(longestGap)));
    QVERIFY2(ResidentKiB() - before < 32 * 1024, "memory grew");
    QTRY_COMPARE(host.status, QString("Disconnected"));
}

void LinkStressTest::hostileExtendedPeerIsBounded_data()
{
    // A peer that greets, is answered, floods the main PC with 64 MiB of the
    // unit repeated, and then reports a frame properly.
    QTest::addColumn<QByteArray>("unit");
    QTest::newRow("one 64 MiB line") << QByteArray("z");
    QTest::newRow("state reports") << QByteArray("Frame started 1 1000\nRun started\nHeld\nFrame saved\n");
    QTest::newRow("garbage lines") << QByteArray("Frame\r\n\n\0xx Tandexa sync 1 \nHeld Held\n", 33);
}

void LinkStressTest::hostileExtendedPeerIsBounded()
{
    QFETCH(QByteArray, unit);
    FakeLinkHost host;
    RunState state;
    PeerLink link(host, state);
    link.Hub().SetEnabled(true);
    const int port = FreePort();
    link.OpenListener(port);
    const int fd = BlockingConnect(port);
    QVERIFY(fd >= 0 && WriteAll(fd, "Tandexa sync 1\n", 15));
    QTRY_VERIFY(!link.Hub().Peers().empty() && link.Hub().Peers().front()->Extended);
    const qint64 before = ResidentKiB();
    std::atomic<bool> finished{false};
    std::thread flood([&] {
        QByteArray chunk;
        while (chunk.size() < 64 * 1024)
            chunk += unit;
        bool ok = true;
        for (qint64 sent = 0; ok && sent < (64ll << 20); sent += chunk.size())
            ok = WriteAll(fd, chunk.constData(), size_t(chunk.size()));
        finished = ok && WriteAll(fd, "\nFrame started 3 3000\n", 22);
    });
    qsizetype mostHeld = 0;
    QTimer sample;
    sample.setInterval(5);
    connect(&sample, &QTimer::timeout, [&] {
        mostHeld = std::max(mostHeld, link.Hub().Peers().front()->Reader.HeldBytes());
        link.SendToPeer("Expose 1");   // to a peer that does not read: the send buffer stays bounded too
    });
    sample.start();
    const qint64 longestGap = LongestTickGapWhile([&] { return !finished; }, 60000);
    flood.join();
    QTRY_VERIFY(finished && link.Hub().Peers().front()->FrameOpen && link.Hub().Peers().front()->Extended);
    QVERIFY(mostHeld <= LineReader::MaxLineBytes);
    QVERIFY2(longestGap < 500, qPrintable(QString("UI stalled %1 ms").arg(longestGap)));
    QVERIFY2(ResidentKiB() - before < 32 * 1024, "memory grew");
    ::close(fd);
}

QTEST_GUILESS_MAIN(LinkStressTest)
#include "tst_linkstress.moc"
