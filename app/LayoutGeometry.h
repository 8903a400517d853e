#pragma once

#include <QRect>
#include <QSize>

// Where the two layouts of the main window differ: everything else is shared.
struct LayoutGeometry
{
    const char *caption;
    QSize clientSize;
    QRect label4;  // connection status
    QRect label5;  // device model
};

inline const LayoutGeometry MainFrm_Big = {
    "Quorin  ",
    {934, 682},
    {736, 596, 110, 20},
    {736, 574, 110, 20},
};

inline const LayoutGeometry MainFrm_Small = {
    "Quorix",
    {927, 563},
    {736, 484, 110, 20},
    {736, 462, 110, 20},
};
