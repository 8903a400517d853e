#include "ProgressGeometry.h"

#include "Rounding.h"

#include <algorithm>

namespace {

int Component(int start, int end, int n, int i)
{
    const float step = static_cast<float>(end - start) / static_cast<float>(n);
    const int value = RoundHalfEven(start + i * static_cast<double>(step));
    return std::clamp(value, 0, 255);
}

} // namespace

int ProgressFilled(int width, int percent)
{
    return RoundHalfEven(width * static_cast<double>(percent) / 100.0);
}

QColor ProgressGradientColour(int width, int i)
{
    const int n = std::max(width - 3, 1);
    return QColor(Component(255, 0, n, i), Component(0, 0, n, i), Component(0, 255, n, i));
}
