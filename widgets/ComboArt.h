#pragma once

#include <QPixmap>

// Drop-down faces: large 70 x 19, small 70 x 16, each normal and pressed.
QSize ComboFaceSize(bool small);
// The arrow button at the right of both faces; narrow, so that "MUSIC1" fits beside it.
constexpr int ComboArrowWidth = 12;
QPixmap ComboFace(bool small, bool pressed, qreal devicePixelRatio);
