#include "FramePreview.h"

#include "image/BackgroundLevel.h"
#include "image/FitsImageReader.h"
#include "image/FitsKeyword.h"
#include "image/ImageError.h"
#include "image/ScreenStretch.h"

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

FramePreview FramePreview::Make(const QString& path, QSize fitSize, bool draw)
{
    FramePreview p;
    p.Path = path;
    try {
        FitsImage image = FitsImageReader::Read(path);
        p.Width = image.Width;
        p.Height = image.Height;
        p.Filter = image.Key(QStringLiteral("FILTER"));
        p.Exposure = image.Key(QStringLiteral("EXPTIME")).toDouble();
        p.BinX = image.Key(QStringLiteral("XBINNING")).toInt();
        p.BinY = image.Key(QStringLiteral("YBINNING")).toInt();
        p.DateObs = ParseDateObs(image.Key(QStringLiteral("DATE-OBS")));
        BackgroundLevel background;
        p.Figures = FrameFigures::Of(image.Pixels.data(), image.Width, image.Height, &background);
        if (!draw)
            return p;
        p.Full = ScreenStretch(background).Apply(image.Pixels.data(), image.Width, image.Height);
        image = FitsImage();   // the 16-bit pixels go before the scaling
        if (p.Full.isNull())
            throw ImageError(QStringLiteral("Unable to show image %1: not enough memory").arg(path));
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
