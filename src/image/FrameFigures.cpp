#include "FrameFigures.h"

#include "image/BackgroundLevel.h"
#include "image/StarDetector.h"

FrameFigures FrameFigures::Of(const uint16_t* pixels, int width, int height, BackgroundLevel* backgroundOut)
{
    FrameFigures figures;
    if (!pixels || width <= 0 || height <= 0)
        return figures;
    const BackgroundLevel background = BackgroundLevel::Of(pixels, size_t(width) * size_t(height));
    if (backgroundOut)
        *backgroundOut = background;
    return From(background, StarDetector::Find(pixels, width, height, background));
}

FrameFigures FrameFigures::From(const BackgroundLevel& background, const std::vector<DetectedStar>& stars)
{
    FrameFigures figures;
    figures.Background = background.Median;
    figures.Noise = background.Noise();
    figures.Stars = int(stars.size());
    figures.Hfr = StarDetector::MedianHfr(stars);
    return figures;
}
