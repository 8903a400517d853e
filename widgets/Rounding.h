#pragma once

#include <cmath>

// Fractions become whole numbers to the nearest, an exact half going to the even neighbour.
inline int RoundHalfEven(double x)
{
    const double fl = std::floor(x);
    const double diff = x - fl;
    double r;
    if (diff > 0.5)
        r = fl + 1.0;
    else if (diff < 0.5)
        r = fl;
    else
        r = std::fmod(fl, 2.0) == 0.0 ? fl : fl + 1.0;
    return static_cast<int>(r);
}

// Layout lengths kept in twips: 15 to the pixel at 96 DPI.
inline int TwipsToPixels(double twips)
{
    return RoundHalfEven(twips / 15.0);
}
