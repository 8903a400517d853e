#include "ComboGeometry.h"

#include "Rounding.h"

#include <algorithm>

int ComboListHeight(int itemCount)
{
    return RoundHalfEven(itemCount * 12.5);
}

int ComboRowTwips(double pointSize)
{
    return std::max(RoundHalfEven(20.0 * pointSize), 1);
}

int ComboRowAt(int y, double pointSize)
{
    const int yTwips = RoundHalfEven(y * 15.0);
    return yTwips / ComboRowTwips(pointSize);
}

int ComboListTop(int widgetTop, int faceHeight, int listHeight, int screenBottom)
{
    // In twips the list below would end one twip past top + face + list; in whole pixels that
    // fits only while the sum stays strictly above the screen's bottom edge.
    if (listHeight + widgetTop + faceHeight < screenBottom)
        return widgetTop + faceHeight;
    return widgetTop - listHeight;
}
