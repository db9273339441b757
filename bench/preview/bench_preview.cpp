// bench_preview: large frames from the camera to the screen.
//
//   bench_preview sim    simulated camera, 1280x1024, 4096x4096, 9576x6388:
//                        the save (render + write) and disk -> preview and
//                        figures shown, with the longest UI-thread block
//   bench_preview indi   the Debian INDI CCD simulator (own indiserver) at
//                        1280x1024, 4096x4096 and its largest chip,
//                        8192x8192: BLOB first byte -> file saved against a
//                        raw loopback transfer of as many bytes, the longest
//                        UI-thread block and read pass, disk -> preview,
//                        and the same image saved again while its preview
//                        is being made
//   bench_preview rss    peak RSS over a run of 20 frames at 9576x6388
//                        through the window (simulated camera, no exposure
//                        time: frames come as fast as they are saved)
//   bench_preview rss-indi  the same with the INDI CCD simulator at 8192x8192
//   bench_preview dead   dead time between frames (exposure end -> next
//                        Expose) through the window, 4096x4096, 1 s
//                        exposures at TimeScale 1
//
// The UI-thread block is the longest gap between the ticks of a 1 ms timer.
#include "app/ImagePage.h"
#include "app/TMainForm.h"
#include "camera/ICamera.h"
#include "camera/IDocument.h"
#include "camera/ImageSave.h"
#include "camera/SteadyCameraClock.h"
#include "camera/indi/IndiApplication.h"
#include "camera/indi/IndiClient.h"
#include "IndiServer.h"   // the tests' indiserver launcher
#include "camera/simulator/SimulatedApplication.h"
#include "camera/simulator/SimulatorSettings.h"
#include "platform/MessageBox.h"
#include "platform/PixelWorker.h"
#include "platform/ProgramDir.h"
#include "run/FrameEvent.h"
#include "sequence/TSequence.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QThread>
#include <QTimer>
#include <arpa/inet.h>
#include <ctime>
#include <cstdio>
#include <netinet/in.h>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>

namespace {
const QStringList kSimulators {"indi_simulator_ccd", "indi_simulator_wheel"};
// -m: the server drops a client whose queue passes this many MB; a
// 8192 x 8192 frame is 179 MB as base64, above the default 128.
const QStringList kLargeFrames {"-m", "1024"};

// Sleeps for events between looks, as a run's waiter does (the form of
// processEvents with a time limit would spin and take a core from the
// server and the worker); a timer bounds each sleep.
void pumpUntil(const std::function<bool()>& done, int timeoutMs = 120000)
{
    QElapsedTimer t;
    t.start();
    QTimer tick;
    tick.setTimerType(Qt::PreciseTimer);
    tick.start(50);
    while (!done() && t.elapsed() < timeoutMs)
        QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents);
}

void pump(int ms)
{
    QEventLoop loop;
    QTimer::singleShot(ms, Qt::PreciseTimer, &loop, &QEventLoop::quit);
    loop.exec();
}

qint64 threadCpuNs()
{
    timespec t {};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return qint64(t.tv_sec) * 1000000000 + t.tv_nsec;
}

// The longest gap between ticks of a 1 ms timer since Reset(), and how much
// of it the UI thread spent working (the rest it waited for a core: other
// processes and the worker share two).
struct BlockMeter {
    QElapsedTimer clock;
    QTimer timer;
    qint64 last = 0, longest = 0, lastCpu = 0, longestCpu = 0;
    BlockMeter()
    {
        clock.start();
        lastCpu = threadCpuNs();
        timer.setTimerType(Qt::PreciseTimer);
        timer.setInterval(1);
        QObject::connect(&timer, &QTimer::timeout, [this] {
            const qint64 now = clock.nsecsElapsed(), cpu = threadCpuNs();
            if (now - last > longest) {
                longest = now - last;
                longestCpu = cpu - lastCpu;
            }
            last = now;
            lastCpu = cpu;
        });
        timer.start();
    }
    void Reset()
    {
        last = clock.nsecsElapsed();
        lastCpu = threadCpuNs();
        longest = longestCpu = 0;
    }
    double LongestMs() const { return std::max(longest, clock.nsecsElapsed() - last) / 1e6; }
    double LongestCpuMs() const { return longestCpu / 1e6; }
};

long statusKb(const char* key)
{
    QFile f("/proc/self/status");
    f.open(QIODevice::ReadOnly);
    for (const QByteArray& line : f.readAll().split('\n'))
        if (line.startsWith(key))
            return line.mid(int(strlen(key))).trimmed().split(' ').first().toLong();
    return 0;
}

void resetPeak()
{
    QFile f("/proc/self/clear_refs");
    if (f.open(QIODevice::WriteOnly))
        f.write("5");
}

double ms(qint64 ns) { return ns / 1e6; }

FrameEvent savedEvent(const QString& path)
{
    FrameEvent saved;
    saved.What = FrameEvent::Kind::Saved;
    saved.Path = path;
    saved.FileName = QFileInfo(path).fileName();
    saved.Utc = QDateTime::currentDateTimeUtc();
    return saved;
}

// Disk -> the page showing the preview and figures (its paint included).
double previewMs(ImagePage& page, const QString& path, BlockMeter& meter, double* block)
{
    const FrameEvent saved = savedEvent(path);
    bool shown = false;
    const auto c = QObject::connect(&page, &ImagePage::PreviewShown, [&] { shown = true; });
    QElapsedTimer t;
    t.start();
    meter.Reset();
    page.FrameEvent(saved);
    pumpUntil([&] { return shown; });
    page.repaint();
    const double total = ms(t.nsecsElapsed());
    *block = meter.LongestMs();
    QObject::disconnect(c);
    return total;
}

void benchSimulator()
{
    QTemporaryDir dir;
    ImagePage page(true, [] () -> const TSequence& { static TSequence s; return s; });
    page.resize(460, 295);
    page.show();
    BlockMeter meter;
    std::printf("simulated camera     MB   save (render+write)  UI block   disk->preview shown  UI block   stars  HFR\n");
    for (QSize size : {QSize(1280, 1024), QSize(4096, 4096), QSize(9576, 6388)}) {
        SimulatorSettings s;
        s.SensorWidth = size.width();
        s.SensorHeight = size.height();
        s.TimeScale = 0;
        s.StarCount = int(250.0 * size.width() * size.height() / (1536.0 * 1024.0));
        SimulatedApplication app(s, std::make_shared<SteadyCameraClock>());
        auto camera = app.CCDCamera();
        camera->SetLinkEnabled(true);
        for (int run = 0; run < 2; ++run) {   // the first warms the noise table and the page cache
            camera->Expose(1, -1);
            camera->ImageReady();
            const QString path = dir.filePath(QString("sim-%1.fit").arg(size.width()));
            QElapsedTimer t;
            t.start();
            meter.Reset();
            auto save = camera->StartSaveImage(path, SaveMode::Replace);
            pumpUntil([&] { return save->IsFinished(); });
            save->Result();
            const double saveMs = ms(t.nsecsElapsed()), saveBlock = meter.LongestMs();
            double previewBlock = 0;
            const double shown = previewMs(page, path, meter, &previewBlock);
            if (run == 1)
                std::printf("%5d x %-5d  %7.1f  %14.0f ms  %6.1f ms  %15.0f ms  %6.1f ms  %5s  %s\n", size.width(),
                            size.height(), QFileInfo(path).size() / 1048576.0, saveMs, saveBlock, shown, previewBlock,
                            qPrintable(page.findChild<QWidget*>("ImageStarsLabel")->property("text").toString()),
                            "");
        }
    }
}

// Sends `bytes` bytes over loopback and returns first byte -> last byte at
// the receiver, read through a QTcpSocket as the INDI client reads.
double rawTransferMs(qint64 bytes)
{
    QTcpServer server;
    server.listen(QHostAddress::LocalHost, 0);
    const quint16 port = server.serverPort();
    std::thread sender([port, bytes] {
        const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in a {};
        a.sin_family = AF_INET;
        a.sin_port = htons(port);
        a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        if (::connect(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0)
            return;
        std::vector<char> chunk(1 << 20, 'A');
        for (qint64 sent = 0; sent < bytes;) {
            const ssize_t n = ::send(fd, chunk.data(), size_t(std::min<qint64>(qint64(chunk.size()), bytes - sent)), 0);
            if (n <= 0)
                break;
            sent += n;
        }
        ::close(fd);
    });
    pumpUntil([&] { return server.hasPendingConnections(); });
    QTcpSocket* socket = server.nextPendingConnection();
    qint64 got = 0;
    QElapsedTimer t;
    // Blocking reads: the fastest this process can take the bytes in.
    while (got < bytes) {
        if (socket->bytesAvailable() == 0 && !socket->waitForReadyRead(10000))
            break;
        if (got == 0)
            t.start();
        got += socket->read(socket->bytesAvailable()).size();
    }
    const double total = ms(t.nsecsElapsed());
    sender.join();
    return total;
}

void benchIndi()
{
    QTemporaryDir dir;
    IndiServer server;
    QString why;
    if (!server.Start(kSimulators, &why, kLargeFrames)) {
        std::fprintf(stderr, "%s\n", qPrintable(why));
        return;
    }
    const int port = server.Port();
    ImagePage page(true, [] () -> const TSequence& { static TSequence s; return s; });
    page.resize(460, 295);
    page.show();
    BlockMeter meter;
    try {
        IndiSettings settings;
        settings.Host = "127.0.0.1";
        settings.Port = port;
        IndiApplication application(settings);
        auto camera = application.CCDCamera();
        camera->SetLinkEnabled(true);
        IndiClient& client = application.Client();
        QElapsedTimer clock;
        clock.start();
        qint64 arrived = 0, complete = 0;
        double blockUntilComplete = 0;
        QObject::connect(&client, &IndiClient::blobArriving, [&] {
            arrived = clock.nsecsElapsed();
            meter.Reset();
        });
        quint64 seen = 0;
        QObject::connect(&client, &IndiClient::changed, [&] {
            const quint64 s = client.blob("CCD Simulator", "CCD1").Serial;
            if (s != seen) {
                seen = s;
                complete = clock.nsecsElapsed();
                blockUntilComplete = meter.LongestMs();
            }
        });
        std::printf("INDI simulator        MB  first byte->complete  ->saved   raw loopback  ratio  UI block  read pass  "
                    "disk->preview  UI block  save behind a preview\n");
        for (QSize size : {QSize(1280, 1024), QSize(4096, 4096), QSize(8192, 8192)}) {
            client.request(IndiKind::Number, "CCD Simulator", "SIMULATOR_SETTINGS",
                           {{"SIM_XRES", QString::number(size.width())}, {"SIM_YRES", QString::number(size.height())}},
                           [&](const IndiProperty& p) { return p.number("SIM_XRES").value_or(0) == size.width(); },
                           10000, "setting the chip size");
            pump(500);
            camera->SetBinX(1);
            camera->SetBinY(1);
            camera->SetFullFrame();
            for (int run = 0; run < 2; ++run) {
                const quint64 before = client.blob("CCD Simulator", "CCD1").Serial;
                camera->Expose(1, -1);
                pumpUntil([&] { return client.blob("CCD Simulator", "CCD1").Serial != before; });
                camera->ImageReady();
                const QString path = dir.filePath(QString("indi-%1.fit").arg(size.width()));
                auto save = camera->StartSaveImage(path, SaveMode::Replace);
                pumpUntil([&] { return save->IsFinished(); });
                save->Result();
                const qint64 saved = clock.nsecsElapsed();
                const double block = std::max(blockUntilComplete, meter.LongestMs());
                const qint64 blobBytes = (QFileInfo(path).size() + 2) / 3 * 4;
                const double raw = rawTransferMs(blobBytes);
                double previewBlock = 0;
                const double shown = previewMs(page, path, meter, &previewBlock);
                // The image saved again under another name while the page
                // makes the preview of this one: a save behind a preview.
                bool shownAgain = false;
                const auto c = QObject::connect(&page, &ImagePage::PreviewShown, [&] { shownAgain = true; });
                page.FrameEvent(savedEvent(path));
                pump(30);   // the preview under way
                QElapsedTimer behind;
                behind.start();
                auto again = camera->StartSaveImage(path + ".again", SaveMode::Replace);
                pumpUntil([&] { return again->IsFinished(); });
                again->Result();
                const double behindMs = ms(behind.nsecsElapsed());
                pumpUntil([&] { return shownAgain; });
                QObject::disconnect(c);
                if (run == 1)
                    std::printf("%5d x %-5d %7.1f  %14.0f ms  %6.0f ms  %9.0f ms  %5.2f  %5.1f ms  %6lld ms  %10.0f ms  %5.1f ms"
                                "  %9.0f ms\n",
                                size.width(), size.height(), QFileInfo(path).size() / 1048576.0,
                                ms(complete - arrived), ms(saved - arrived), raw, ms(saved - arrived) / raw, block,
                                client.longestReadPassMs(), shown, previewBlock, behindMs);
                std::fflush(stdout);
            }
        }
        camera->Release();
        application.Release();
    } catch (const std::exception& e) {
        std::fprintf(stderr, "failed: %s\n", e.what());
    }
}

// A program directory with a simulated camera (or, with `camera` given, the
// lines of an INDI camera) and a sequence of one item.
void prepareWindow(const QString& dir, QSize chip, double timeScale, int exposure, int repeat,
                   const QString& camera = QString())
{
    SetProgramDir(dir);
    SetMessageBoxHandler([](const QString& text, const QString&, int) {
        std::fprintf(stderr, "box: %s\n", qPrintable(text));
        return MsgBox::ResultOk;
    });
    QFile ini(dir + "/Tandexa.ini");
    ini.open(QIODevice::WriteOnly);
    ini.write(camera.isEmpty()
                  ? QString("[Camera]\r\nDriver=Simulator\r\nTimeScale=%1\r\nSensorWidth=%2\r\nSensorHeight=%3\r\n")
                        .arg(timeScale).arg(chip.width()).arg(chip.height()).toUtf8()
                  : camera.toUtf8());
    ini.close();
    QDir(dir).mkdir("img");
    QFile seq(dir + "/Sequence1.seq");
    seq.open(QIODevice::WriteOnly);
    seq.write(QString("[Sequence]\r\nImgFileName=Img\r\nDestDir=%1/img\r\nIterations=1\r\nStartIteration=1\r\n"
                      "DelayFrame=0\r\nPixelDither=0\r\nWhileGuideError=0.5\r\nAllowList=0\r\nItems=1\r\nItem0=0 %2 1 %3 L-\r\n")
                  .arg(dir).arg(exposure).arg(repeat).toUtf8());
    QFile filters(dir + "/FilterSet.txt");
    filters.open(QIODevice::WriteOnly);
    filters.write("Luminance\r\n");
}

void benchRss(bool indi)
{
    QTemporaryDir dir;
    IndiServer server;
    QSize chip(9576, 6388);
    if (indi) {
        chip = QSize(8192, 8192);
        QString why;
        if (!server.Start(kSimulators, &why, kLargeFrames)) {
            std::fprintf(stderr, "%s\n", qPrintable(why));
            return;
        }
        const int port = server.Port();
        QProcess::execute("indi_setprop", {"-p", QString::number(port),
                                           "CCD Simulator.SIMULATOR_SETTINGS.SIM_XRES;SIM_YRES=8192;8192"});
        prepareWindow(dir.path(), chip, 1, 1, 20,
                      QString("[Camera]\r\nDriver=INDI\r\nIndiHost=127.0.0.1\r\nIndiPort=%1\r\n").arg(port));
    } else {
        prepareWindow(dir.path(), chip, 0, 1, 20);
    }
    TMainForm form(true);
    form.show();
    form.ConnectMaxImButtonClick();
    auto* page = form.findChild<ImagePage*>("TSImage");
    int shown = 0;
    QObject::connect(page, &ImagePage::PreviewShown, [&] { ++shown; });
    pump(300);
    const long idle = statusKb("VmRSS:");
    resetPeak();
    BlockMeter meter;
    QElapsedTimer t;
    t.start();
    form.StartButtonClick();
    pumpUntil([&] { return shown >= 20; });
    const long peak = statusKb("VmHWM:");
    const double frameMb = double(chip.width()) * chip.height() * 2 / 1048576.0;
    std::printf("%s: 20 frames of %d x %d (%.0f MB each) in %.1f s: idle RSS %.0f MB, peak %.0f MB, "
                "peak above idle %.0f MB = %.2f frames; longest UI block %.1f ms (%.1f ms of it working)\n",
                indi ? "INDI simulator" : "simulated camera", chip.width(), chip.height(), frameMb,
                t.elapsed() / 1000.0, idle / 1024.0, peak / 1024.0, (peak - idle) / 1024.0,
                (peak - idle) / 1024.0 / frameMb, meter.LongestMs(), meter.LongestCpuMs());
    form.close();
}

// Records when each exposure starts; everything else goes to the camera.
class TimedCamera : public ICamera {
public:
    TimedCamera(std::unique_ptr<ICamera> camera, QList<qint64>& starts, QElapsedTimer& clock)
        : m_camera(std::move(camera)), m_starts(starts), m_clock(clock) {}
    void SetLinkEnabled(bool e) override { m_camera->SetLinkEnabled(e); }
    QString FilterNames(int i) override { return m_camera->FilterNames(i); }
    void SetFilter(int i) override { m_camera->SetFilter(i); }
    int BinX() override { return m_camera->BinX(); }
    void SetBinX(int b) override { m_camera->SetBinX(b); }
    int BinY() override { return m_camera->BinY(); }
    void SetBinY(int b) override { m_camera->SetBinY(b); }
    void SetFullFrame() override { m_camera->SetFullFrame(); }
    void Expose(int s, int f) override
    {
        m_starts << m_clock.nsecsElapsed();
        m_camera->Expose(s, f);
    }
    bool ImageReady() override
    {
        const bool ready = m_camera->ImageReady();
        if (ready && Ready.size() < m_starts.size())
            Ready << m_clock.nsecsElapsed();
        return ready;
    }
    void AbortExposure() override { m_camera->AbortExposure(); }
    std::shared_ptr<IDocument> Document() override { return m_camera->Document(); }
    void SaveImage(const QString& p, SaveMode m) override { m_camera->SaveImage(p, m); }
    std::shared_ptr<ImageSave> StartSaveImage(const QString& p, SaveMode m) override
    {
        Saving << m_clock.nsecsElapsed();
        return m_camera->StartSaveImage(p, m);
    }
    static inline QList<qint64> Ready, Saving;   // when each image was seen, its save began
    float GuiderXStarPosition() override { return 0; }
    float GuiderYStarPosition() override { return 0; }
    void GuiderMoveStar(float, float) override {}
    float GuiderXError() override { return 0; }
    float GuiderYError() override { return 0; }
    void Release() override { m_camera->Release(); }

private:
    std::unique_ptr<ICamera> m_camera;
    QList<qint64>& m_starts;
    QElapsedTimer& m_clock;
};

class TimedApplication : public IMaxImApplication {
public:
    TimedApplication(const SimulatorSettings& s, QList<qint64>& starts, QElapsedTimer& clock)
        : m_app(s, std::make_shared<SteadyCameraClock>()), m_starts(starts), m_clock(clock) {}
    std::unique_ptr<ICamera> CCDCamera() override
    {
        return std::make_unique<TimedCamera>(m_app.CCDCamera(), m_starts, m_clock);
    }
    void Release() override {}

private:
    SimulatedApplication m_app;
    QList<qint64>& m_starts;
    QElapsedTimer& m_clock;
};

void benchDeadTime()
{
    QTemporaryDir dir;
    const int frames = 8;
    prepareWindow(dir.path(), QSize(4096, 4096), 1, 1, frames);
    QList<qint64> starts;
    QElapsedTimer clock;
    clock.start();
    SimulatorSettings s;
    s.SensorWidth = s.SensorHeight = 4096;
    s.TimeScale = 1;
    TMainForm form(true, [&] { return std::make_unique<TimedApplication>(s, starts, clock); });
    form.show();
    form.ConnectMaxImButtonClick();
    pump(1200);   // the wait timer is armed for the first second after start-up
    BlockMeter meter;
    form.StartButtonClick();
    std::vector<double> dead;
    std::printf("gaps in order:");
    for (int i = 1; i < starts.size(); ++i) {
        dead.push_back(ms(starts[i] - starts[i - 1]) - 1000.0);
        std::printf(" %.0f (seen +%.0f, saving +%.0f)", dead.back(), ms(TimedCamera::Ready.value(i - 1) - starts[i - 1]) - 1000.0,
                    ms(TimedCamera::Saving.value(i - 1) - starts[i - 1]) - 1000.0);
    }
    std::printf(" ms\n");
    std::sort(dead.begin(), dead.end());
    std::printf("dead time between frames, 4096 x 4096, 1 s exposures, TimeScale 1 (%d gaps): best %.0f ms, "
                "median %.0f ms, worst %.0f ms; longest UI block %.1f ms (%.1f ms of it working)\n",
                int(dead.size()), dead.front(), dead[dead.size() / 2], dead.back(), meter.LongestMs(),
                meter.LongestCpuMs());
    form.close();
}
}

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", qgetenv("QT_QPA_PLATFORM").isEmpty() ? "offscreen" : qgetenv("QT_QPA_PLATFORM"));
    QApplication app(argc, argv);
    const QString what = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral("all");
    QFile load("/proc/loadavg");
    load.open(QIODevice::ReadOnly);
    std::printf("load average at start: %s", load.readAll().constData());
    if (what == "sim" || what == "all")
        benchSimulator();
    if (what == "indi" || what == "all")
        benchIndi();
    if (what == "rss" || what == "all")
        benchRss(false);
    if (what == "rss-indi" || what == "all")
        benchRss(true);
    if (what == "dead" || what == "all")
        benchDeadTime();
    PixelWorker::WaitForIdle();
    return 0;
}
