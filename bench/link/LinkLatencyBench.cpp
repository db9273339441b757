// link_latency_bench: the time from SendToPeer on the main PC to
// ExposeReceived on the second PC, two processes on loopback.
//
// Run without arguments. The bench is the main PC: it listens, starts a copy
// of itself as the second PC ("--receiver idle|wait <port>"), sends
// "Expose n" every 20 ms and, at the end, "Abort"; the receiver then prints
// one line per command: n, the time ExposeReceived was set (inside the read
// handler) and the time the waiting code noticed it. Both processes read the
// same monotonic clock.
//   idle: the receiver sits in its main event loop.
//   wait: the receiver sits in a WaitMs-like wait: a 100 ms one-shot
//         Qt::PreciseTimer and a processEvents(WaitForMoreEvents) loop, which
//         also ends when ExposeReceived is set.
#include "link/PeerLink.h"
#include "link/PeerLinkHost.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QProcess>
#include <QTcpServer>
#include <QTimer>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <map>
#include <vector>

namespace {

qint64 NowNs()
{
    return std::chrono::duration_cast<std::chrono::nanoseconds>(std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

class QuietHost : public PeerLinkHost {
public:
    void SetStatusText(const QString& text) override { status = text; }
    QString PeerAddress() const override { return QStringLiteral("127.0.0.1"); }
    int PeerPort() const override { return port; }
    void SetLinkControls(bool) override {}
    void ShowStandardError(const QString& message) override
    {
        std::fprintf(stderr, "error: %s\n", qPrintable(message));
    }
    QString status;
    int port = 0;
};

struct Sample {
    qint64 setNs = 0;
    qint64 noticedNs = 0;
};

int RunReceiver(const QString& mode, int port)
{
    QuietHost host;
    host.port = port;
    RunState state;
    PeerLink link(host, state);
    std::map<int, Sample> samples;
    bool recorded = false;
    // Connected after the link's own handler, so it runs right after it.
    QObject::connect(&link.Client(), &ClientSocket::ReadyRead, [&] {
        if (state.ExposeReceived && !recorded) {
            samples[state.ExposeSeconds].setNs = NowNs();
            recorded = true;
        }
    });
    link.ConnectIpButtonClick();

    const bool waitMode = mode == QLatin1String("wait");
    while (!state.StopRequested) {
        if (waitMode) {
            // WaitMs(100), ending early when a command arrives.
            bool fired = false;
            QTimer timer;
            timer.setSingleShot(true);
            timer.setTimerType(Qt::PreciseTimer);
            QObject::connect(&timer, &QTimer::timeout, [&] { fired = true; });
            timer.start(100);
            while (!fired && !state.StopRequested && !state.ExposeReceived)
                QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
        } else {
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
        }
        if (state.ExposeReceived) {
            samples[state.ExposeSeconds].noticedNs = NowNs();
            state.ExposeReceived = false;
            recorded = false;
        }
    }
    for (const auto& [n, sample] : samples)
        std::printf("%d %lld %lld\n", n, sample.setNs, sample.noticedNs);
    std::fflush(stdout);
    return 0;
}

double Percentile(std::vector<double> values, double p)
{
    if (values.empty())
        return 0;
    std::sort(values.begin(), values.end());
    const size_t index = std::min(values.size() - 1, size_t(p * double(values.size() - 1) + 0.5));
    return values[index];
}

int RunMode(const QString& program, const QString& mode, int count)
{
    QuietHost host;
    RunState state;
    PeerLink link(host, state);
    QTcpServer probe;
    probe.listen(QHostAddress::LocalHost, 0);
    const int port = probe.serverPort();
    probe.close();
    link.OpenListener(port);

    QProcess receiver;
    receiver.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    receiver.start(program, {QStringLiteral("--receiver"), mode, QString::number(port)});
    QElapsedTimer waited;
    waited.start();
    while (link.Server().ConnectionCount() == 0 && waited.elapsed() < 10000)
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 100);
    if (link.Server().ConnectionCount() == 0) {
        std::fprintf(stderr, "receiver did not connect\n");
        return 1;
    }
    waited.restart();
    while (waited.elapsed() < 200)
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);

    std::map<int, qint64> sent;
    int n = 0;
    QTimer every20;
    every20.setTimerType(Qt::PreciseTimer);
    every20.setInterval(20);
    QObject::connect(&every20, &QTimer::timeout, [&] {
        ++n;
        sent[n] = NowNs();
        link.SendToPeer(QStringLiteral("Expose %1").arg(n));
    });
    every20.start();
    while (n < count)
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    every20.stop();
    waited.restart();
    while (waited.elapsed() < 100)
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);
    link.SendToPeer(QStringLiteral("Abort"));
    receiver.closeWriteChannel();
    receiver.waitForFinished(10000);

    std::vector<double> setMs, noticedMs;
    int lost = count;
    for (const QByteArray& line : receiver.readAllStandardOutput().split('\n')) {
        const QList<QByteArray> fields = line.split(' ');
        if (fields.size() != 3)
            continue;
        const auto it = sent.find(fields[0].toInt());
        if (it == sent.end())
            continue;
        --lost;
        setMs.push_back(double(fields[1].toLongLong() - it->second) / 1e6);
        noticedMs.push_back(double(fields[2].toLongLong() - it->second) / 1e6);
    }
    std::printf("%-5s %4d commands, %d lost | set: median %.3f ms, p99 %.3f ms, max %.3f ms"
                " | noticed: median %.3f ms, p99 %.3f ms, max %.3f ms\n",
                qPrintable(mode), count, lost, Percentile(setMs, 0.5), Percentile(setMs, 0.99),
                Percentile(setMs, 1.0), Percentile(noticedMs, 0.5), Percentile(noticedMs, 0.99),
                Percentile(noticedMs, 1.0));
    std::fflush(stdout);
    return lost == 0 ? 0 : 1;
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() == 4 && args[1] == QLatin1String("--receiver"))
        return RunReceiver(args[2], args[3].toInt());
    const int count = args.size() >= 2 ? std::max(10, args[1].toInt()) : 500;
    int failures = 0;
    for (const QString mode : {QStringLiteral("idle"), QStringLiteral("wait")})
        failures += RunMode(app.applicationFilePath(), mode, count);
    return failures == 0 ? 0 : 1;
}
