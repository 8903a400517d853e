#pragma once

#include <QPixmap>

// The switch's off and on images, 56 x 23 pixels.
QSize SwitchImageSize();
QPixmap SwitchImage(bool on, qreal devicePixelRatio);
