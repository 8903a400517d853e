#include "ComboArt.h"

#include "ArtCache.h"
#include "PixelGrid.h"

#include <QPainter>
#include <QPolygonF>

namespace {

void PaintFace(QPainter &p, const QSize &size, bool pressed)
{
    const int w = size.width();
    const int h = size.height();
    const QColor field = pressed ? QColor(141, 139, 139) : QColor(118, 114, 112);

    PixelGrid grid(p);
    grid.Area(QRect(0, 0, w, h), field);
    // Sunken field: dark top and left, light bottom and right.
    grid.Line(QRect(0, 0, w, 1), QColor(61, 63, 63));
    grid.Line(QRect(0, 0, 1, h), QColor(61, 63, 63));
    grid.Line(QRect(0, h - 1, w, 1), QColor(190, 188, 186));
    grid.Line(QRect(w - 1, 0, 1, h), QColor(190, 188, 186));

    // Arrow button at the right.
    const int bw = ComboArrowWidth;
    const QRect button(w - 1 - bw, 1, bw, h - 2);
    grid.Area(button, pressed ? QColor(96, 94, 92) : QColor(84, 82, 80));
    grid.Line(QRect(button.left(), button.top(), 1, button.height()), QColor(50, 50, 50));

    p.setRenderHint(QPainter::Antialiasing, true);
    p.setPen(Qt::NoPen);
    p.setBrush(pressed ? QColor(255, 166, 46) : QColor(224, 224, 224));
    const QPointF c = QRectF(button).center();
    const qreal half = bw * 0.3;
    p.drawPolygon(QPolygonF({QPointF(c.x() - half, c.y() - half * 0.55), QPointF(c.x() + half, c.y() - half * 0.55),
                             QPointF(c.x(), c.y() + half * 0.75)}));
}

} // namespace

QSize ComboFaceSize(bool small)
{
    return small ? QSize(70, 16) : QSize(70, 19);
}

QPixmap ComboFace(bool small, bool pressed, qreal devicePixelRatio)
{
    const QSize size = ComboFaceSize(small);
    return CachedArt(QStringLiteral("combo-%1-%2").arg(small).arg(pressed), size, devicePixelRatio,
                     [size, pressed](QPainter &p) { PaintFace(p, size, pressed); });
}
