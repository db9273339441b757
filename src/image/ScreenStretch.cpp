#include "ScreenStretch.h"

#include <algorithm>
#include <cmath>

double ScreenStretch::Midtones(double m, double x)
{
    if (x <= 0)
        return 0;
    if (x >= 1)
        return 1;
    if (m <= 0)
        return 1;
    if (m >= 1)
        return 0;
    return (m - 1) * x / ((2 * m - 1) * x - m);
}

ScreenStretch::ScreenStretch(const BackgroundLevel& background)
{
    const double median = background.Median / 65535.0;
    const double noise = background.Noise() / 65535.0;
    if (noise <= 0) {
        for (int v = 0; v < 65536; ++v)
            m_table[size_t(v)] = uint8_t(std::lround(v * 255.0 / 65535.0));
        return;
    }
    const double shadows = std::max(0.0, median - ShadowSigmas * noise);
    const double range = 1.0 - shadows;
    // The midtones balance that puts the median at Target.
    const double m = Midtones(Target, (median - shadows) / range);
    for (int v = 0; v < 65536; ++v) {
        const double x = (v / 65535.0 - shadows) / range;
        m_table[size_t(v)] = uint8_t(std::lround(255.0 * Midtones(m, x)));
    }
}

QImage ScreenStretch::Apply(const uint16_t* pixels, int width, int height) const
{
    QImage image(width, height, QImage::Format_Grayscale8);
    if (image.isNull())
        return image;
    for (int y = 0; y < height; ++y) {
        const uint16_t* in = pixels + size_t(y) * size_t(width);
        uchar* out = image.scanLine(y);
        for (int x = 0; x < width; ++x)
            out[x] = m_table[in[x]];
    }
    return image;
}
