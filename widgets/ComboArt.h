#pragma once

#include <QPixmap>

// Drop-down faces: large 70 x 19, small 70 x 16, each normal and pressed.
QSize ComboFaceSize(bool small);
QPixmap ComboFace(bool small, bool pressed, qreal devicePixelRatio);
