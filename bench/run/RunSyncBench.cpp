// run_sync_bench [items]: the main PC's run and the second PC's run in two
// processes on loopback, each with a simulated camera (64 x 64 pixels, 1 s
// exposures), the real RunControl waits and the real peer link.
//
// The main PC runs `items` items of one frame, a 1 s delay and dithering
// (0.5 pixel) after each; the second PC (a copy of this program, started with
// "--second <port> <items>") runs one item of `items` frames without
// AllowList, so every frame waits for an "Expose". Both read the same
// monotonic clock and report:
//   (a) "Expose n" handed to the socket on the main PC -> Expose called on
//       the second PC's camera;
//   (b) the main camera's Expose -> the second camera's Expose;
//   the CPU each process used inside its waits, as a share of one core, per
//   kind of wait (100 ms polls, 500 ms settle, the delay, the remote start).
#include "camera/CameraHandle.h"
#include "camera/IMaxImApplication.h"
#include "camera/simulator/SimulatedApplication.h"
#include "camera/SteadyCameraClock.h"
#include "link/PeerLink.h"
#include "link/PeerLinkHost.h"
#include "platform/RunState.h"
#include "run/MainSequenceRun.h"
#include "run/RandomSource.h"
#include "run/RunControl.h"
#include "run/SecondSequenceRun.h"
#include "sequence/TSequence.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QProcess>
#include <QTcpServer>
#include <QTemporaryDir>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <map>
#include <sys/resource.h>
#include <vector>

namespace {

qint64 NowNs()
{
    return std::chrono::duration_cast<std::chrono::nanoseconds>(std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

double CpuSeconds()
{
    rusage usage {};
    getrusage(RUSAGE_SELF, &usage);
    return double(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec)
           + double(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

// The camera, with the time of every Expose call.
class TimedCamera : public CameraHandle {
public:
    using CameraHandle::CameraHandle;
    void Expose(int seconds, int filter) override
    {
        ExposeNs.push_back(NowNs());
        CameraHandle::Expose(seconds, filter);
    }
    std::vector<qint64> ExposeNs;
};

// RunControl, with the wall and CPU time spent in each kind of wait.
class MeasuredWaiter : public RunWaiter {
public:
    explicit MeasuredWaiter(RunControl& control) : m_control(control) {}
    void WaitMs(int ms) override
    {
        measure(ms == 100 ? "100 ms polls" : ms == 500 ? "500 ms settle" : "delay", [&] { m_control.WaitMs(ms); });
    }
    void PumpMessages() override { m_control.PumpMessages(); }
    void WaitForEvents() override { measure("remote start", [&] { m_control.WaitForEvents(); }); }

    void Report(const char* who) const
    {
        for (const auto& [kind, t] : m_times)
            std::fprintf(stderr, "%s %-14s %8.1f s waited, CPU %.2f %% of a core\n", who, kind, t.wall,
                         t.wall > 0 ? 100.0 * t.cpu / t.wall : 0.0);
    }

private:
    struct Times {
        double wall = 0, cpu = 0;
    };
    template <typename F> void measure(const char* kind, F&& wait)
    {
        const qint64 start = NowNs();
        const double cpu = CpuSeconds();
        wait();
        m_times[kind].wall += double(NowNs() - start) / 1e9;
        m_times[kind].cpu += CpuSeconds() - cpu;
    }
    RunControl& m_control;
    std::map<const char*, Times> m_times;
};

// The window of one PC, as the run and the link see it.
class BenchPc : public RunHost, public PeerLinkHost {
public:
    explicit BenchPc(int port) : m_port(port)
    {
        SimulatorSettings settings;
        settings.SensorWidth = settings.SensorHeight = 64;
        settings.StarCount = 5;
        settings.GuiderSettle = 1.0;
        m_application = std::make_unique<SimulatedApplication>(settings, std::make_shared<SteadyCameraClock>());
        Camera = std::make_unique<TimedCamera>(std::shared_ptr<ICamera>(m_application->CCDCamera()));
        Camera->SetLinkEnabled(true);
        Sequence.DestDir = m_images.path();
        Sequence.ImgFileName = "Bench";
        Sequence.Iterations = Sequence.StartIteration = 1;
        Sequence.DelayFrame = 1;
        Sequence.PixelDither = Decimal4::FromCount(5000);
        Sequence.WhileGuideError = Decimal4::FromCount(5000);
    }

    TSequence Sequence;
    RunState Flags;
    PeerLink Link {*this, Flags};
    RunControl Control {Flags, *this};
    MeasuredWaiter Waiter {Control};
    std::unique_ptr<TimedCamera> Camera;
    std::vector<qint64> SentNs;

    void SetStartEnabled(bool) override {}
    void SetStopEnabled(bool) override {}
    void SetRunStatusText(const QString&) override {}
    void SelectGridRow(int) override {}
    void SetStartIterationPosition(int) override {}
    int RunMessageBox(const QString& text, const QString&, int) override
    {
        std::fprintf(stderr, "box: %s\n", qPrintable(text));
        return 7;
    }
    bool SendToPeer(const QString& command) override
    {
        if (command.startsWith(QLatin1String("Expose")))
            SentNs.push_back(NowNs());
        return Link.SendToPeer(command);
    }
    ICamera* RunCamera() override { return Camera.get(); }
    TSequence& RunSequence() override { return Sequence; }
    const QStringList& RunFilterList() override { return m_filters; }
    RunState& RunFlags() override { return Flags; }

    void SetStatusText(const QString&) override {}
    QString PeerAddress() const override { return QStringLiteral("127.0.0.1"); }
    int PeerPort() const override { return m_port; }
    void SetLinkControls(bool) override {}
    void ShowStandardError(const QString& message) override { std::fprintf(stderr, "error: %s\n", qPrintable(message)); }

private:
    int m_port;
    QTemporaryDir m_images;
    QStringList m_filters {"Luminance", "Red"};
    std::unique_ptr<IMaxImApplication> m_application;
};

void Pause(int ms)
{
    QElapsedTimer t;
    t.start();
    while (t.elapsed() < ms)
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 20);
}

int RunSecond(int port, int items)
{
    BenchPc pc(port);
    pc.Sequence.Items = {TSequenceItem {1, 1, 1, items, "S"}};
    pc.Link.ConnectIpButtonClick();
    Pause(1200);   // connected, and the first second of run control is over
    SecondSequenceRun(pc, pc.Waiter).Run();
    pc.Waiter.Report("second PC:");
    for (qint64 ns : pc.Camera->ExposeNs)
        std::printf("%lld\n", ns);
    std::fflush(stdout);
    return 0;
}

double Percentile(std::vector<double> v, double p)
{
    if (v.empty())
        return 0;
    std::sort(v.begin(), v.end());
    return v[std::min(v.size() - 1, size_t(p * double(v.size() - 1) + 0.5))];
}

int RunMain(const QString& program, int items)
{
    QTcpServer probe;
    probe.listen(QHostAddress::LocalHost, 0);
    const int port = probe.serverPort();
    probe.close();
    BenchPc pc(port);
    for (int k = 0; k < items; ++k)
        pc.Sequence.Items.append(TSequenceItem {1, 1, 1, 1, QStringLiteral("M%1").arg(k)});
    pc.Link.OpenListener(port);

    QProcess second;
    second.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    second.start(program, {QStringLiteral("--second"), QString::number(port), QString::number(items)});
    QElapsedTimer waited;
    waited.start();
    while (pc.Link.Server().ConnectionCount() == 0 && waited.elapsed() < 10000)
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 100);
    if (pc.Link.Server().ConnectionCount() == 0) {
        std::fprintf(stderr, "the second PC did not connect\n");
        return 1;
    }
    Pause(2500);   // the second PC is waiting for its first command
    CRandomSource random;
    MainSequenceRun(pc, pc.Waiter, random).Run();
    pc.Waiter.Report("main PC:  ");
    second.waitForFinished(30000);

    std::vector<double> toSecond, offset;
    const QList<QByteArray> lines = second.readAllStandardOutput().split('\n');
    for (size_t k = 0; k < pc.SentNs.size() && k < size_t(lines.size()); ++k) {
        if (lines[qsizetype(k)].isEmpty())
            continue;
        const qint64 secondNs = lines[qsizetype(k)].toLongLong();
        toSecond.push_back(double(secondNs - pc.SentNs[k]) / 1e6);
        offset.push_back(double(secondNs - pc.Camera->ExposeNs[k]) / 1e6);
    }
    std::printf("%zu items, %zu frames on the second PC\n", pc.SentNs.size(), toSecond.size());
    std::printf("(a) \"Expose n\" sent -> second Expose: median %.3f ms, p99 %.3f ms, max %.3f ms\n",
                Percentile(toSecond, 0.5), Percentile(toSecond, 0.99), Percentile(toSecond, 1.0));
    std::printf("(b) main Expose -> second Expose:      median %.3f ms, p99 %.3f ms, max %.3f ms\n",
                Percentile(offset, 0.5), Percentile(offset, 0.99), Percentile(offset, 1.0));
    return toSecond.size() == size_t(items) ? 0 : 1;
}

}

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() == 4 && args[1] == QLatin1String("--second"))
        return RunSecond(args[2].toInt(), args[3].toInt());
    const int items = args.size() >= 2 ? std::max(1, args[1].toInt()) : 50;
    return RunMain(app.applicationFilePath(), items);
}
