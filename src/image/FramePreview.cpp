#include "FramePreview.h"

#include "image/BackgroundLevel.h"
#include "image/FitsImageReader.h"
#include "image/FitsKeyword.h"
#include "image/ImageError.h"
#include "image/ScreenStretch.h"
#include "image/StarDetector.h"

#include <algorithm>
#include <cmath>

QImage FramePreview::ScaledToFit(const QImage& image, QSize size)
{
    if (image.isNull() || size.isEmpty())
        return QImage();
    if (image.width() <= size.width() && image.height() <= size.height())
        return image;
    // Whole blocks first (each pixel read once), each shown halfway between
    // its mean and its brightest pixel: a plain mean would wash a star of a
    // pixel or two out of a 40-fold reduction. Then a smooth scale of the
    // small result to the exact size.
    const int k = std::max(1, std::max(image.width() / size.width(), image.height() / size.height()));
    const int w = image.width() / k, h = image.height() / k;
    QImage blocks(w, h, QImage::Format_Grayscale8);
    std::vector<uint32_t> sums(static_cast<size_t>(w));
    std::vector<uint8_t> peaks(static_cast<size_t>(w));
    for (int by = 0; by < h; ++by) {
        std::fill(sums.begin(), sums.end(), 0u);
        std::fill(peaks.begin(), peaks.end(), uint8_t(0));
        for (int y = by * k; y < by * k + k; ++y) {
            const uchar* in = image.constScanLine(y);
            for (int bx = 0; bx < w; ++bx) {
                const uchar* p = in + bx * k;
                uint32_t s = 0;
                uint8_t top = peaks[size_t(bx)];
                for (int i = 0; i < k; ++i) {
                    s += p[i];
                    top = std::max<uint8_t>(top, p[i]);
                }
                sums[size_t(bx)] += s;
                peaks[size_t(bx)] = top;
            }
        }
        uchar* out = blocks.scanLine(by);
        for (int bx = 0; bx < w; ++bx)
            out[bx] = uchar((sums[size_t(bx)] / uint32_t(k * k) + peaks[size_t(bx)] + 1) / 2);
    }
    if (w <= size.width() && h <= size.height())
        return blocks;
    return blocks.scaled(size, Qt::KeepAspectRatio, Qt::SmoothTransformation);
}

FramePreview FramePreview::Make(const QString& path, QSize fitSize, bool draw, const std::function<void()>& between)
{
    FramePreview p;
    p.Path = path;
    try {
        FitsImageReader reader(path);
        const int w = reader.Width(), h = reader.Height();
        p.Width = w;
        p.Height = h;
        p.Filter = reader.Key(QStringLiteral("FILTER"));
        p.Exposure = reader.Key(QStringLiteral("EXPTIME")).toDouble();
        p.BinX = reader.Key(QStringLiteral("XBINNING")).toInt();
        p.BinY = reader.Key(QStringLiteral("YBINNING")).toInt();
        p.DateObs = ParseDateObs(reader.Key(QStringLiteral("DATE-OBS")));

        // Two passes over strips of rows, so the 16-bit frame is never in
        // memory whole: the histogram first, then the stars (each strip with
        // a margin of rows around it) and the stretched rows.
        constexpr int kStrip = 512;
        const int margin = StarDetector::Margin;
        std::vector<uint16_t> strip(size_t(w) * size_t(std::min(h, kStrip + 2 * margin)));
        std::vector<size_t> histogram;
        for (int first = 0; first < h; first += kStrip) {
            const int rows = std::min(kStrip, h - first);
            if (between)
                between();
            reader.ReadRows(first, rows, strip.data());
            BackgroundLevel::Count(histogram, strip.data(), size_t(rows) * size_t(w));
        }
        const BackgroundLevel background = BackgroundLevel::FromHistogram(histogram);
        const ScreenStretch stretch(background);
        if (draw) {
            p.Full = QImage(w, h, QImage::Format_Grayscale8);
            if (p.Full.isNull())
                throw ImageError(QStringLiteral("Unable to show image %1: not enough memory").arg(path));
        }
        StarDetector detector(w, h, background);
        for (int first = 0; first < h; first += kStrip) {
            const int rows = std::min(kStrip, h - first);
            if (between)
                between();
            const int from = std::max(0, first - margin), to = std::min(h, first + rows + margin);
            reader.ReadRows(from, to - from, strip.data());
            detector.Scan(strip.data(), from, to - from, first, rows);
            for (int y = first; draw && y < first + rows; ++y) {
                const uint16_t* in = strip.data() + size_t(y - from) * size_t(w);
                uchar* out = p.Full.scanLine(y);
                for (int x = 0; x < w; ++x)
                    out[x] = stretch.Map(in[x]);
            }
        }
        p.Figures = FrameFigures::From(background, detector.Stars());
        if (draw)
            p.Fit = ScaledToFit(p.Full, fitSize);
    } catch (const ImageError& e) {
        p.Error = e.message();
        p.Full = QImage();
        p.Fit = QImage();
    } catch (const std::bad_alloc&) {
        p.Error = QStringLiteral("Unable to show image %1: not enough memory").arg(path);
        p.Full = QImage();
        p.Fit = QImage();
    }
    return p;
}
