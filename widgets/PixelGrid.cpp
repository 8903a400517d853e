#include "PixelGrid.h"

#include "Rounding.h"

#include <QPainter>

#include <algorithm>

PixelGrid::PixelGrid(QPainter &painter)
    : painter(painter), toDevice(painter.deviceTransform()), fromDevice(toDevice.inverted())
{
}

int PixelGrid::DeviceX(qreal x) const
{
    return RoundHalfEven(toDevice.map(QPointF(x, 0)).x());
}

int PixelGrid::DeviceY(qreal y) const
{
    return RoundHalfEven(toDevice.map(QPointF(0, y)).y());
}

int PixelGrid::Thickness(qreal logical, qreal scale) const
{
    return std::max(1, RoundHalfEven(logical * scale));
}

void PixelGrid::Fill(int x0, int y0, int x1, int y1, const QColor &colour)
{
    if (x1 <= x0 || y1 <= y0)
        return;
    // Device pixel centres lie half a pixel inside these edges, so that rounding in
    // the mapping back cannot move an edge.
    const bool antialiased = painter.testRenderHint(QPainter::Antialiasing);
    painter.setRenderHint(QPainter::Antialiasing, false);
    painter.fillRect(fromDevice.mapRect(QRectF(x0, y0, x1 - x0, y1 - y0)), colour);
    painter.setRenderHint(QPainter::Antialiasing, antialiased);
}

void PixelGrid::Line(const QRect &logical, const QColor &colour)
{
    if (logical.isEmpty())
        return;
    const int x = DeviceX(logical.x());
    const int y = DeviceY(logical.y());
    Fill(x, y, x + Thickness(logical.width(), toDevice.m11()), y + Thickness(logical.height(), toDevice.m22()),
         colour);
}

void PixelGrid::Area(const QRect &logical, const QColor &colour)
{
    if (logical.isEmpty())
        return;
    Fill(DeviceX(logical.x()), DeviceY(logical.y()), DeviceX(logical.x() + logical.width()),
         DeviceY(logical.y() + logical.height()), colour);
}

void PixelGrid::RoundedOutline(const QRect &logical, qreal radius, const QColor &colour)
{
    const qreal scale = toDevice.m11();
    const int pen = Thickness(1, scale);
    const int x0 = DeviceX(logical.x());
    const int y0 = DeviceY(logical.y());
    const int x1 = DeviceX(logical.x() + logical.width()) + pen;
    const int y1 = DeviceY(logical.y() + logical.height()) + pen;
    // The pen runs along the middle of its pixels.
    const QRectF middle(x0 + pen / 2.0, y0 + pen / 2.0, x1 - x0 - pen, y1 - y0 - pen);
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing, true);
    painter.setPen(QPen(colour, pen / scale));
    painter.setBrush(Qt::NoBrush);
    painter.drawRoundedRect(fromDevice.mapRect(middle), radius, radius);
    painter.restore();
}

void PixelGrid::Stripes(int left, int top, int width, const QList<QColor> &colours)
{
    const int x = DeviceX(left);
    const int x1 = x + Thickness(width, toDevice.m11());
    const int y = DeviceY(top);
    const qreal scale = toDevice.m22();
    for (int k = 0; k < colours.size(); ++k)
        Fill(x, y + RoundHalfEven(k * scale), x1, y + RoundHalfEven((k + 1) * scale), colours[k]);
}
