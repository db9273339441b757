#pragma once
// StarField: a fixed set of stars on the simulated chip and the renderer of
// 16-bit frames of it. The stars are chosen once from a seed, so every frame
// of a session shows the same sky; each frame has its own noise.
//
// Rendering cost is kept near one table look-up per pixel: the background
// (bias + sky + Gaussian noise) comes from a precomputed table of noisy
// values indexed by a fast random generator, and each star is drawn only in
// a small box around it from two separable 1-D profiles.
#include <QtGlobal>
#include <cstdint>
#include <vector>

struct FrameSpec {
    int BinX = 1;
    int BinY = 1;
    int Width = 0;               // binned pixels
    int Height = 0;
    double Seconds = 0.0;        // exposure
    double FluxFactor = 1.0;     // filter throughput
    double SkyPerSecond = 0.0;   // ADU per unbinned pixel per second
    double ReadNoise = 0.0;      // ADU per read pixel
    int Bias = 0;
    double FwhmPixels = 2.0;     // star FWHM in unbinned pixels
    quint64 NoiseSeed = 1;
};

class StarField {
public:
    struct Star {
        double X, Y;             // unbinned chip pixels
        double FluxPerSecond;    // ADU summed over the star
    };

    StarField(int sensorWidth, int sensorHeight, int starCount, int seed);

    const std::vector<Star>& Stars() const { return m_stars; }

    // Builds the shared noise table the first frame would otherwise wait for.
    static void Prepare();

    // Renders one frame, row-major, spec.Width * spec.Height values.
    std::vector<uint16_t> Render(const FrameSpec& spec) const;

private:
    std::vector<Star> m_stars;
};
