#include "ButtonArt.h"

#include "ArtCache.h"
#include "PixelGrid.h"

#include <QLinearGradient>
#include <QPainter>

namespace {

void PaintFace(QPainter &p, const QSize &size, int look)
{
    PixelGrid(p).Area(QRect(QPoint(0, 0), size), QColor(63, 63, 61));

    const QColor fill = look == 2 ? QColor(121, 121, 117) : QColor(34, 38, 41);
    const QColor rim = look == 0 ? QColor(18, 20, 22) : QColor(255, 166, 46);
    const QRectF pill = QRectF(QPointF(0, 0), QSizeF(size)).adjusted(1, 1, -1, -1);
    const qreal radius = pill.height() / 2;

    p.setPen(QPen(rim, 1.5));
    p.setBrush(fill);
    p.drawRoundedRect(pill, radius, radius);

    // A soft gloss over the upper half; the body below keeps the flat face colour.
    const QRectF gloss = pill.adjusted(radius * 0.6, 2, -radius * 0.6, -pill.height() * 0.55);
    QLinearGradient shine(gloss.topLeft(), gloss.bottomLeft());
    shine.setColorAt(0, QColor(255, 255, 255, 60));
    shine.setColorAt(1, QColor(255, 255, 255, 0));
    p.setPen(Qt::NoPen);
    p.setBrush(shine);
    p.drawRoundedRect(gloss, gloss.height() / 2, gloss.height() / 2);
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
