// bench_indi: exposure end to file on disk with the INDI CCD simulator.
// Starts its own indiserver (HOME and local socket in a temporary folder, a
// free loopback port), takes 1 s exposures at full frame for each chip size
// and reports, per frame: the BLOB's arrival at the socket to the image being
// complete, to ImageReady() seeing it when polled every 100 ms as a run
// does, to SaveImage() returning; and the longest time the UI thread was
// blocked (gap between the ticks of a 1 ms timer) before SaveImage and
// during it.
//
//   bench_indi [frames per size]   (default 3)
#include "camera/ICamera.h"
#include "camera/IDocument.h"
#include "camera/indi/IndiApplication.h"
#include "camera/indi/IndiClient.h"
#include "IndiServer.h"   // the tests' indiserver launcher

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFileInfo>
#include <QProcess>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QThread>
#include <QTimer>
#include <cstdio>

namespace {
void pump(int ms)
{
    QEventLoop loop;
    QTimer::singleShot(ms, Qt::PreciseTimer, &loop, &QEventLoop::quit);
    loop.exec();
}
}

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const int frames = argc > 1 ? std::max(1, atoi(argv[1])) : 3;
    QTemporaryDir dir;
    IndiServer server;
    QString why;
    if (!server.Start({"indi_simulator_ccd", "indi_simulator_wheel"}, &why)) {
        fprintf(stderr, "%s\n", qPrintable(why));
        return 1;
    }
    const int port = server.Port();

    int status = 0;
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
        qint64 arrived = -1, complete = -1, lastTick = 0, maxGap = 0;
        bool measuring = false;
        QTimer ticker;
        ticker.setTimerType(Qt::PreciseTimer);
        ticker.setInterval(1);
        QObject::connect(&ticker, &QTimer::timeout, [&] {
            const qint64 now = clock.nsecsElapsed();
            if (measuring)
                maxGap = std::max(maxGap, now - lastTick);
            lastTick = now;
        });
        QObject::connect(&client, &IndiClient::blobArriving, [&] {
            arrived = clock.nsecsElapsed();
            lastTick = arrived;
            measuring = true;
        });
        quint64 seen = 0;
        QObject::connect(&client, &IndiClient::changed, [&] {
            const quint64 s = client.blob("CCD Simulator", "CCD1").Serial;
            if (s != seen) {
                seen = s;
                complete = clock.nsecsElapsed();
            }
        });
        ticker.start();

        printf("frame        MB   arrive->complete  ->ImageReady  ->saved   UI block before save  SaveImage  longest read pass\n");
        for (int size : {0, 4096}) {
            if (size) {
                client.request(IndiKind::Number, "CCD Simulator", "SIMULATOR_SETTINGS",
                               {{"SIM_XRES", QString::number(size)}, {"SIM_YRES", QString::number(size)}},
                               [&](const IndiProperty& p) { return p.number("SIM_XRES").value_or(0) == size; }, 10000,
                               "setting the chip size");
                pump(500);
            }
            camera->SetBinX(1);
            camera->SetBinY(1);
            camera->SetFullFrame();
            const IndiProperty* info = client.cache().find("CCD Simulator", "CCD_INFO");
            const int w = int(info->number("CCD_MAX_X").value_or(0)), h = int(info->number("CCD_MAX_Y").value_or(0));
            for (int i = 0; i < frames; ++i) {
                arrived = complete = -1;
                maxGap = 0;
                measuring = false;
                camera->Expose(1, -1);
                while (!camera->ImageReady())
                    pump(100);
                const qint64 ready = clock.nsecsElapsed();
                const qint64 gapBefore = maxGap;
                measuring = false;
                auto doc = camera->Document();
                doc->SetDisplayName("bench");
                const QString path = dir.filePath(QString("frame-%1.fit").arg(size));
                const qint64 saveStart = clock.nsecsElapsed();
                camera->SaveImage(path);
                const qint64 saved = clock.nsecsElapsed();
                const double ms = 1e-6;
                printf("%4d x %-4d %6.1f  %10.1f ms  %9.1f ms  %7.1f ms  %12.1f ms  %9.1f ms  %9lld ms\n", w, h,
                       QFileInfo(path).size() / 1048576.0, (complete - arrived) * ms, (ready - arrived) * ms,
                       (saved - arrived) * ms, gapBefore * ms, (saved - saveStart) * ms, client.longestReadPassMs());
                fflush(stdout);
            }
        }
        camera->Release();
        application.Release();
    } catch (const std::exception& e) {
        fprintf(stderr, "failed: %s\n", e.what());
        status = 1;
    }
    return status;
}
