#include "OptionArt.h"

#include "ArtCache.h"
#include "PixelGrid.h"
#include "WidgetFonts.h"

#include <QPainter>
#include <QPainterPath>

#include <array>

namespace {

const QColor Frame(63, 63, 61);
const QColor Yellow(241, 238, 61);
const int NaturalSign = 5;

const std::array<const char *, OptionFaceCount> Lettering = {
    "b1", "b2", "b3", "b4", "b5", "", "#1", "#2", "#3", "#4", "#5",
    "AUTO", "AUX", "BGM", "Mute", "Lock", "Reset"};

void PaintBullet(QPainter &p, bool selected)
{
    PixelGrid(p).Area(QRect(QPoint(0, 0), OptionBulletSize()), QColor(127, 127, 127));
    const QPointF centre(8, 8.5);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(40, 40, 38));
    p.drawEllipse(centre, 7.5, 7.5);
    p.setBrush(selected ? Yellow : Frame);
    p.drawEllipse(centre, 5.5, 5.5);
    if (selected) {
        p.setBrush(QColor(255, 255, 200));
        p.drawEllipse(QPointF(6.5, 7), 1.6, 1.6);
    }
}

// The natural sign drawn as strokes: no common font is sure to carry the glyph.
void PaintNatural(QPainter &p, const QRectF &box, const QColor &colour)
{
    const QPointF c = box.center();
    const qreal hw = 2.5; // stems on pixel centres stay crisp
    const qreal hh = 7.5;
    QPainterPath path;
    path.moveTo(c.x() - hw, c.y() - hh);
    path.lineTo(c.x() - hw, c.y() + 3);
    path.moveTo(c.x() + hw, c.y() - 3);
    path.lineTo(c.x() + hw, c.y() + hh);
    p.setPen(QPen(colour, 1.3, Qt::SolidLine, Qt::FlatCap));
    p.setBrush(Qt::NoBrush);
    p.drawPath(path);
    // The two slanted bars are thick, as in engraved music.
    p.setPen(QPen(colour, 2.2, Qt::SolidLine, Qt::FlatCap));
    p.drawLine(QPointF(c.x() - hw, c.y() - 2), QPointF(c.x() + hw, c.y() - 3.5));
    p.drawLine(QPointF(c.x() - hw, c.y() + 3), QPointF(c.x() + hw, c.y() + 1.5));
}

void PaintFace(QPainter &p, int index, bool selected)
{
    const QSize size = OptionFaceSize(index);
    const QRectF all(QPointF(0, 0), QSizeF(size));
    PixelGrid(p).Area(QRect(QPoint(0, 0), size), Frame);

    const bool darkFace = index >= 14;
    QColor fill;
    QColor letter;
    QColor rim;
    if (selected) {
        fill = Yellow;
        letter = QColor(220, 20, 20);
        rim = QColor(120, 116, 20);
    } else if (darkFace) {
        fill = QColor(12, 12, 12);
        letter = Qt::white;
        rim = QColor(110, 110, 110);
    } else {
        fill = Qt::white;
        letter = QColor(128, 128, 128);
        rim = QColor(170, 170, 170);
    }

    const QRectF button = all.adjusted(2, 2, -2, -2);
    p.setPen(QPen(rim, 1));
    p.setBrush(fill);
    p.drawRoundedRect(button, 5, 5);

    if (index == NaturalSign) {
        PaintNatural(p, button, letter);
        return;
    }
    const qreal points = index >= 11 ? 7.5 : 9.0;
    p.setFont(ArialFont(points, true));
    p.setPen(letter);
    p.drawText(button, Qt::AlignCenter, QString::fromLatin1(Lettering[static_cast<std::size_t>(index)]));
}

int ValidIndex(int buttonIndex)
{
    return buttonIndex >= 0 && buttonIndex < OptionFaceCount ? buttonIndex : 0;
}

} // namespace

QSize OptionBulletSize()
{
    return QSize(16, 17);
}

QPixmap OptionBullet(bool selected, qreal devicePixelRatio)
{
    return CachedArt(selected ? QStringLiteral("bullet-on") : QStringLiteral("bullet-off"), OptionBulletSize(),
                     devicePixelRatio, [selected](QPainter &p) { PaintBullet(p, selected); });
}

QSize OptionFaceSize(int buttonIndex)
{
    const int index = ValidIndex(buttonIndex);
    if (index >= 14)
        return QSize(42, 24);
    if (index >= 11)
        return QSize(44, 22);
    return QSize(36, 22);
}

QPixmap OptionFace(int buttonIndex, bool selected, qreal devicePixelRatio)
{
    const int index = ValidIndex(buttonIndex);
    return CachedArt(QStringLiteral("option-%1-%2").arg(index).arg(selected), OptionFaceSize(index),
                     devicePixelRatio, [index, selected](QPainter &p) { PaintFace(p, index, selected); });
}
