#include "ButtonArt.h"

#include "ArtCache.h"

#include <QLinearGradient>
#include <QPainter>

namespace {

void PaintFace(QPainter &p, const QSize &size, int look)
{
    p.fillRect(QRect(QPoint(0, 0), size), QColor(63, 63, 61));

    const QColor fill = look == 2 ? QColor(121, 121, 117) : QColor(34, 38, 41);
    const QColor rim = look == 0 ? QColor(18, 20, 22) : QColor(255, 166, 46);
    const QRectF pill = QRectF(QPointF(0, 0), QSizeF(size)).adjusted(1, 1, -1, -1);
    const qreal radius = pill.height() / 2;

    QLinearGradient shade(pill.topLeft(), pill.bottomLeft());
    shade.setColorAt(0, fill.lighter(look == 2 ? 112 : 135));
    shade.setColorAt(0.5, fill);
    shade.setColorAt(1, fill.darker(look == 2 ? 110 : 120));
    p.setPen(QPen(rim, 1.5));
    p.setBrush(shade);
    p.drawRoundedRect(pill, radius, radius);
}

} // namespace

QSize ButtonFaceSize(int buttonIndex)
{
    return buttonIndex == 1 ? QSize(43, 23) : QSize(63, 26);
}

QPixmap ButtonFace(int buttonIndex, int look, qreal devicePixelRatio)
{
    const QSize size = ButtonFaceSize(buttonIndex);
    return CachedArt(QStringLiteral("button-%1-%2").arg(buttonIndex).arg(look), size, devicePixelRatio,
                     [size, look](QPainter &p) { PaintFace(p, size, look); });
}
