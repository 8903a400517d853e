#include "SwitchArt.h"

#include "ArtCache.h"
#include "PixelGrid.h"
#include "WidgetFonts.h"

#include <QLinearGradient>
#include <QPainter>

namespace {

void PaintSwitch(QPainter &p, bool on)
{
    PixelGrid(p).Area(QRect(QPoint(0, 0), SwitchImageSize()), QColor(63, 63, 61));

    // Sunken track.
    const QRectF track(1.5, 2.5, 53, 18);
    p.setPen(QPen(QColor(20, 22, 24), 1));
    p.setBrush(on ? QColor(46, 84, 52) : QColor(34, 38, 41));
    p.drawRoundedRect(track, 9, 9);

    // Lettering on the free side of the track.
    p.setFont(ArialFont(6.75, true));
    p.setPen(on ? QColor(140, 255, 140) : QColor(150, 150, 150));
    const QRectF freeSide = on ? QRectF(4, 3, 24, 17) : QRectF(28, 3, 24, 17);
    p.drawText(freeSide, Qt::AlignCenter, on ? QStringLiteral("ON") : QStringLiteral("OFF"));

    // Raised knob on the chosen side.
    const QRectF knob = on ? QRectF(31.5, 3.5, 22, 16) : QRectF(2.5, 3.5, 22, 16);
    QLinearGradient shade(knob.topLeft(), knob.bottomLeft());
    shade.setColorAt(0, QColor(222, 222, 220));
    shade.setColorAt(1, QColor(143, 145, 149));
    p.setPen(QPen(QColor(31, 34, 27), 1));
    p.setBrush(shade);
    p.drawRoundedRect(knob, 8, 8);

    // Grip ridges and the lamp in the knob.
    p.setPen(QPen(QColor(115, 115, 115), 1));
    for (int i = -1; i <= 1; ++i) {
        const qreal x = knob.center().x() + 3 * i;
        p.drawLine(QPointF(x, knob.top() + 4), QPointF(x, knob.bottom() - 4));
    }
    if (on) {
        p.setPen(Qt::NoPen);
        p.setBrush(QColor(255, 166, 46));
        p.drawEllipse(QPointF(knob.right() - 5, knob.center().y()), 1.8, 1.8);
    }
}

} // namespace

QSize SwitchImageSize()
{
    return QSize(56, 23);
}

QPixmap SwitchImage(bool on, qreal devicePixelRatio)
{
    return CachedArt(on ? QStringLiteral("switch-on") : QStringLiteral("switch-off"), SwitchImageSize(),
                     devicePixelRatio, [on](QPainter &p) { PaintSwitch(p, on); });
}
