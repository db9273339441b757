#pragma once
// StarDetector: finds the stars of a 16-bit frame and measures their
// half-flux radius (HFR): the radius, in pixels, of the circle around the
// star's centroid that holds half of its flux above the local background.
// For a Gaussian star HFR is FWHM / 2, so the median HFR of a frame follows
// the seeing and the focus.
//
// A star is a local maximum at least `Sigmas` noise levels above the
// frame's background whose neighbours rise above it too (a hot pixel or a
// cosmic-ray hit alone does not count), measured in an aperture that grows
// with the star. Saturated stars are counted but left out of the median
// HFR, whose cores are flat. Memory: a list of candidates, never a copy of
// the frame.
#include "image/BackgroundLevel.h"

#include <cstdint>
#include <vector>

struct DetectedStar {
    double X = 0.0, Y = 0.0;   // centroid, pixels from the first pixel's centre
    double Flux = 0.0;         // ADU above the local background
    double Hfr = 0.0;          // pixels
    bool Saturated = false;
};

class StarDetector {
public:
    double Sigmas = 5.0;
    int SaturationLevel = 65000;
    size_t MaxCandidates = 20000;   // the brightest are kept

    std::vector<DetectedStar> Find(const uint16_t* pixels, int width, int height,
                                   const BackgroundLevel& background) const;

    // The median HFR of the unsaturated stars; 0 when there are none.
    static double MedianHfr(const std::vector<DetectedStar>& stars);
};
