// sync_night_bench [passes] [speed]: a simulated night of a main PC and two
// second PCs, three processes on loopback, with the dither guard on and both
// second PCs filling the time between dithers (AllowList).
//
// Every process runs the real runs, the real RunControl waits and the real
// peer link, with a simulated camera (64 x 64 pixels). The night runs `speed`
// times faster than real time (default 30): the cameras' clock, the runs'
// waits and clock and the link's clock all run at that rate, so every figure
// below is in the night's own seconds. What does not speed up is the machine
// itself: a millisecond of loopback or event-loop latency counts as `speed`
// milliseconds of the night, so the waiting figures are upper bounds.
//
// The main PC runs `passes` passes (default 25) of four items, each followed
// by a dither: 3 x 20 s, 4 x 10 s, 2 x 30 s, 3 x 15 s, 2 s delay. Second PC A
// takes 5 s, 10 s and 4 s frames, second PC B 20 s, 15 s and 12 s frames.
// Reported:
//   - dithers, and second frames open during a dither (from the dither's
//     start to its settling, as the night's record says), per PC;
//   - each second camera's duty cycle: its exposure time over the time the
//     guard left it (from each "Expose" of the main PC to the next dither's
//     start);
//   - the main PC's time lost waiting per dither (from its item's last frame
//     saved and the delay to the dither's start): median, p99, share of the night;
//   - the start offset main -> second: from the main camera's first Expose of
//     an item to the second camera's first Expose after that item's "Expose"
//     command (real milliseconds; negative when the second camera starts
//     first, as the command goes out before the main camera's Expose): median, p99.
#include "camera/CameraHandle.h"
#include "camera/SteadyCameraClock.h"
#include "camera/simulator/SimulatedApplication.h"
#include "link/PeerLink.h"
#include "link/PeerLinkHost.h"
#include "platform/RunState.h"
#include "run/FrameEvent.h"
#include "run/MainSequenceRun.h"
#include "run/NightRecord.h"
#include "run/RandomSource.h"
#include "run/RunControl.h"
#include "run/SecondSequenceRun.h"
#include "sequence/TSequence.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTcpServer>
#include <QTemporaryDir>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <map>
#include <vector>

namespace {

qint64 g_originMs = 0;   // real epoch ms at which the night starts, shared by the processes
double g_speed = 30;

qint64 RealMs() { return QDateTime::currentMSecsSinceEpoch(); }
qint64 RealUs()
{
    return std::chrono::duration_cast<std::chrono::microseconds>(std::chrono::system_clock::now().time_since_epoch()).count();
}
// The night's clock: epoch ms, running g_speed times faster than real time from the origin.
qint64 NightMs() { return g_originMs + qint64(double(RealMs() - g_originMs) * g_speed); }

// RunControl's waits, shortened to the night's speed; a wait shorter than a
// real millisecond is one pass of event processing.
class NightWaiter : public RunWaiter {
public:
    explicit NightWaiter(RunControl& control) : m_control(control) {}
    QDateTime NowUtc() const override { return QDateTime::fromMSecsSinceEpoch(NightMs(), Qt::UTC); }
    void WaitMs(int ms) override
    {
        const int real = int(double(ms) / g_speed);
        if (real < 1)
            m_control.PumpMessages();
        else
            m_control.WaitMs(real);
    }
    void PumpMessages() override { m_control.PumpMessages(); }
    void WaitForEvents() override { m_control.WaitForEvents(); }

private:
    RunControl& m_control;
};

class TimedCamera : public CameraHandle {
public:
    using CameraHandle::CameraHandle;
    void Expose(int seconds, int filter) override
    {
        Starts.push_back({NightMs(), RealUs(), seconds});
        CameraHandle::Expose(seconds, filter);
    }
    struct Start {
        qint64 NightMs, RealUs;
        int Seconds;
    };
    std::vector<Start> Starts;
};

class BenchPc : public RunHost, public PeerLinkHost {
public:
    explicit BenchPc(int port) : m_port(port)
    {
        SimulatorSettings settings;
        settings.SensorWidth = settings.SensorHeight = 64;
        settings.StarCount = 5;
        m_application = std::make_unique<SimulatedApplication>(settings, std::make_shared<SteadyCameraClock>(g_speed));
        Camera = std::make_unique<TimedCamera>(std::shared_ptr<ICamera>(m_application->CCDCamera()));
        Camera->SetLinkEnabled(true);
        Sequence.DestDir = m_images.path();
        Sequence.ImgFileName = "Night";
        Sequence.StartIteration = 1;
        Link.SetClock(NightMs);
    }

    TSequence Sequence;
    RunState Flags;
    PeerLink Link {*this, Flags};
    RunControl Control {Flags, *this};
    NightWaiter Waiter {Control};
    std::unique_ptr<TimedCamera> Camera;
    std::vector<qint64> ExposeSentMs, SavedMs;   // night ms: "Expose" commands, frames saved
    std::vector<qint64> ExposeSentReal;

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
        if (command.startsWith(QLatin1String("Expose"))) {
            ExposeSentMs.push_back(NightMs());
            ExposeSentReal.push_back(RealUs());
        }
        return Link.SendToPeer(command);
    }
    ICamera* RunCamera() override { return Camera.get(); }
    TSequence& RunSequence() override { return Sequence; }
    const QStringList& RunFilterList() override { return m_filters; }
    RunState& RunFlags() override { return Flags; }
    SyncHub* RunSyncHub() override { return &Link.Hub(); }
    SecondSync* RunSecondSync() override { return &Link.Second(); }
    void RunFrameEvent(const FrameEvent& e) override
    {
        if (e.What == FrameEvent::Kind::Saved)
            SavedMs.push_back(NightMs());
        Link.Second().ReportFrame(SecondSync::Report(int(e.What)), e.Exposure);
    }

    void SetStatusText(const QString& text) override
    {
        // The main PC closes the link when its night is over: the second PC stops.
        if (text == QLatin1String("Disconnected"))
            Flags.StopRequested = true;
    }
    QString PeerAddress() const override { return QStringLiteral("127.0.0.1"); }
    int PeerPort() const override { return m_port; }
    void SetLinkControls(bool) override {}
    void ShowStandardError(const QString& message) override { std::fprintf(stderr, "error: %s\n", qPrintable(message)); }

private:
    int m_port;
    QTemporaryDir m_images;
    QStringList m_filters {"Luminance", "Red", "Green", "Blue"};
    std::unique_ptr<IMaxImApplication> m_application;
};

void Pause(int ms)
{
    QElapsedTimer t;
    t.start();
    while (t.elapsed() < ms)
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 20);
}

double Percentile(std::vector<double> v, double p)
{
    if (v.empty())
        return 0;
    std::sort(v.begin(), v.end());
    return v[std::min(v.size() - 1, size_t(p * double(v.size() - 1) + 0.5))];
}

int RunSecond(int port, const QStringList& exposures)
{
    BenchPc pc(port);
    pc.Sequence.Iterations = 100;
    pc.Sequence.AllowList = true;
    for (const QString& e : exposures)
        pc.Sequence.Items.append(TSequenceItem {3, e.toInt(), 1, 50, QStringLiteral("S%1").arg(e)});
    pc.Link.ConnectIpButtonClick();
    Pause(1200);   // linked and answered, and the first second of run control is over
    pc.Link.Second().ReportRun(true);
    SecondSequenceRun(pc, pc.Waiter).Run();
    pc.Link.Second().ReportRun(false);
    // Saved frames: night ms of the start, seconds; then every Expose's real ms.
    for (size_t i = 0; i < pc.SavedMs.size() && i < pc.Camera->Starts.size(); ++i)
        std::printf("F %lld %d\n", pc.Camera->Starts[i].NightMs, pc.Camera->Starts[i].Seconds);
    for (const TimedCamera::Start& s : pc.Camera->Starts)
        std::printf("R %lld\n", s.RealUs);
    std::fflush(stdout);
    return 0;
}

struct Dither {
    qint64 Start = 0, Settled = 0;
};

std::vector<Dither> ReadRecord(const QString& folder)
{
    std::map<int, Dither> dithers;
    for (const QFileInfo& file : QDir(folder).entryInfoList({QStringLiteral("Tandexa-night-*.txt")})) {
        QFile f(file.filePath());
        f.open(QIODevice::ReadOnly);
        for (const QByteArray& line : f.readAll().split('\n')) {
            const QList<QByteArray> words = line.trimmed().split(' ');
            if (words.size() != 5 || words[2] != "Dither")
                continue;
            const qint64 ms = QDateTime::fromString(QString::fromLatin1(words[0]), Qt::ISODateWithMs).toMSecsSinceEpoch();
            if (words[4] == "started")
                dithers[words[3].toInt()].Start = ms;
            else if (words[4] == "settled")
                dithers[words[3].toInt()].Settled = ms;
        }
    }
    std::vector<Dither> result;
    for (const auto& [n, d] : dithers)
        result.push_back(d);
    return result;
}

int RunMain(const QString& program, int passes)
{
    QTcpServer probe;
    probe.listen(QHostAddress::LocalHost, 0);
    const int port = probe.serverPort();
    probe.close();
    BenchPc pc(port);
    pc.Sequence.Iterations = passes;
    pc.Sequence.DelayFrame = 2;
    pc.Sequence.PixelDither = Decimal4::FromCount(5000);
    pc.Sequence.WhileGuideError = Decimal4::FromCount(5000);
    for (const auto& [exposure, repeat] : {std::pair {20, 3}, {10, 4}, {30, 2}, {15, 3}})
        pc.Sequence.Items.append(TSequenceItem {1, exposure, 1, repeat, QStringLiteral("M%1").arg(exposure)});
    pc.Link.Hub().SetEnabled(true);
    pc.Link.OpenListener(port);

    const QList<QStringList> secondExposures {{"5", "10", "4"}, {"20", "15", "12"}};
    std::vector<std::unique_ptr<QProcess>> seconds;
    for (const QStringList& exposures : secondExposures) {
        auto& second = seconds.emplace_back(std::make_unique<QProcess>());
        second->setProcessChannelMode(QProcess::ForwardedErrorChannel);
        second->start(program, QStringList {"--second", QString::number(port), QString::number(g_originMs),
                                            QString::number(g_speed)} + exposures);
    }
    QElapsedTimer waited;
    waited.start();
    const auto extended = [&] {
        const auto peers = pc.Link.Hub().Peers();
        return std::count_if(peers.begin(), peers.end(), [](const auto& p) { return p->Extended; });
    };
    while (extended() < 2 && waited.elapsed() < 10000)
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 100);
    if (extended() < 2) {
        std::fprintf(stderr, "the second PCs did not link\n");
        return 1;
    }
    Pause(2500);   // both second PCs wait for their first command
    const qint64 nightStart = NightMs();
    CRandomSource random;
    MainSequenceRun(pc, pc.Waiter, random).Run();
    const qint64 nightEnd = NightMs();
    pc.Link.CloseAll();

    const std::vector<Dither> dithers = ReadRecord(pc.Sequence.DestDir);
    std::printf("night: %.0f s (%.0f s real), %zu dithers, %zu main frames\n", double(nightEnd - nightStart) / 1000,
                double(nightEnd - nightStart) / 1000 / g_speed, dithers.size(), pc.SavedMs.size());

    // Time lost per dither: from the item's last frame saved plus the delay to the dither's start.
    std::vector<double> lost;
    double lostTotal = 0;
    for (const Dither& d : dithers) {
        const auto last = std::upper_bound(pc.SavedMs.begin(), pc.SavedMs.end(), d.Start);
        if (last == pc.SavedMs.begin())
            continue;
        const double ms = std::max(0.0, double(d.Start - *(last - 1)) - pc.Sequence.DelayFrame * 1000.0);
        lost.push_back(ms / 1000);
        lostTotal += ms;
    }
    std::printf("main PC, time lost waiting per dither: median %.3f s, p99 %.3f s, max %.3f s; %.2f %% of the night\n",
                Percentile(lost, 0.5), Percentile(lost, 0.99), Percentile(lost, 1.0),
                100.0 * lostTotal / double(nightEnd - nightStart));

    // Each "Expose" to the next dither's start: the time the guard leaves the second cameras.
    double available = 0;
    for (qint64 sent : pc.ExposeSentMs) {
        const auto next = std::find_if(dithers.begin(), dithers.end(), [&](const Dither& d) { return d.Start > sent; });
        available += double((next == dithers.end() ? nightEnd : next->Start) - sent);
    }
    // Main camera's first Expose of each item (real ms).
    std::vector<qint64> itemFirstReal;
    for (qint64 sent : pc.ExposeSentReal) {
        const auto first = std::find_if(pc.Camera->Starts.begin(), pc.Camera->Starts.end(),
                                        [&](const TimedCamera::Start& s) { return s.RealUs >= sent; });
        itemFirstReal.push_back(first == pc.Camera->Starts.end() ? -1 : first->RealUs);
    }

    int failed = 0;
    for (size_t k = 0; k < seconds.size(); ++k) {
        seconds[k]->waitForFinished(60000);
        std::vector<std::pair<qint64, int>> frames;
        std::vector<qint64> starts;
        for (const QByteArray& line : seconds[k]->readAllStandardOutput().split('\n')) {
            const QList<QByteArray> w = line.split(' ');
            if (w[0] == "F" && w.size() == 3)
                frames.push_back({w[1].toLongLong(), w[2].toInt()});
            else if (w[0] == "R" && w.size() == 2)
                starts.push_back(w[1].toLongLong());
        }
        int open = 0;
        double exposed = 0;
        for (const auto& [start, s] : frames) {
            exposed += s * 1000.0;
            for (const Dither& d : dithers)
                open += start < d.Settled && start + s * 1000 > d.Start ? 1 : 0;
        }
        std::vector<double> offsets;
        for (size_t i = 0; i < pc.ExposeSentReal.size(); ++i) {
            const auto first = std::lower_bound(starts.begin(), starts.end(), pc.ExposeSentReal[i]);
            if (first != starts.end() && itemFirstReal[i] >= 0
                && (i + 1 == pc.ExposeSentReal.size() || *first < pc.ExposeSentReal[i + 1]))
                offsets.push_back(double(*first - itemFirstReal[i]) / 1000.0);
        }
        std::printf("second PC %c (%s s): %zu frames, %d open during a dither, duty cycle %.1f %% (%.0f s of %.0f s), "
                    "start offset main -> second: median %.3f ms, p99 %.3f ms (real, %zu items)\n",
                    char('A' + k), qPrintable(secondExposures[int(k)].join(QLatin1Char('/'))), frames.size(), open,
                    100.0 * exposed / available, exposed / 1000, available / 1000, Percentile(offsets, 0.5),
                    Percentile(offsets, 0.99), offsets.size());
        failed += open;
    }
    return failed == 0 && dithers.size() == size_t(4 * passes) ? 0 : 1;
}

}

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() >= 5 && args[1] == QLatin1String("--second")) {
        g_originMs = args[3].toLongLong();
        g_speed = args[4].toDouble();
        return RunSecond(args[2].toInt(), args.mid(5));
    }
    const int passes = args.size() >= 2 ? std::max(1, args[1].toInt()) : 25;
    g_speed = args.size() >= 3 ? std::max(1.0, args[2].toDouble()) : 30.0;
    g_originMs = RealMs();
    return RunMain(app.applicationFilePath(), passes);
}
