#include "StarField.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <random>

namespace {
// xorshift64*: fast, good enough for image noise.
struct FastRandom {
    quint64 state;
    explicit FastRandom(quint64 seed) : state(seed ? seed : 0x9E3779B97F4A7C15ull) {}
    quint64 next()
    {
        state ^= state >> 12;
        state ^= state << 25;
        state ^= state >> 27;
        return state * 0x2545F4914F6CDD1Dull;
    }
};

constexpr int kTableBits = 16;
constexpr int kTableSize = 1 << kTableBits;

// Standard normal deviates spread evenly over the distribution (inverse CDF
// at the cell centres, by bisection on erfc), so a table look-up with a
// uniform index is an exact-enough Gaussian draw.
const std::array<float, kTableSize>& normalTable()
{
    static const std::array<float, kTableSize> table = [] {
        std::array<float, kTableSize> t {};
        for (int i = 0; i < kTableSize / 2; ++i) {
            const double p = (i + 0.5) / kTableSize; // lower tail probability
            double lo = -10.0, hi = 0.0;
            for (int k = 0; k < 60; ++k) {
                const double mid = 0.5 * (lo + hi);
                (0.5 * std::erfc(-mid / std::sqrt(2.0)) < p ? lo : hi) = mid;
            }
            const double z = 0.5 * (lo + hi);
            t[i] = float(z);
            t[kTableSize - 1 - i] = float(-z);
        }
        // Shuffle so consecutive indexes are not ordered (harmless, but
        // keeps any weakness of the low bits from showing as gradients).
        std::mt19937 shuffle(12345);
        std::shuffle(t.begin(), t.end(), shuffle);
        return t;
    }();
    return table;
}

uint16_t clampAdu(double v)
{
    if (v <= 0.0)
        return 0;
    if (v >= 65535.0)
        return 65535;
    return uint16_t(v + 0.5);
}
}

void StarField::Prepare() { normalTable(); }

StarField::StarField(int sensorWidth, int sensorHeight, int starCount, int seed)
{
    std::mt19937 gen {quint32(seed)};
    std::uniform_real_distribution<double> ux(0.0, sensorWidth);
    std::uniform_real_distribution<double> uy(0.0, sensorHeight);
    // Magnitudes weighted towards faint stars, as in a real field: the count
    // grows about 2.5 times per magnitude.
    std::uniform_real_distribution<double> u(0.0, 1.0);
    m_stars.reserve(size_t(std::max(0, starCount)));
    for (int i = 0; i < starCount; ++i) {
        const double mag = 6.0 * std::pow(u(gen), 0.35); // 0 (bright) .. 6 (faint)
        const double flux = 60000.0 * std::pow(10.0, -0.4 * mag);
        m_stars.push_back({ux(gen), uy(gen), flux});
    }
}

std::vector<uint16_t> StarField::Render(const FrameSpec& spec) const
{
    const int w = spec.Width, h = spec.Height;
    const int binX = std::max(1, spec.BinX), binY = std::max(1, spec.BinY);
    std::vector<uint16_t> image(size_t(w) * size_t(h));
    if (image.empty())
        return image;

    // Background: every binned pixel collects binX*binY pixels of sky and is
    // read once.
    const double sky = spec.SkyPerSecond * spec.Seconds * binX * binY;
    const double sigma = std::sqrt(std::max(0.0, sky) + spec.ReadNoise * spec.ReadNoise);
    const auto& normal = normalTable();
    std::vector<uint16_t> background(kTableSize);
    for (int i = 0; i < kTableSize; ++i)
        background[size_t(i)] = clampAdu(spec.Bias + sky + sigma * normal[size_t(i)]);

    FastRandom rnd(spec.NoiseSeed);
    uint16_t* p = image.data();
    const size_t n = image.size();
    size_t i = 0;
    for (; i + 4 <= n; i += 4) {
        const quint64 r = rnd.next();
        p[i] = background[r & 0xFFFF];
        p[i + 1] = background[(r >> 16) & 0xFFFF];
        p[i + 2] = background[(r >> 32) & 0xFFFF];
        p[i + 3] = background[r >> 48];
    }
    for (; i < n; ++i)
        p[i] = background[rnd.next() & 0xFFFF];

    // Stars: Gaussian profiles in binned pixels, drawn within 4 sigma, with
    // their own photon noise.
    const double sx = std::max(0.3, spec.FwhmPixels / 2.3548 / binX);
    const double sy = std::max(0.3, spec.FwhmPixels / 2.3548 / binY);
    const int rx = int(std::ceil(4.0 * sx)), ry = int(std::ceil(4.0 * sy));
    std::vector<double> gx(size_t(2 * rx + 1)), gy(size_t(2 * ry + 1));
    const double norm = 1.0 / (2.0 * M_PI * sx * sy);
    for (const Star& star : m_stars) {
        const double total = star.FluxPerSecond * spec.Seconds * spec.FluxFactor;
        if (total <= 0.0)
            continue;
        const double cx = star.X / binX, cy = star.Y / binY;
        const int x0 = int(std::floor(cx)) - rx, y0 = int(std::floor(cy)) - ry;
        for (int k = 0; k <= 2 * rx; ++k) {
            const double dx = x0 + k + 0.5 - cx;
            gx[size_t(k)] = std::exp(-dx * dx / (2 * sx * sx));
        }
        for (int k = 0; k <= 2 * ry; ++k) {
            const double dy = y0 + k + 0.5 - cy;
            gy[size_t(k)] = std::exp(-dy * dy / (2 * sy * sy));
        }
        const double peak = total * norm;
        for (int ky = 0; ky <= 2 * ry; ++ky) {
            const int y = y0 + ky;
            if (y < 0 || y >= h)
                continue;
            uint16_t* row = p + size_t(y) * size_t(w);
            for (int kx = 0; kx <= 2 * rx; ++kx) {
                const int x = x0 + kx;
                if (x < 0 || x >= w)
                    continue;
                const double signal = peak * gx[size_t(kx)] * gy[size_t(ky)];
                if (signal < 0.05)
                    continue;
                const double noisy = signal + std::sqrt(signal) * normal[rnd.next() & 0xFFFF];
                row[x] = clampAdu(row[x] + noisy);
            }
        }
    }
    return image;
}
