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
// HFR, whose cores are flat. A frame may be scanned in strips of rows, so it
// never has to be in memory whole; memory is a list of candidates, never a
// copy of the frame.
#include "image/BackgroundLevel.h"

#include <cstdint>
#include <unordered_map>
#include <vector>

struct DetectedStar {
    double X = 0.0, Y = 0.0;   // centroid, pixels from the first pixel's centre
    double Flux = 0.0;         // ADU above the local background
    double Hfr = 0.0;          // pixels
    bool Saturated = false;
};

class StarDetector {
public:
    static constexpr double Sigmas = 5.0;
    static constexpr int SaturationLevel = 65000;
    static constexpr size_t MaxCandidates = 20000;   // per scan the brightest are kept, and stars at most
    // Rows a strip needs above and below the rows scanned, so that a star
    // near its edge is measured whole.
    static constexpr int Margin = 40;

    StarDetector(int width, int height, const BackgroundLevel& background);

    // Looks for stars whose peak lies in frame rows [scanFirst, scanFirst +
    // scanCount), given rows [bufferFirst, bufferFirst + bufferCount) in
    // `rows` (at least Margin rows beyond the scanned ones on each side where
    // the frame has them). Strips may come in any order; each star is found
    // once.
    void Scan(const uint16_t* rows, int bufferFirst, int bufferCount, int scanFirst, int scanCount);
    const std::vector<DetectedStar>& Stars() const { return m_stars; }

    // The whole frame at once.
    static std::vector<DetectedStar> Find(const uint16_t* pixels, int width, int height,
                                          const BackgroundLevel& background);

    // The median HFR of the unsaturated stars; 0 when there are none.
    static double MedianHfr(const std::vector<DetectedStar>& stars);

private:
    static constexpr int kCell = 64;
    // Whether (x, y) lies within the reach of a star already found.
    bool covered(int x, int y) const;

    int m_width, m_height;
    BackgroundLevel m_background;
    int m_columns;
    std::vector<DetectedStar> m_stars;
    std::unordered_multimap<int, std::pair<size_t, double>> m_taken;   // grid cell -> star, radius it covers
};
