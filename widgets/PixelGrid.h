#pragma once

#include <QColor>
#include <QList>
#include <QRect>
#include <QTransform>

class QPainter;

// Pixel art given in logical pixels, filled on whole device pixels at any
// device-pixel ratio and wherever the widget lies on the device. A line keeps
// one thickness wherever it is drawn, so that equal ticks come out equal at
// 1.25; areas that meet at scale 1 still meet.
class PixelGrid
{
public:
    explicit PixelGrid(QPainter &painter);

    // Starts on the device pixel nearest its start; its width and height, at least
    // one device pixel, are rounded once.
    void Line(const QRect &logical, const QColor &colour);
    // Each edge on the device pixel nearest it.
    void Area(const QRect &logical, const QColor &colour);
    // Stripes one logical pixel high, top to bottom, laid out from the first one's
    // device row, so that the pattern is the same wherever it is drawn.
    void Stripes(int left, int top, int width, const QList<QColor> &colours);
    // A one-pixel outline through the columns x and x + width and the rows y and
    // y + height, as a drawn 1x rectangle covers them, with rounded corners.
    void RoundedOutline(const QRect &logical, qreal radius, const QColor &colour);

private:
    int DeviceX(qreal x) const;
    int DeviceY(qreal y) const;
    int Thickness(qreal logical, qreal scale) const;
    void Fill(int x0, int y0, int x1, int y1, const QColor &colour);

    QPainter &painter;
    QTransform toDevice;
    QTransform fromDevice;
};
