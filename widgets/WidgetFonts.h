#pragma once

#include <QFont>

// The faces ask for Arial and SimSun by name; metric-compatible stand-ins follow in the family
// list so the lettering keeps its size where those fonts are not installed.
inline QFont ArialFont(qreal pointSize, bool bold = false)
{
    QFont font;
    font.setFamilies({QStringLiteral("Arial"), QStringLiteral("Liberation Sans")});
    font.setPointSizeF(pointSize);
    font.setBold(bold);
    return font;
}

inline QFont SimSunFont(qreal pointSize, bool bold = false)
{
    QFont font;
    font.setFamilies({QStringLiteral("SimSun"), QStringLiteral("WenQuanYi Micro Hei")});
    font.setPointSizeF(pointSize);
    font.setBold(bold);
    return font;
}
