#pragma once

#include <QPixmap>

// Bullets of C_Option (16 x 17) and the 17 face pairs of C_OptionEx.
constexpr int OptionFaceCount = 17;

QSize OptionBulletSize();
QPixmap OptionBullet(bool selected, qreal devicePixelRatio);

QSize OptionFaceSize(int buttonIndex);
QPixmap OptionFace(int buttonIndex, bool selected, qreal devicePixelRatio);
