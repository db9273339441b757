// night_fault_bench: a simulated night with the faults a real night has.
//
// The main PC's run (the real MainSequenceRun on the real RunControl) takes
// 1 s frames on the Debian INDI simulators (indiserver with
// indi_simulator_ccd and indi_simulator_wheel, started here) through a TCP
// relay of its own, with the PHD2 stand-in as the guider and dithering after
// every item, the night's options on (retry, no boxes, retake frames spoilt
// by lost guiding). While it runs: the server is killed and started again
// three times, the connection is dropped twice, an Alert is put on the
// exposure once, and the stand-in loses its star twice during a frame. The
// relay, the server and the stand-in live in a thread of their own, so the
// UI thread carries only what the program does.
//
// Reports frames planned, saved (valid FITS: the primary header parses and
// the data is all there), retaken, lost, files written more than once, the
// longest time the UI thread was blocked (gap between the ticks of a 1 ms
// timer) and the peak resident memory.
//
//   night_fault_bench [passes]   (default 10: 2 items x 10 frames x passes)
#include "Phd2StandIn.h"

#include "camera/ICamera.h"
#include "camera/IMaxImApplication.h"
#include "devices/DeviceFactory.h"
#include "image/FitsPrimaryHdu.h"
#include "image/ImageError.h"
#include "platform/RunState.h"
#include "run/FrameEvent.h"
#include "run/MainSequenceRun.h"
#include "run/RandomSource.h"
#include "run/RunControl.h"
#include "run/RunHost.h"
#include "sequence/TSequence.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QPointer>
#include <QProcess>
#include <QRegularExpression>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QThread>
#include <QTimer>
#include <cstdio>
#include <signal.h>
#include <unistd.h>

namespace {
qint64 statusKb(const char* key)
{
    QFile status("/proc/self/status");
    status.open(QIODevice::ReadOnly);
    for (const QByteArray& line : status.readAll().split('\n'))
        if (line.startsWith(key))
            return line.mid(int(strlen(key))).trimmed().split(' ').first().toLongLong();
    return 0;
}

// The world outside the program: indiserver, a relay in front of it that can
// drop the connection or slip in an Alert, and the PHD2 stand-in. Lives in
// its own thread; every call comes as a queued invocation.
class World : public QObject {
    Q_OBJECT
public:
    World(QString dir, int serverPort) : m_dir(std::move(dir)), m_serverPort(serverPort) {}

    int RelayPort() const { return m_relayPort; }
    int Phd2Port() const { return m_phd2Port; }

public slots:
    void Start()
    {
        m_relay = new QTcpServer(this);
        m_relay->listen(QHostAddress::LocalHost, 0);
        m_relayPort = m_relay->serverPort();
        connect(m_relay, &QTcpServer::newConnection, this, &World::accept);
        m_phd2 = new Phd2StandIn(this);
        m_phd2->Listen();
        m_phd2Port = m_phd2->Port();
        m_phd2->SetGain(0.7);
        m_phd2->StartFrames(500);
        StartServer();
    }
    void StartServer()
    {
        m_server = new QProcess(this);
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("HOME", m_dir);
        m_server->setProcessEnvironment(env);
        m_server->setStandardOutputFile(m_dir + "/indiserver.log", QIODevice::Append);
        m_server->setProcessChannelMode(QProcess::MergedChannels);
        m_server->setChildProcessModifier([] { ::setsid(); });   // its drivers die with it
        m_server->start("indiserver", {"-p", QString::number(m_serverPort), "-r", "0", "-u", m_dir + "/sock",
                                       "indi_simulator_ccd", "indi_simulator_wheel"});
        m_server->waitForStarted(5000);
    }
    void KillServer(int downMs)
    {
        ::killpg(pid_t(m_server->processId()), SIGKILL);
        m_server->waitForFinished(5000);
        m_server->deleteLater();
        QTimer::singleShot(downMs, this, &World::StartServer);
    }
    void StopServer()
    {
        if (m_server && m_server->state() != QProcess::NotRunning) {
            ::killpg(pid_t(m_server->processId()), SIGTERM);
            m_server->waitForFinished(5000);
        }
        m_phd2->StopFrames();
        m_phd2->Close();
        // Back to the main thread, where it is destroyed.
        moveToThread(QCoreApplication::instance()->thread());
    }
    void DropConnection()
    {
        for (const auto& [down, up] : std::as_const(m_pairs)) {
            if (down)
                down->abort();
            if (up)
                up->abort();
        }
    }
    void Alert()
    {
        for (const auto& pair : std::as_const(m_pairs))
            if (pair.first && pair.first->state() == QAbstractSocket::ConnectedState)
                pair.first->write("<setNumberVector device=\"CCD Simulator\" name=\"CCD_EXPOSURE\" state=\"Alert\" "
                                  "message=\"[ERROR] injected by the bench\"><oneNumber name=\"CCD_EXPOSURE_VALUE\">0"
                                  "</oneNumber></setNumberVector>\n");
    }
    void LoseStar(int forMs)
    {
        m_phd2->LoseStar();
        QTimer::singleShot(forMs, this, [this] { m_phd2->RecoverStar(); });
    }

private:
    void accept()
    {
        while (QTcpSocket* down = m_relay->nextPendingConnection()) {
            auto* up = new QTcpSocket(this);
            m_pairs.append(qMakePair(QPointer<QTcpSocket>(down), QPointer<QTcpSocket>(up)));
            const auto closeBoth = [down, up] {
                down->abort();
                up->abort();
            };
            connect(down, &QTcpSocket::readyRead, up, [down, up] { up->write(down->readAll()); });
            connect(up, &QTcpSocket::readyRead, down, [down, up] { down->write(up->readAll()); });
            connect(up, &QTcpSocket::disconnected, this, closeBoth);
            connect(up, &QTcpSocket::errorOccurred, this, closeBoth);
            connect(down, &QTcpSocket::disconnected, this, closeBoth);
            up->connectToHost(QHostAddress::LocalHost, quint16(m_serverPort));
        }
    }

    QString m_dir;
    int m_serverPort;
    int m_relayPort = 0, m_phd2Port = 0;
    QTcpServer* m_relay = nullptr;
    QProcess* m_server = nullptr;
    Phd2StandIn* m_phd2 = nullptr;
    QList<QPair<QPointer<QTcpSocket>, QPointer<QTcpSocket>>> m_pairs;
};

// The window as the run sees it: the camera from the settings file, the
// night's options on, and the faults fired as frames are saved.
class BenchHost : public RunHost {
public:
    BenchHost(QString ini, World& world) : m_ini(std::move(ini)), m_world(world) {}

    TSequence Sequence;
    RunState Flags;
    QStringList Filters;
    QStringList Events;
    int Saves = 0, Started = 0;
    QHash<QString, int> SavedPaths;
    std::function<void(int saves)> OnSaved;

    bool Connect(QString* why)
    {
        m_camera.reset();
        m_app.reset();
        try {
            m_app = CreateMaxImApplication(m_ini);
            m_camera = m_app->CCDCamera();
            m_camera->SetLinkEnabled(true);
            if (Filters.isEmpty())
                for (int i = 0; i < 8; ++i)
                    Filters << m_camera->FilterNames(i);
            return true;
        } catch (const Error& e) {
            *why = e.message();
            m_camera.reset();
            m_app.reset();
            return false;
        }
    }

    void SetStartEnabled(bool) override {}
    void SetStopEnabled(bool) override {}
    void SetRunStatusText(const QString&) override {}
    void SelectGridRow(int) override {}
    void SetStartIterationPosition(int position) override { Sequence.StartIteration = position; }
    int RunMessageBox(const QString& text, const QString& caption, int) override
    {
        Events << "BOX " + caption + ": " + text;
        return 7;
    }
    bool SendToPeer(const QString&) override { return true; }
    ICamera* RunCamera() override { return m_camera.get(); }
    TSequence& RunSequence() override { return Sequence; }
    const QStringList& RunFilterList() override { return Filters; }
    RunState& RunFlags() override { return Flags; }
    void RunFrameEvent(const FrameEvent& e) override
    {
        if (e.What == FrameEvent::Kind::Started)
            ++Started;
        if (e.What == FrameEvent::Kind::Saved) {
            ++SavedPaths[e.Path];
            if (OnSaved)
                OnSaved(++Saves);
        }
    }
    NightOptions RunNightOptions() override
    {
        NightOptions o;
        o.Retry = true;
        o.RetryTries = 8;
        o.RetryPauseSeconds = 2;
        o.GuiderWaitMinutes = 2;
        o.NoBoxes = true;
        o.RetakeLostGuiding = true;
        return o;
    }
    void RunNightEvent(const QDateTime& utc, const QString& text) override
    {
        Events << utc.toString(Qt::ISODateWithMs) + "  " + text;
        printf("   %s  %s\n", qPrintable(utc.toString("HH:mm:ss.zzz")), qPrintable(text));
        fflush(stdout);
    }
    bool RunReconnectCamera(QString* why) override { return Connect(why); }

private:
    QString m_ini;
    World& m_world;
    std::unique_ptr<IMaxImApplication> m_app;
    std::unique_ptr<ICamera> m_camera;
};
}

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const int passes = argc > 1 ? std::max(1, atoi(argv[1])) : 10;
    QTemporaryDir dir;
    QDir().mkdir(dir.filePath("images"));
    QTcpServer probe;
    probe.listen(QHostAddress::LocalHost, 0);
    const int serverPort = probe.serverPort();
    probe.close();

    QThread worldThread;
    World world(dir.path(), serverPort);
    world.moveToThread(&worldThread);
    worldThread.start();
    QMetaObject::invokeMethod(&world, &World::Start, Qt::BlockingQueuedConnection);
    QThread::msleep(2000);   // the drivers define their properties

    const QString ini = dir.filePath("Tandexa.ini");
    QFile f(ini);
    f.open(QIODevice::WriteOnly);
    f.write(QStringLiteral("[Camera]\r\nDriver=INDI\r\nIndiHost=127.0.0.1\r\nIndiPort=%1\r\nIndiReplyTimeout=10\r\n"
                           "IndiImageTimeout=20\r\n[Guider]\r\nDriver=PHD2\r\nPhd2Host=127.0.0.1\r\nPhd2Instance=%2\r\n")
                .arg(world.RelayPort())
                .arg(world.Phd2Port() - 4399)
                .toUtf8());
    f.close();

    BenchHost host(ini, world);
    QString why;
    if (!host.Connect(&why)) {
        fprintf(stderr, "cannot connect: %s\n", qPrintable(why));
        return 1;
    }
    TSequence& s = host.Sequence;
    s.ImgFileName = "Night";
    s.DestDir = dir.filePath("images");
    s.Iterations = passes;
    s.StartIteration = 1;
    s.DelayFrame = 0;
    s.PixelDither = Decimal4::FromCount(10000);
    s.WhileGuideError = Decimal4::FromCount(10000);
    s.Items = {TSequenceItem {0, 1, 1, 10, "R"}, TSequenceItem {1, 1, 1, 10, "G"}};
    const int planned = passes * 20;

    // The faults, each fired as a given number of files is saved (scaled to
    // the night's length; not at an item's end, so that they meet a frame),
    // in the world's thread.
    const auto at = [planned](int of200) { return std::max(1, of200 * planned / 200); };
    const QHash<int, std::function<void()>> faults {
        {at(23), [&] { QMetaObject::invokeMethod(&world, [&] { world.KillServer(3000); }); }},
        {at(34), [&] { QTimer::singleShot(300, [&] { QMetaObject::invokeMethod(&world, [&] { world.LoseStar(1500); }); }); }},
        {at(47), [&] { QTimer::singleShot(300, [&] { QMetaObject::invokeMethod(&world, &World::DropConnection); }); }},
        {at(86), [&] { QMetaObject::invokeMethod(&world, [&] { world.KillServer(5000); }); }},
        {at(113), [&] { QTimer::singleShot(300, [&] { QMetaObject::invokeMethod(&world, &World::DropConnection); }); }},
        {at(142), [&] { QMetaObject::invokeMethod(&world, [&] { world.KillServer(2000); }); }},
        {at(165), [&] { QTimer::singleShot(300, [&] { QMetaObject::invokeMethod(&world, [&] { world.LoseStar(1500); }); }); }},
        {at(177), [&] { QTimer::singleShot(400, [&] { QMetaObject::invokeMethod(&world, &World::Alert); }); }},
    };
    host.OnSaved = [&](int saves) {
        if (const auto it = faults.constFind(saves); it != faults.cend()) {
            printf("-- after %d files: fault\n", saves);
            (*it)();
        }
    };

    RunControl control(host.Flags, host);
    QElapsedTimer clock;
    clock.start();
    qint64 lastTick = 0, longestGap = 0;
    QTimer ticker;
    ticker.setTimerType(Qt::PreciseTimer);
    QObject::connect(&ticker, &QTimer::timeout, [&] {
        const qint64 now = clock.nsecsElapsed();
        if (lastTick)
            longestGap = std::max(longestGap, now - lastTick);
        lastTick = now;
    });
    QThread::msleep(1100);   // past the wait timer's first second
    QCoreApplication::processEvents();
    ticker.start(1);
    printf("night of %d frames (2 items x 10 frames x %d passes), 1 s each\n", planned, passes);
    CRandomSource random;
    MainSequenceRun(host, control, random).Run();
    ticker.stop();
    const double seconds = clock.elapsed() / 1000.0;

    int valid = 0;
    QStringList invalid;
    const QStringList files = QDir(s.DestDir).entryList({"*.fit"}, QDir::Files);
    for (const QString& name : files) {
        QFile image(QDir(s.DestDir).filePath(name));
        image.open(QIODevice::ReadOnly);
        try {
            FitsPrimaryHdu::Inspect(image.readAll());
            ++valid;
        } catch (const ImageError& e) {
            invalid << name + ": " + e.message();
        }
    }
    int twice = 0;
    for (int n : std::as_const(host.SavedPaths))
        twice += n > 1 ? 1 : 0;
    const int retaken = int(host.Events.filter(QRegularExpression("taking .*again")).size());
    const bool fitsverify = QFileInfo::exists("/usr/bin/fitsverify");
    int verifyErrors = -1;
    if (fitsverify) {
        QProcess verify;
        verify.setWorkingDirectory(s.DestDir);
        verify.start("/usr/bin/fitsverify", QStringList {"-q", "-e"} + files);
        verify.waitForFinished(120000);
        verifyErrors = verify.exitCode();
    }
    QMetaObject::invokeMethod(&world, &World::StopServer, Qt::BlockingQueuedConnection);
    worldThread.quit();
    worldThread.wait();

    printf("\nframes planned            %d\n", planned);
    printf("frames saved             %d (valid FITS: %d; fitsverify errors: %s)\n", int(files.size()), valid,
           fitsverify ? qPrintable(QString::number(verifyErrors)) : "not installed");
    printf("frames retaken           %d\n", retaken);
    printf("frames lost              %d\n", planned - int(files.size()));
    printf("files written twice      %d\n", twice);
    printf("boxes shown              %d\n", int(host.Events.filter("BOX ").size()));
    printf("night's events           %d\n", int(host.Events.size()));
    printf("longest UI thread block  %.1f ms\n", longestGap / 1e6);
    printf("peak resident memory     %.1f MB\n", statusKb("VmHWM:") / 1024.0);
    printf("time                     %.0f s\n", seconds);
    for (const QString& line : invalid)
        printf("invalid: %s\n", qPrintable(line));
    return files.size() == planned && valid == planned && twice == 0 ? 0 : 1;
}

#include "NightFaultBench.moc"
