#include "StarDetector.h"

#include <algorithm>
#include <cmath>
#include <unordered_map>

namespace {
struct Candidate {
    int X, Y;
    uint16_t Peak;
};

// The rows [First, Last) of a frame `Width` pixels wide, in frame rows.
struct Frame {
    const uint16_t* Pixels;   // row First
    int Width, First, Last;
    bool inside(int x, int y) const { return x >= 0 && x < Width && y >= First && y < Last; }
    uint16_t at(int x, int y) const { return Pixels[size_t(y - First) * size_t(Width) + size_t(x)]; }
};

double median(std::vector<double>& values)
{
    if (values.empty())
        return 0.0;
    const size_t mid = values.size() / 2;
    std::nth_element(values.begin(), values.begin() + long(mid), values.end());
    return values[mid];
}

// The local background: the median of a ring just outside the aperture.
double ringBackground(const Frame& f, double cx, double cy, int r)
{
    thread_local std::vector<double> ring;
    ring.clear();
    const int outer = r + 3;
    for (int y = int(cy) - outer; y <= int(cy) + outer; ++y) {
        for (int x = int(cx) - outer; x <= int(cx) + outer; ++x) {
            if (!f.inside(x, y))
                continue;
            const double d2 = (x - cx) * (x - cx) + (y - cy) * (y - cy);
            if (d2 > double(r) * r && d2 <= double(outer) * outer)
                ring.push_back(f.at(x, y));
        }
    }
    return median(ring);
}

struct Moments {
    double Cx = 0, Cy = 0, Flux = 0;
};

// The width at half the peak above `background`, from the area of the
// pixels above that level near the peak: 2 sqrt(area / pi).
double halfPeakWidth(const Frame& f, const Candidate& c, double background)
{
    const double half = background + (c.Peak - background) / 2.0;
    int area = 0;
    for (int box : {8, 32}) {
        area = 0;
        for (int y = std::max(f.First, c.Y - box); y <= std::min(f.Last - 1, c.Y + box); ++y)
            for (int x = std::max(0, c.X - box); x <= std::min(f.Width - 1, c.X + box); ++x)
                area += f.at(x, y) > half;
        if (area < 100)   // well inside the small box
            break;
    }
    return 2.0 * std::sqrt(area / M_PI);
}

Moments moments(const Frame& f, double cx, double cy, int r, double background)
{
    Moments m;
    double sx = 0, sy = 0;
    for (int y = int(std::lround(cy)) - r; y <= int(std::lround(cy)) + r; ++y) {
        for (int x = int(std::lround(cx)) - r; x <= int(std::lround(cx)) + r; ++x) {
            if (!f.inside(x, y))
                continue;
            const double v = f.at(x, y) - background;
            if (v <= 0)
                continue;
            m.Flux += v;
            sx += v * x;
            sy += v * y;
        }
    }
    if (m.Flux <= 0)
        return m;
    m.Cx = sx / m.Flux;
    m.Cy = sy / m.Flux;
    return m;
}

// Radius holding half the flux inside radius r, interpolated between the
// pixels' distances from the centroid.
double halfFluxRadius(const Frame& f, double cx, double cy, int r, double background, double* flux)
{
    std::vector<std::pair<double, double>> rings;   // distance, flux
    double total = 0;
    for (int y = int(std::floor(cy)) - r; y <= int(std::ceil(cy)) + r; ++y) {
        for (int x = int(std::floor(cx)) - r; x <= int(std::ceil(cx)) + r; ++x) {
            if (!f.inside(x, y))
                continue;
            const double d = std::hypot(x - cx, y - cy);
            if (d > r)
                continue;
            const double v = f.at(x, y) - background;
            rings.emplace_back(d, v);
            total += v;
        }
    }
    *flux = total;
    if (total <= 0)
        return 0.0;
    std::sort(rings.begin(), rings.end());
    double sum = 0, lastD = 0, lastSum = 0;
    for (const auto& [d, v] : rings) {
        sum += v;
        if (sum >= total / 2) {
            // A pixel's flux fills the ring from the previous distance to its own.
            const double part = (total / 2 - lastSum) / std::max(v, 1e-9);
            return lastD + std::clamp(part, 0.0, 1.0) * (d - lastD);
        }
        lastD = d;
        lastSum = sum;
    }
    return r;
}

// Rows [first, last) of the frame; neighbours must be in the buffer.
std::vector<Candidate> candidates(const Frame& f, int first, int last, double threshold, double neighbourLevel,
                                  size_t maxCount)
{
    std::vector<Candidate> found;
    const uint16_t limit = uint16_t(std::clamp(threshold, 0.0, 65535.0));
    for (int y = std::max(first, f.First + 1); y < std::min(last, f.Last - 1); ++y) {
        const uint16_t* row = f.Pixels + size_t(y - f.First) * size_t(f.Width);
        for (int x = 1; x + 1 < f.Width; ++x) {
            const uint16_t v = row[x];
            if (v <= limit)
                continue;
            // A strict maximum over the earlier neighbours and at least as high
            // as the later ones: a flat top gives one candidate.
            const uint16_t* up = row - f.Width;
            const uint16_t* down = row + f.Width;
            if (!(v > up[x - 1] && v > up[x] && v > up[x + 1] && v > row[x - 1] && v >= row[x + 1]
                  && v >= down[x - 1] && v >= down[x] && v >= down[x + 1]))
                continue;
            const int rising = (up[x] > neighbourLevel) + (down[x] > neighbourLevel) + (row[x - 1] > neighbourLevel)
                + (row[x + 1] > neighbourLevel);
            if (rising < 2)
                continue;
            found.push_back({x, y, v});
        }
    }
    if (found.size() > maxCount) {
        std::nth_element(found.begin(), found.begin() + long(maxCount), found.end(),
                         [](const Candidate& a, const Candidate& b) { return a.Peak > b.Peak; });
        found.resize(maxCount);
    }
    return found;
}
}

StarDetector::StarDetector(int width, int height, const BackgroundLevel& background)
    : m_width(width), m_height(height), m_background(background), m_columns(width / kCell + 1)
{
}

bool StarDetector::covered(int x, int y) const
{
    for (int cy = y / kCell - 1; cy <= y / kCell + 1; ++cy) {
        for (int cx = x / kCell - 1; cx <= x / kCell + 1; ++cx) {
            const auto [from, to] = m_taken.equal_range(cy * m_columns + cx);
            for (auto it = from; it != to; ++it) {
                const DetectedStar& s = m_stars[it->second.first];
                const double r = it->second.second;
                if ((s.X - x) * (s.X - x) + (s.Y - y) * (s.Y - y) <= r * r)
                    return true;
            }
        }
    }
    return false;
}

void StarDetector::Scan(const uint16_t* rows, int bufferFirst, int bufferCount, int scanFirst, int scanCount)
{
    if (!rows || m_width < 3 || m_height < 3)
        return;
    const Frame f {rows, m_width, bufferFirst, bufferFirst + bufferCount};
    const double noise = std::max(1.0, m_background.Noise());
    std::vector<Candidate> found = candidates(f, std::max(1, scanFirst), std::min(m_height - 1, scanFirst + scanCount),
                                              m_background.Median + Sigmas * noise,
                                              m_background.Median + 2.0 * noise, MaxCandidates);
    // Brightest first: a noise bump on a wide star's flank lies inside the
    // star's aperture and is not a star of its own.
    std::sort(found.begin(), found.end(), [](const Candidate& a, const Candidate& b) { return a.Peak > b.Peak; });
    for (const Candidate& c : found) {
        if (m_stars.size() >= MaxCandidates)
            break;
        if (covered(c.X, c.Y))
            continue;
        // The aperture grows with the star: twice its FWHM, which the area
        // above half its peak gives (robust for faint stars, whose noise
        // would swell a second moment).
        const double fwhm = halfPeakWidth(f, c, m_background.Median);
        const int r = std::clamp(int(std::ceil(2.0 * fwhm)) + 1, 3, 32);
        const double bg = ringBackground(f, c.X, c.Y, r);
        const Moments m = moments(f, c.X, c.Y, r, bg);
        if (m.Flux <= 0)
            continue;
        DetectedStar s;
        s.X = m.Cx;
        s.Y = m.Cy;
        s.Hfr = halfFluxRadius(f, m.Cx, m.Cy, r, bg, &s.Flux);
        s.Saturated = c.Peak >= SaturationLevel;
        // A hot pixel or a cosmic-ray hit is narrower than any star.
        if (s.Flux <= 0 || s.Hfr < 0.5)
            continue;
        m_stars.push_back(s);
        const int cell = std::clamp(int(s.Y), 0, m_height - 1) / kCell * m_columns
            + std::clamp(int(s.X), 0, m_width - 1) / kCell;
        m_taken.emplace(cell, std::make_pair(m_stars.size() - 1, std::clamp(2.0 * s.Hfr, 2.0, double(kCell))));
    }
}

std::vector<DetectedStar> StarDetector::Find(const uint16_t* pixels, int width, int height,
                                             const BackgroundLevel& background)
{
    StarDetector detector(width, height, background);
    detector.Scan(pixels, 0, height, 0, height);
    return detector.Stars();
}

double StarDetector::MedianHfr(const std::vector<DetectedStar>& stars)
{
    std::vector<double> hfr;
    for (const DetectedStar& s : stars) {
        if (!s.Saturated)
            hfr.push_back(s.Hfr);
    }
    return median(hfr);
}
