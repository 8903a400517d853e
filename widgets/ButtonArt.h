#pragma once

#include <QPixmap>

// Push-button faces: index 0 large (63 x 26), 1 small (43 x 23); look 0 normal, 1 hover, 2 pressed.
QSize ButtonFaceSize(int buttonIndex);
QPixmap ButtonFace(int buttonIndex, int look, qreal devicePixelRatio);
