// bench_blob_decode: a large image over INDI, decoded as it arrives.
//
// 1. A server thread sends a BLOB holding a 16-bit FITS image of the given
//    megapixels (61 by default: 9576 x 6388, about 155 MB of base64) on
//    loopback, as fast as the reader takes it, twice: once to a reader that
//    only reads and drops the bytes (the raw transfer time), once to
//    IndiClient expecting it (first byte to decoded image).
// 2. The same with the Debian CCD simulator (indiserver started here, the
//    chip set to that size): the INDI camera's image and, in another thread,
//    a plain reader's copy of the same BLOB from the same server.
// Reports both times and their ratio, the longest pass of the client's read
// handler, the longest time the event loop was held (gap between the ticks
// of a 1 ms timer) and the peak resident memory.
//
//   bench_blob_decode [megapixels]
#include "camera/ICamera.h"
#include "camera/indi/IndiApplication.h"
#include "camera/indi/IndiClient.h"
#include "IndiServer.h"   // the tests' indiserver launcher

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTcpServer>
#include <QTcpSocket>
#include <QThread>
#include <QTimer>
#include <atomic>
#include <cstdio>

namespace {
qint64 peakKb()
{
    QFile status("/proc/self/status");
    status.open(QIODevice::ReadOnly);
    for (const QByteArray& line : status.readAll().split('\n'))
        if (line.startsWith("VmHWM:"))
            return line.mid(6).trimmed().split(' ').first().toLongLong();
    return 0;
}

// Reads an INDI server's stream and drops it, timing each BLOB from its
// first byte to its last. Lives in a thread of its own.
class RawReader : public QObject {
public:
    std::atomic<qint64> LastMs {-1};
    void Start(quint16 port)
    {
        m_socket = new QTcpSocket(this);
        connect(m_socket, &QTcpSocket::readyRead, this, [this] {
            const QByteArray piece = m_tail + m_socket->readAll();
            if (m_start < 0 && piece.contains("<oneBLOB"))
                m_clock.start(), m_start = 0;
            if (m_start >= 0 && piece.contains("</oneBLOB>")) {
                LastMs = m_clock.nsecsElapsed() / 1000000;
                m_start = -1;
            }
            m_tail = piece.right(16);
        });
        m_socket->connectToHost(QHostAddress::LocalHost, port);
        m_socket->waitForConnected(5000);
        m_socket->write("<getProperties version='1.7'/><enableBLOB device='CCD Simulator'>Also</enableBLOB>\n");
    }

private:
    QTcpSocket* m_socket = nullptr;
    QByteArray m_tail;
    QElapsedTimer m_clock;
    qint64 m_start = -1;
};

// Serves one message to each client that connects: the definitions, then
// (after "go\n" from the client) the BLOB, written as the socket drains.
class Sender : public QObject {
public:
    Sender(QByteArray definitions, QByteArray blob) : m_definitions(std::move(definitions)), m_blob(std::move(blob)) {}
    // Called in the sender's thread, where its sockets live.
    quint16 Listen()
    {
        m_server = new QTcpServer(this);
        m_server->listen(QHostAddress::LocalHost, 0);
        connect(m_server, &QTcpServer::newConnection, this, [this] {
            QTcpSocket* s = m_server->nextPendingConnection();
            s->write(m_definitions);
            auto* sent = new qint64(0);
            connect(s, &QTcpSocket::readyRead, s, [this, s, sent] {
                if (!s->readAll().contains("go"))
                    return;
                const auto pump = [this, s, sent] {
                    while (*sent < m_blob.size() && s->bytesToWrite() < 4 * 1024 * 1024) {
                        const qint64 n = std::min<qint64>(1024 * 1024, m_blob.size() - *sent);
                        s->write(m_blob.constData() + *sent, n);
                        *sent += n;
                    }
                };
                connect(s, &QTcpSocket::bytesWritten, s, pump);
                pump();
            });
        });
        return m_server->serverPort();
    }

private:
    QTcpServer* m_server = nullptr;
    QByteArray m_definitions, m_blob;
};
}

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const double megapixels = argc > 1 ? atof(argv[1]) : 61.17;
    const int width = 9576, height = std::max(1, int(megapixels * 1e6 / width));
    QByteArray header;
    for (const QByteArray& card : {QByteArray("SIMPLE  =                    T"), QByteArray("BITPIX  =                   16"),
                                   QByteArray("NAXIS   =                    2"), "NAXIS1  = " + QByteArray::number(width).rightJustified(20),
                                   "NAXIS2  = " + QByteArray::number(height).rightJustified(20), QByteArray("END")})
        header += card.leftJustified(80);
    header = header.leftJustified(2880);
    const qint64 data = qint64(width) * height * 2;
    QByteArray image = header + QByteArray((data + 2879) / 2880 * 2880, '\0');
    for (qsizetype i = header.size(); i < image.size(); i += 97)
        image[i] = char(i);
    const QByteArray blob = "<setBLOBVector device=\"D\" name=\"CCD1\" state=\"Ok\"><oneBLOB name=\"CCD1\" size=\""
        + QByteArray::number(image.size()) + "\" format=\".fits\" len=\"" + QByteArray::number(image.size()) + "\">\n"
        + image.toBase64() + "\n</oneBLOB></setBLOBVector>\n";
    const QByteArray definitions = "<defBLOBVector device=\"D\" name=\"CCD1\" state=\"Idle\" perm=\"ro\"><defBLOB name=\"CCD1\"/></defBLOBVector>\n";
    printf("%d x %d (%.1f MP): image %.1f MB, BLOB %.1f MB of base64\n", width, height, width * double(height) / 1e6,
           image.size() / 1048576.0, blob.size() / 1048576.0);

    QThread thread;
    Sender sender(definitions, blob);
    sender.moveToThread(&thread);
    thread.start();
    quint16 port = 0;
    QMetaObject::invokeMethod(&sender, [&] { port = sender.Listen(); }, Qt::BlockingQueuedConnection);
    image = QByteArray();

    // The raw transfer: read and drop.
    double rawMs = 0;
    {
        QTcpSocket raw;
        raw.connectToHost(QHostAddress::LocalHost, port);
        raw.waitForConnected(5000);
        raw.waitForReadyRead(5000);
        raw.readAll();
        raw.write("go\n");
        QElapsedTimer t;
        qint64 got = 0;
        bool started = false;
        while (got < blob.size() && raw.waitForReadyRead(10000)) {
            const QByteArray piece = raw.readAll();
            if (!started) {
                t.start();
                started = true;
            }
            got += piece.size();
        }
        rawMs = t.nsecsElapsed() / 1e6;
    }

    IndiClient client("127.0.0.1", port);
    client.connectToServer(5000);
    client.waitUntil([&] { return client.cache().find("D", "CCD1") != nullptr; }, 5000);
    client.expectBlob("D", "CCD1", qint64(width) * height * 4 + 16 * 1024 * 1024);
    QElapsedTimer clock;
    clock.start();
    qint64 first = -1, done = -1, lastTick = 0, longestGap = 0;
    QObject::connect(&client, &IndiClient::blobArriving, [&] { first = clock.nsecsElapsed(); });
    QTimer ticker;
    ticker.setTimerType(Qt::PreciseTimer);
    QObject::connect(&ticker, &QTimer::timeout, [&] {
        const qint64 now = clock.nsecsElapsed();
        if (lastTick)
            longestGap = std::max(longestGap, now - lastTick);
        lastTick = now;
    });
    ticker.start(1);
    QTcpSocket* socket = client.findChild<QTcpSocket*>();
    socket->write("go\n");
    client.waitUntil([&] {
        if (client.blob("D", "CCD1").Serial > 0 && done < 0)
            done = clock.nsecsElapsed();
        return done >= 0;
    }, 120000);
    ticker.stop();
    const double decodeMs = (done - first) / 1e6;
    printf("raw transfer (read and drop)       %8.1f ms\n", rawMs);
    printf("first byte to decoded image        %8.1f ms  (%.2f x the raw transfer)\n", decodeMs, decodeMs / rawMs);
    printf("decoded bytes                      %8.1f MB%s\n", client.blob("D", "CCD1").Data.size() / 1048576.0,
           client.blob("D", "CCD1").Problem.isEmpty() ? "" : qPrintable("  problem: " + client.blob("D", "CCD1").Problem));
    printf("longest read-handler pass          %8lld ms\n", client.longestReadPassMs());
    printf("longest event-loop hold            %8.1f ms\n", longestGap / 1e6);
    printf("peak resident memory               %8.1f MB\n", peakKb() / 1024.0);
    thread.quit();
    thread.wait();

    // 2. The CCD simulator at the same size (its chip is at most 8192 wide),
    // through the INDI camera.
    const int simWidth = std::min(width, 8192), simHeight = std::min(8192, int(megapixels * 1e6 / simWidth));
    QTemporaryDir dir;
    IndiServer server;
    QString why;
    if (!server.Start({"indi_simulator_ccd", "indi_simulator_wheel"}, &why)) {
        printf("%s: the simulator part is left out\n", qPrintable(why));
        return 0;
    }
    const quint16 serverPort = quint16(server.Port());
    try {
        IndiSettings settings;
        settings.Host = "127.0.0.1";
        settings.Port = serverPort;
        settings.ImageTimeout = 120;
        IndiApplication application(settings);
        auto camera = application.CCDCamera();
        camera->SetLinkEnabled(true);
        IndiClient& indi = application.Client();
        indi.request(IndiKind::Number, "CCD Simulator", "SIMULATOR_SETTINGS",
                     {{"SIM_XRES", QString::number(simWidth)}, {"SIM_YRES", QString::number(simHeight)}},
                     [&](const IndiProperty& p) { return p.number("SIM_XRES").value_or(0) == simWidth; }, 20000, "setting the chip size");
        QThread::msleep(500);
        camera->SetFullFrame();
        QThread rawThread;
        RawReader raw;
        raw.moveToThread(&rawThread);
        rawThread.start();
        QMetaObject::invokeMethod(&raw, [&] { raw.Start(serverPort); }, Qt::BlockingQueuedConnection);
        for (int frame = 0; frame < 2; ++frame) {
            qint64 arrived = -1, complete = -1;
            const quint64 before = indi.blob("CCD Simulator", "CCD1").Serial;
            const auto a = QObject::connect(&indi, &IndiClient::blobArriving, [&] { arrived = clock.nsecsElapsed(); });
            const auto c = QObject::connect(&indi, &IndiClient::changed, [&] {
                if (complete < 0 && indi.blob("CCD Simulator", "CCD1").Serial != before)
                    complete = clock.nsecsElapsed();
            });
            raw.LastMs = -1;
            lastTick = 0;
            longestGap = 0;
            ticker.start(1);
            camera->Expose(1, -1);
            while (!camera->ImageReady() || raw.LastMs < 0)
                QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents);
            ticker.stop();
            QObject::disconnect(a);
            QObject::disconnect(c);
            const double ms = (complete - arrived) / 1e6;
            printf("simulator %d x %d, frame %d: first byte to decoded %.1f ms, plain reader %lld ms (%.2f x); "
                   "longest read pass %lld ms, event loop held %.1f ms\n",
                   simWidth, simHeight, frame + 1, ms, qint64(raw.LastMs), ms / std::max<qint64>(1, raw.LastMs), indi.longestReadPassMs(),
                   longestGap / 1e6);
        }
        rawThread.quit();
        rawThread.wait();
    } catch (const std::exception& e) {
        printf("simulator part failed: %s\n", e.what());
    }
    server.Stop();
    printf("peak resident memory               %8.1f MB\n", peakKb() / 1024.0);
    return 0;
}