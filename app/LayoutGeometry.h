#pragma once

#include <QPoint>
#include <QRect>
#include <QSize>

// The channel volume column: each channel's slider with its limits cells, one
// group per channel, the groups stacked groupStep pixels apart.
struct LimitsGeometry
{
    int sliderLeft;
    int groupTop;
    int groupStep;
    int headingLeft;
    int captionLeft;
    int boxLeft;
    int spinLeft;
    int rowTop[3];      // minimum, maximum and mode cells, below the group top
    int captionTop[3];  // their row captions, below the group top
};

// Where the two layouts of the main window differ: everything else is shared.
// Pixels unless the name says twips; the horizontal spacing of the slider
// columns is the same in both and lives in the layout description.
struct LayoutGeometry
{
    const char *caption;
    QSize clientSize;

    bool slidersShowSize;  // tall sliders
    bool listsShowSize;    // small list faces

    QRect frame1;          // music panel sliders
    QRect frame2;          // effect panel sliders
    int frameSliderTopTwips;
    int micRowTopTwips;

    int musicRowTop;       // panel title, list and page options
    int musicHeaderTop;
    int micRowTop;
    int micHeaderTop;
    int effectRowTop;
    int effectHeaderTop;
    int keyRowTop;
    int sourceRowTop;

    QRect progressBar;
    LimitsGeometry limits;
    QRect label4;          // connection status
    QRect label5;          // device model
    QPoint buttonsTopLeft; // "读取"; "上传" below it, "导入" and "保存" in the next column
    QSize buttonStep;
};

inline const LayoutGeometry MainFrm_Big = {
    "Quorin  ",
    {934, 682},
    true,
    false,
    {20, 83, 680, 119},
    {20, 402, 680, 119},
    70,
    3660,
    42,
    66,
    208,
    229,
    364,
    385,
    534,
    570,
    {8, 648, 738, 25},
    {736, 88, 160, 863, 833, 862, 899, {21, 56, 88}, {24, 59, 92}},
    {746, 551, 170, 20},
    {746, 529, 170, 20},
    {780, 582},
    {75, 32},
};

inline const LayoutGeometry MainFrm_Small = {
    "Quorix",
    {927, 563},
    false,
    true,
    {20, 42, 680, 104},
    {20, 343, 680, 104},
    24,
    2911,
    6,
    26,
    159,
    180,
    307,
    327,
    453,
    481,
    {8, 534, 758, 23},
    {730, 68, 133, 855, 825, 854, 891, {21, 56, 88}, {24, 59, 92}},
    {776, 466, 146, 20},
    {776, 446, 146, 20},
    {782, 492},
    {72, 31},
};
