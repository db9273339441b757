// Times the simulated camera's frame: rendering a 4096 x 4096 star field and
// saving it as a 16-bit FITS file, the work one SaveImage does. Prints the
// best and median of several runs, split into rendering and the whole save.
//   bench_camera [output-folder] [runs]
#include "camera/ManualCameraClock.h"
#include "camera/simulator/SimulatedCamera.h"
#include "camera/simulator/SimulatorSettings.h"
#include "camera/simulator/StarField.h"

#include <QDir>
#include <QTemporaryDir>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <vector>

namespace {
double msSince(std::chrono::steady_clock::time_point t0)
{
    return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - t0).count();
}

void report(const char* what, std::vector<double> ms)
{
    std::sort(ms.begin(), ms.end());
    std::printf("%-28s best %7.1f ms   median %7.1f ms   worst %7.1f ms\n", what, ms.front(), ms[ms.size() / 2],
                ms.back());
}
}

int main(int argc, char** argv)
{
    // Usage: bench_camera [folder [runs]]; the last frame is kept in the folder.
    QTemporaryDir tmp;
    const QString folder = argc > 1 ? QString::fromLocal8Bit(argv[1]) : tmp.path();
    const int runs = argc > 2 ? std::max(1, atoi(argv[2])) : 7;

    SimulatorSettings settings;
    settings.SensorWidth = 4096;
    settings.SensorHeight = 4096;
    settings.StarCount = 2000;
    auto clock = std::make_shared<ManualCameraClock>();
    SimulatedCamera camera(settings, clock);
    camera.SetLinkEnabled(true);

    StarField field(4096, 4096, settings.StarCount, settings.FieldSeed);
    FrameSpec spec;
    spec.Width = spec.Height = 4096;
    spec.Seconds = 60;
    spec.SkyPerSecond = settings.SkyLevel;
    spec.ReadNoise = settings.ReadNoise;
    spec.Bias = settings.Bias;
    spec.FwhmPixels = settings.Seeing / settings.PixelScale;

    std::vector<double> render, save;
    for (int i = 0; i < runs; ++i) {
        spec.NoiseSeed = quint64(i + 1);
        auto t0 = std::chrono::steady_clock::now();
        const auto pixels = field.Render(spec);
        render.push_back(msSince(t0));

        camera.Expose(60, -1);
        clock->Advance(61);
        camera.ImageReady();
        const QString path = QDir(folder).filePath(QStringLiteral("bench-%1.fit").arg(i));
        t0 = std::chrono::steady_clock::now();
        camera.SaveImage(path);
        save.push_back(msSince(t0));
        if (i + 1 < runs)   // the last frame stays, to be looked at
            QFile::remove(path);
    }
    std::printf("4096 x 4096, %d stars, %d runs, files in %s\n", settings.StarCount, runs, qPrintable(folder));
    report("render only", render);
    report("render + save (SaveImage)", save);
    return 0;
}
