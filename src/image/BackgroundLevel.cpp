#include "BackgroundLevel.h"

#include <cstdlib>
#include <vector>

namespace {
// The value at rank `rank` (from 0) of the counted values.
int valueAtRank(const std::vector<size_t>& histogram, size_t rank)
{
    size_t seen = 0;
    for (size_t v = 0; v < histogram.size(); ++v) {
        seen += histogram[v];
        if (seen > rank)
            return int(v);
    }
    return int(histogram.size()) - 1;
}

double medianOf(const std::vector<size_t>& histogram, size_t count)
{
    if (count % 2 == 1)
        return valueAtRank(histogram, count / 2);
    return 0.5 * (valueAtRank(histogram, count / 2 - 1) + valueAtRank(histogram, count / 2));
}
}

void BackgroundLevel::Count(std::vector<size_t>& histogram, const uint16_t* pixels, size_t count)
{
    if (histogram.size() != 65536)
        histogram.assign(65536, 0);
    for (size_t i = 0; i < count; ++i)
        ++histogram[pixels[i]];
}

BackgroundLevel BackgroundLevel::Of(const uint16_t* pixels, size_t count)
{
    std::vector<size_t> histogram;
    Count(histogram, pixels, count);
    return FromHistogram(histogram);
}

BackgroundLevel BackgroundLevel::FromHistogram(const std::vector<size_t>& histogram)
{
    BackgroundLevel level;
    size_t count = 0;
    for (size_t n : histogram)
        count += n;
    if (count == 0)
        return level;
    level.Median = medianOf(histogram, count);
    // Deviations from the median, counted from the same histogram: doubled so
    // a median halfway between two values keeps whole-number bins.
    const long twiceMedian = long(2.0 * level.Median);
    std::vector<size_t> deviations(2 * 65536, 0);
    for (long v = 0; v < 65536; ++v) {
        if (histogram[size_t(v)])
            deviations[size_t(std::labs(2 * v - twiceMedian))] += histogram[size_t(v)];
    }
    level.Mad = medianOf(deviations, count) / 2.0;
    return level;
}
