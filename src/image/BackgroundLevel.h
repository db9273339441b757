#pragma once
// BackgroundLevel: the median of a 16-bit image and its median absolute
// deviation (MAD), both exact, from one histogram pass (no sorting, no copy
// of the pixels; the pass may go strip by strip). The noise is the MAD scaled to a Gaussian's standard
// deviation (1.4826 x MAD), which stars and hot pixels hardly move.
#include <cstddef>
#include <cstdint>
#include <vector>

struct BackgroundLevel {
    double Median = 0.0;
    double Mad = 0.0;
    double Noise() const { return 1.4826 * Mad; }

    static BackgroundLevel Of(const uint16_t* pixels, size_t count);
    // From a histogram of 65536 counts (what Count() gathers, strip by strip).
    static BackgroundLevel FromHistogram(const std::vector<size_t>& histogram);
    // Adds `count` pixels to `histogram` (sized to 65536 when empty).
    static void Count(std::vector<size_t>& histogram, const uint16_t* pixels, size_t count);
};
