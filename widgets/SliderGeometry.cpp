#include "SliderGeometry.h"

#include "Rounding.h"

#include <algorithm>

int TrackLength(bool showSize)
{
    return showSize ? 69 : 58;
}

float PixelsPerStep(bool showSize, int maxValue)
{
    // A range of 0 or less would divide by zero; treat it as a range of one step.
    const int range = std::max(maxValue, 1);
    return static_cast<float>(TrackLength(showSize)) / static_cast<float>(range);
}

int ThumbRow(int maxValue, int value, float pixelsPerStep)
{
    // The product is taken in double from the single-precision step: 40 * (69/80f) lies just
    // above 34.5, which a float product would flatten to exactly 34.5 and round the wrong way.
    return RoundHalfEven(static_cast<double>(maxValue - value) * static_cast<double>(pixelsPerStep) + 36.0);
}

int ValueAtRow(int maxValue, float pixelsPerStep, int y)
{
    const int value = RoundHalfEven(maxValue - (y - 36) / static_cast<double>(pixelsPerStep));
    return std::clamp(value, 0, std::max(maxValue, 0));
}
