#pragma once

#include "LayoutGeometry.h"
#include "WidgetProperties.h"

#include <QList>
#include <QRect>
#include <QString>

// One control of the main window as its layout describes it: where it sits and
// the saved configuration it reads once after creation. Parameter widgets carry
// their device address as decimal text under "Tag".
struct ControlPlacement
{
    enum Container { Window, Frame1, Frame2 };

    QString name;    // "C_ScrollBar7"
    int index;       // position in its control array, -1 for a single control
    Container container;
    QRect rect;      // in the container's pixels
    WidgetProperties props;

    QString Key() const;  // "C_ScrollBar7(3)" or "C_FlagBar2"
};

QString ControlKey(const QString &name, int index = -1);

// The whole main window for one layout, in creation order.
QList<ControlPlacement> DescribeMainFrm(const LayoutGeometry &geometry);

// Twips to whole pixels at 96 DPI, a half going to the even neighbour.
int TwipsToPixels(int twips);

// Horizontal placement of the slider columns, the same in both layouts (pixels).
int MusicEqSliderLeft(int index);
int MusicAuxSliderLeft(int index);  // index 8 to 15
int MicSliderLeft(int index);
int KtvSliderLeft(int index);
int EffSliderLeft(int index);
