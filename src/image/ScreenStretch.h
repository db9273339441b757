#pragma once
// ScreenStretch: the automatic screen stretch of a 16-bit frame for the eye,
// from its median and MAD: values up to 2.8 noise levels below the median
// are black, the median becomes a dark grey (Target, a quarter of white),
// and a midtones curve brings the faint parts up while bright stars reach
// white. The frame itself is never changed; the result is an 8-bit image.
//
// Frames without spread (MAD 0: a constant or fully saturated frame) are
// shown linearly, so a saturated frame is white and a dark one black rather
// than the same grey.
#include "image/BackgroundLevel.h"

#include <QImage>
#include <array>
#include <cstdint>

class ScreenStretch {
public:
    static constexpr double Target = 0.25;
    static constexpr double ShadowSigmas = 2.8;

    explicit ScreenStretch(const BackgroundLevel& background);

    uint8_t Map(uint16_t value) const { return m_table[value]; }

    // The stretched frame, Width x Height, 8-bit grey.
    QImage Apply(const uint16_t* pixels, int width, int height) const;

    // The view's midtones transfer function: maps m to 0.5, keeps 0 and 1.
    static double Midtones(double m, double x);

private:
    std::array<uint8_t, 65536> m_table {};
};
