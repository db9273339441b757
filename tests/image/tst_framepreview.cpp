// Reading a frame back and what the preview makes of it: the screen stretch
// on flat, dark and saturated frames, the reader on the kinds of image a
// camera writes, and the preview of a file (header facts, sizes, errors).
#include "image/BackgroundLevel.h"
#include "image/FitsImageReader.h"
#include "image/FitsImageWriter.h"
#include "image/FramePreview.h"
#include "image/ImageError.h"
#include "image/ScreenStretch.h"

#include <QTemporaryDir>
#include <QTest>
#include <fitsio.h>
#include <random>

namespace {
// A w x h frame of `level` with Gaussian noise of `sigma` and, when `star`
// is above 0, one bright 5 x 5 square of that value in its middle.
std::vector<uint16_t> frame(int w, int h, double level, double sigma, int star = 0)
{
    std::mt19937 gen(11);
    std::normal_distribution<double> noise(0.0, sigma > 0 ? sigma : 1.0);
    std::vector<uint16_t> p(size_t(w) * size_t(h));
    for (uint16_t& v : p)
        v = uint16_t(std::clamp(level + (sigma > 0 ? noise(gen) : 0.0), 0.0, 65535.0));
    for (int y = h / 2 - 2; star > 0 && y <= h / 2 + 2; ++y)
        for (int x = w / 2 - 2; x <= w / 2 + 2; ++x)
            p[size_t(y) * size_t(w) + size_t(x)] = uint16_t(star);
    return p;
}

QSet<int> greys(const QImage& image)
{
    QSet<int> seen;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            seen.insert(qGray(image.pixel(x, y)));
    return seen;
}
}

class TestFramePreview : public QObject {
    Q_OBJECT
private slots:
    void stretchShowsEveryKindOfFrame_data()
    {
        QTest::addColumn<double>("level");
        QTest::addColumn<double>("sigma");
        QTest::addColumn<int>("star");
        QTest::addColumn<int>("background");   // expected grey of the median, -1: any
        QTest::addColumn<int>("starGrey");     // expected grey of the star, -1: none
        QTest::newRow("constant frame: its level, linearly") << 20000.0 << 0.0 << 0 << 78 << -1;
        QTest::newRow("black frame") << 0.0 << 0.0 << 0 << 0 << -1;
        QTest::newRow("saturated frame: white") << 65535.0 << 0.0 << 0 << 255 << -1;
        QTest::newRow("flat field: mid level with noise") << 30000.0 << 170.0 << 0 << 64 << -1;
        QTest::newRow("dark: bias and read noise") << 1000.0 << 9.0 << 0 << 64 << -1;
        QTest::newRow("light with a saturated star") << 1400.0 << 22.0 << 65535 << 64 << 255;
        QTest::newRow("light with a faint star") << 1400.0 << 22.0 << 1600 << 64 << 120;
    }
    void stretchShowsEveryKindOfFrame()
    {
        QFETCH(double, level);
        QFETCH(double, sigma);
        QFETCH(int, star);
        QFETCH(int, background);
        QFETCH(int, starGrey);
        const int w = 64, h = 48;
        const std::vector<uint16_t> pixels = frame(w, h, level, sigma, star);
        const BackgroundLevel bg = BackgroundLevel::Of(pixels.data(), pixels.size());
        const ScreenStretch stretch(bg);
        const QImage image = stretch.Apply(pixels.data(), w, h);
        QCOMPARE(image.size(), QSize(w, h));
        QCOMPARE(image.format(), QImage::Format_Grayscale8);
        QVERIFY2(std::abs(stretch.Map(uint16_t(bg.Median)) - background) <= 2,
                 qPrintable(QString::number(stretch.Map(uint16_t(bg.Median)))));
        if (sigma == 0) {   // no spread: one grey everywhere
            QCOMPARE(greys(image).size(), 1);
        } else {            // the noise shows, neither crushed to black nor blown out
            QVERIFY(greys(image).size() > 20);
            QVERIFY(stretch.Map(uint16_t(bg.Median - 3 * bg.Noise())) == 0);
        }
        if (starGrey >= 0)
            QVERIFY2(qGray(image.pixel(w / 2, h / 2)) >= starGrey, qPrintable(QString::number(qGray(image.pixel(w / 2, h / 2)))));
    }

    void readsWhatTheWriterWrote()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath("a.fit");
        std::vector<uint16_t> pixels = frame(40, 30, 1000, 30);
        pixels[0] = 0;
        pixels[1] = 65535;
        FitsImageWriter::Write(path, 40, 30, pixels, {{"FILTER", QString("O'III"), ""}, {"EXPTIME", 30.5, ""},
                                                      {"XBINNING", 2, ""}, {"DATE-OBS", QString("2026-01-01T20:00:00.125"), ""}});
        const FitsImage image = FitsImageReader::Read(path);
        QCOMPARE(image.Width, 40);
        QCOMPARE(image.Height, 30);
        QVERIFY(image.Pixels == pixels);
        QCOMPARE(image.Key("FILTER"), QString("O'III"));
        QCOMPARE(image.Key("EXPTIME").toDouble(), 30.5);

        const FramePreview p = FramePreview::Make(path, QSize(20, 20));
        QVERIFY2(p.Error.isEmpty(), qPrintable(p.Error));
        QCOMPARE(p.Filter, QString("O'III"));
        QCOMPARE(p.Exposure, 30.5);
        QCOMPARE(p.BinX, 2);
        QCOMPARE(p.DateObs, QDateTime(QDate(2026, 1, 1), QTime(20, 0, 0, 125), Qt::UTC));
        QCOMPARE(p.Full.size(), QSize(40, 30));
        QCOMPARE(p.Fit.size(), QSize(20, 15));
        QVERIFY(std::abs(p.Figures.Background - 1000) < 5);
    }

    void readsFloatingPointAndSignedImages_data()
    {
        QTest::addColumn<int>("bitpix");
        QTest::newRow("float") << FLOAT_IMG;
        QTest::newRow("32-bit") << LONG_IMG;
        QTest::newRow("signed 16-bit") << SHORT_IMG;
    }
    void readsFloatingPointAndSignedImages()
    {
        QFETCH(int, bitpix);
        QTemporaryDir dir;
        const QByteArray path = QFile::encodeName(dir.filePath("f.fit"));
        fitsfile* f = nullptr;
        int status = 0;
        long axes[2] = {3, 2};
        fits_create_diskfile(&f, path.constData(), &status);
        fits_create_img(f, bitpix, 2, axes, &status);
        double values[6] = {0, 10, 20, 30, 40, 50};
        fits_write_img(f, TDOUBLE, 1, 6, values, &status);
        fits_close_file(f, &status);
        QCOMPARE(status, 0);
        const FitsImage image = FitsImageReader::Read(QString::fromLocal8Bit(path));
        QCOMPARE(image.Width, 3);
        QCOMPARE(image.Height, 2);
        if (bitpix == SHORT_IMG)
            QCOMPARE(image.Pixels, std::vector<uint16_t>({0, 10, 20, 30, 40, 50}));
        else   // lowest to highest onto the full range
            QCOMPARE(image.Pixels, std::vector<uint16_t>({0, 13107, 26214, 39321, 52428, 65535}));
    }

    void aFileThatCannotBeShownSaysWhy_data()
    {
        QTest::addColumn<QByteArray>("content");   // empty: no file
        QTest::addColumn<QString>("reason");
        QTest::newRow("missing") << QByteArray() << "the file does not exist";
        QTest::newRow("not FITS") << QByteArray("TEST IMAGE\n") << "Unable to read image";
        QTest::newRow("header only") << QByteArray("SIMPLE  =                    T").leftJustified(2880, ' ') << "Unable to read image";
    }
    void aFileThatCannotBeShownSaysWhy()
    {
        QFETCH(QByteArray, content);
        QFETCH(QString, reason);
        QTemporaryDir dir;
        const QString path = dir.filePath("bad.fit");
        if (!content.isEmpty()) {
            QFile f(path);
            QVERIFY(f.open(QIODevice::WriteOnly));
            f.write(content);
        }
        const FramePreview p = FramePreview::Make(path, QSize(10, 10));
        QVERIFY2(p.Error.contains(reason) && p.Error.contains(path), qPrintable(p.Error));
        QVERIFY(p.Full.isNull() && p.Fit.isNull());
        QVERIFY_THROWS_EXCEPTION(ImageError, FitsImageReader::Read(path));
    }

    void scalingToFitAveragesAndKeepsTheAspect_data()
    {
        QTest::addColumn<QSize>("image");
        QTest::addColumn<QSize>("view");
        QTest::addColumn<QSize>("fitted");
        QTest::newRow("fits already") << QSize(100, 50) << QSize(200, 200) << QSize(100, 50);
        QTest::newRow("whole blocks") << QSize(400, 300) << QSize(200, 150) << QSize(200, 150);
        QTest::newRow("wide") << QSize(9576, 6388) << QSize(232, 174) << QSize(232, 155);
        QTest::newRow("tall") << QSize(300, 1000) << QSize(232, 174) << QSize(52, 174);
    }
    void scalingToFitAveragesAndKeepsTheAspect()
    {
        QFETCH(QSize, image);
        QFETCH(QSize, view);
        QFETCH(QSize, fitted);
        QImage in(image, QImage::Format_Grayscale8);
        for (int y = 0; y < in.height(); ++y)   // stripes of 0 and 200: mean 100, brightest 200
            memset(in.scanLine(y), y % 2 ? 200 : 0, size_t(in.width()));
        const QImage out = FramePreview::ScaledToFit(in, view);
        QVERIFY2(std::abs(out.width() - fitted.width()) <= 1 && std::abs(out.height() - fitted.height()) <= 1,
                 qPrintable(QString("%1 x %2").arg(out.width()).arg(out.height())));
        if (out.size() != image)   // halfway between mean and brightest: neither stripe's grey
            QVERIFY2(std::abs(qGray(out.pixel(out.width() / 2, out.height() / 2)) - 150) <= 25,
                     qPrintable(QString::number(qGray(out.pixel(out.width() / 2, out.height() / 2)))));
    }
};

QTEST_GUILESS_MAIN(TestFramePreview)
#include "tst_framepreview.moc"
