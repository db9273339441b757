#pragma once
// FrameFigures: the quality figures of one frame, computed from its pixels:
// the background level (median, ADU), the noise (1.4826 x MAD, ADU), the
// number of stars found and their median half-flux radius (pixels, 0 when
// no unsaturated star was found). A cloud shows as the stars collapsing and
// the background rising; a focus drift as the HFR growing.
#include <cstddef>
#include <cstdint>
#include <vector>

struct BackgroundLevel;
struct DetectedStar;

struct FrameFigures {
    double Background = 0.0;
    double Noise = 0.0;
    int Stars = 0;
    double Hfr = 0.0;

    // `background`, when given, receives the median and MAD the figures
    // were made from (the screen stretch uses them too).
    static FrameFigures Of(const uint16_t* pixels, int width, int height,
                           BackgroundLevel* background = nullptr);
    // From what a strip-by-strip pass found.
    static FrameFigures From(const BackgroundLevel& background, const std::vector<DetectedStar>& stars);
};
