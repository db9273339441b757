// The figures of a frame against the simulator's synthetic fields, whose
// stars and seeing are known: the stars found are the stars bright enough
// to find, and the median HFR follows the seeing (a Gaussian star's HFR is
// half its FWHM). A cloud (the stars dimmed, the sky brighter) shows as the
// stars collapsing and the background rising.
#include "camera/simulator/StarField.h"
#include "image/BackgroundLevel.h"
#include "image/FitsImageWriter.h"
#include "image/FrameFigures.h"
#include "image/FramePreview.h"
#include "image/StarDetector.h"

#include <QTemporaryDir>
#include <QTest>
#include <cmath>

namespace {
constexpr double kPixelScale = 1.2;   // arc seconds per unbinned pixel
constexpr int kWidth = 1536, kHeight = 1024;

FrameSpec specFor(double seeing, int binning, double fluxFactor = 1.0, double sky = 40.0)
{
    FrameSpec spec;
    spec.BinX = spec.BinY = binning;
    spec.Width = kWidth / binning;
    spec.Height = kHeight / binning;
    spec.Seconds = 10;
    spec.FluxFactor = fluxFactor;
    spec.SkyPerSecond = sky;
    spec.ReadNoise = 9;
    spec.Bias = 1000;
    spec.FwhmPixels = seeing / kPixelScale;
    spec.NoiseSeed = 7;
    return spec;
}

// Stars whose peak stands clearly above the detection threshold (6 noise
// levels against the detector's 5) and away from the edges: nine in ten of
// them must be found (the rest may blend with a neighbour).
int clearlyVisible(const StarField& field, const FrameSpec& spec, double noise)
{
    const double sigma = spec.FwhmPixels / 2.3548 / spec.BinX;
    int count = 0;
    for (const StarField::Star& s : field.Stars()) {
        // The brightest pixel when the star sits on a pixel's corner.
        const double peak = s.FluxPerSecond * spec.Seconds * spec.FluxFactor / (2 * M_PI * sigma * sigma)
            * std::exp(-0.25 / (sigma * sigma));
        const double x = s.X / spec.BinX, y = s.Y / spec.BinY;
        if (peak > 6 * noise && x > 8 && y > 8 && x < spec.Width - 8 && y < spec.Height - 8)
            ++count;
    }
    return count;
}
}

class TestStarFigures : public QObject {
    Q_OBJECT
private slots:
    void starsAndHfrFollowTheField_data()
    {
        QTest::addColumn<double>("seeing");
        QTest::addColumn<int>("starCount");
        QTest::addColumn<int>("binning");
        QTest::newRow("good seeing, 250 stars, bin 1") << 2.0 << 250 << 1;
        QTest::newRow("poor seeing, 250 stars, bin 1") << 5.0 << 250 << 1;
        QTest::newRow("very poor seeing, 100 stars, bin 1") << 8.0 << 100 << 1;
        QTest::newRow("average seeing, 1000 stars, bin 1") << 3.0 << 1000 << 1;
        QTest::newRow("poor seeing, 250 stars, bin 2") << 5.0 << 250 << 2;
        QTest::newRow("very poor seeing, 250 stars, bin 3") << 8.0 << 250 << 3;
        QTest::newRow("no stars") << 3.0 << 0 << 1;
    }
    void starsAndHfrFollowTheField()
    {
        QFETCH(double, seeing);
        QFETCH(int, starCount);
        QFETCH(int, binning);
        const StarField field(kWidth, kHeight, starCount, 3);
        const FrameSpec spec = specFor(seeing, binning);
        const std::vector<uint16_t> pixels = field.Render(spec);
        BackgroundLevel background;
        const FrameFigures figures = FrameFigures::Of(pixels.data(), spec.Width, spec.Height, &background);

        // Background: bias plus the binned sky; noise: its photon and read noise.
        const double sky = spec.SkyPerSecond * spec.Seconds * binning * binning;
        QVERIFY2(std::abs(figures.Background - (spec.Bias + sky)) < 3, qPrintable(QString::number(figures.Background)));
        const double noise = std::sqrt(sky + spec.ReadNoise * spec.ReadNoise);
        QVERIFY2(std::abs(figures.Noise - noise) < 0.1 * noise, qPrintable(QString::number(figures.Noise)));

        const int visible = clearlyVisible(field, spec, noise);
        QVERIFY2(figures.Stars >= visible * 0.9 && figures.Stars <= starCount,
                 qPrintable(QString("%1 found, %2 clearly visible of %3").arg(figures.Stars).arg(visible).arg(starCount)));
        if (starCount == 0) {
            QCOMPARE(figures.Hfr, 0.0);
            return;
        }
        const double expected = spec.FwhmPixels / binning / 2;
        QVERIFY2(std::abs(figures.Hfr - expected) < 0.15 * expected + 0.15,
                 qPrintable(QString("HFR %1, expected %2").arg(figures.Hfr).arg(expected)));
    }

    void aFileReadInStripsGivesTheWholeFramesFigures_data()
    {
        QTest::addColumn<int>("height");   // rows; strips are 512 rows
        QTest::addColumn<double>("seeing");
        QTest::newRow("one strip") << 400 << 3.0;
        QTest::newRow("three strips") << 1300 << 3.0;
        QTest::newRow("three strips, wide stars across their edges") << 1300 << 9.0;
    }
    void aFileReadInStripsGivesTheWholeFramesFigures()
    {
        QFETCH(int, height);
        QFETCH(double, seeing);
        const StarField field(kWidth, height, 2000, 12);
        FrameSpec spec = specFor(seeing, 1);
        spec.Height = height;
        const std::vector<uint16_t> pixels = field.Render(spec);
        QTemporaryDir dir;
        const QString path = dir.filePath("strips.fit");
        FitsImageWriter::Write(path, spec.Width, spec.Height, pixels, {});
        const FrameFigures whole = FrameFigures::Of(pixels.data(), spec.Width, spec.Height);
        const FramePreview preview = FramePreview::Make(path, QSize(100, 100));
        QVERIFY2(preview.Error.isEmpty(), qPrintable(preview.Error));
        QCOMPARE(preview.Figures.Background, whole.Background);
        QCOMPARE(preview.Figures.Noise, whole.Noise);
        QVERIFY2(std::abs(preview.Figures.Stars - whole.Stars) <= whole.Stars / 100 + 1,
                 qPrintable(QString("%1 in strips, %2 whole").arg(preview.Figures.Stars).arg(whole.Stars)));
        QVERIFY(std::abs(preview.Figures.Hfr - whole.Hfr) < 0.02 * whole.Hfr);
        QCOMPARE(preview.Full.size(), QSize(spec.Width, spec.Height));
    }

    void aCloudDimsTheStarsAndRaisesTheBackground()
    {
        const StarField field(kWidth, kHeight, 250, 9);
        const FrameSpec clear = specFor(3.0, 1);
        const FrameSpec cloud = specFor(3.0, 1, 0.02, 400.0);
        const std::vector<uint16_t> a = field.Render(clear), b = field.Render(cloud);
        const FrameFigures before = FrameFigures::Of(a.data(), clear.Width, clear.Height);
        const FrameFigures after = FrameFigures::Of(b.data(), cloud.Width, cloud.Height);
        QVERIFY2(after.Stars < before.Stars / 10, qPrintable(QString("%1 -> %2").arg(before.Stars).arg(after.Stars)));
        QVERIFY(after.Background > before.Background + 3000);
    }

    void hotPixelsAndCosmicRaysAreNoStars_data()
    {
        QTest::addColumn<int>("size");   // 1: one pixel; 2: a 1 x 2 streak
        QTest::newRow("hot pixel") << 1;
        QTest::newRow("cosmic-ray streak") << 2;
    }
    void hotPixelsAndCosmicRaysAreNoStars()
    {
        QFETCH(int, size);
        const FrameSpec spec = specFor(3.0, 1);
        std::vector<uint16_t> pixels = StarField(kWidth, kHeight, 0, 1).Render(spec);
        for (int i = 0; i < 50; ++i) {
            const size_t at = size_t(20 + i * 17) * kWidth + size_t(30 + i * 29);
            pixels[at] = 60000;
            if (size == 2)
                pixels[at + 1] = 30000;
        }
        QCOMPARE(FrameFigures::Of(pixels.data(), spec.Width, spec.Height).Stars, 0);
    }

    void saturatedStarsCountButKeepOutOfTheHfr()
    {
        const FrameSpec spec = specFor(3.0, 1);
        StarField field(kWidth, kHeight, 60, 4);
        FrameSpec bright = spec;
        bright.Seconds = 600;   // the brightest stars clip at 65535
        const std::vector<uint16_t> pixels = field.Render(bright);
        BackgroundLevel background = BackgroundLevel::Of(pixels.data(), pixels.size());
        const std::vector<DetectedStar> stars = StarDetector::Find(pixels.data(), spec.Width, spec.Height, background);
        const auto saturated = std::count_if(stars.begin(), stars.end(), [](const DetectedStar& s) { return s.Saturated; });
        QVERIFY(saturated > 0);
        const double expected = spec.FwhmPixels / 2;
        const double hfr = StarDetector::MedianHfr(stars);
        QVERIFY2(std::abs(hfr - expected) < 0.2 * expected, qPrintable(QString::number(hfr)));
    }
};

QTEST_GUILESS_MAIN(TestStarFigures)
#include "tst_starfigures.moc"
