#include "HandCursor.h"

#include <QBitmap>
#include <QPainter>
#include <QPainterPath>

namespace {

// The hand's outline: a raised index finger at x 5, three folded fingers, the palm.
QPainterPath HandOutline()
{
    QPainterPath path;
    path.moveTo(4, 2);
    path.quadTo(5.5, -0.5, 7, 2);
    path.lineTo(7, 11);
    path.lineTo(8, 9.5);
    path.quadTo(9.5, 8.5, 10.5, 10);
    path.lineTo(11, 11);
    path.quadTo(12.5, 9.5, 14, 11);
    path.lineTo(14, 12);
    path.quadTo(15.5, 10.5, 17, 12);
    path.lineTo(17, 19);
    path.quadTo(16.5, 23, 14, 25);
    path.lineTo(7, 25);
    path.quadTo(4, 21, 1, 16);
    path.quadTo(0.5, 14, 2.5, 14);
    path.lineTo(4, 16);
    path.closeSubpath();
    return path;
}

QCursor MakeHandCursor()
{
    const QPainterPath outline = HandOutline();

    // Bitmap 1 is black where the outline is drawn; the mask is set over the whole hand.
    QBitmap shape(32, 32), mask(32, 32);
    shape.fill(Qt::color0);
    mask.fill(Qt::color0);
    {
        QPainter p(&mask);
        p.setRenderHint(QPainter::Antialiasing, false);
        p.setPen(QPen(Qt::color1, 1));
        p.setBrush(Qt::color1);
        p.drawPath(outline);
    }
    {
        QPainter p(&shape);
        p.setRenderHint(QPainter::Antialiasing, false);
        p.setPen(QPen(Qt::color1, 1));
        p.setBrush(Qt::NoBrush);
        p.drawPath(outline);
        p.drawLine(10, 12, 10, 17);
        p.drawLine(13, 12, 13, 17);
    }
    return QCursor(shape, mask, 5, 0);
}

} // namespace

const QCursor &HandCursor()
{
    static const QCursor cursor = MakeHandCursor();
    return cursor;
}
