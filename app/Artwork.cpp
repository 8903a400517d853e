#include "Artwork.h"

#include "LayoutGeometry.h"
#include "MainFrmLayout.h"
#include "PixelGrid.h"

#include <QFont>
#include <QFontMetrics>
#include <QHash>
#include <QPainter>

namespace {

const QColor WindowColour(63, 63, 61);
const QColor PanelEdge(96, 98, 94);
const QColor TitleColour(255, 176, 64);
const QColor CaptionColour(224, 224, 224);

QFont TitleFont()
{
    QFont font(QStringLiteral("Arial"));
    font.setPointSizeF(10.5);
    font.setBold(true);
    return font;
}

QFont CaptionFont()
{
    QFont font(QStringLiteral("Arial"));
    font.setPointSizeF(9);
    return font;
}

void PanelFrame(QPainter &p, const QRect &frame)
{
    PixelGrid(p).RoundedOutline(frame, 4, PanelEdge);
}

void Title(QPainter &p, int x, int top, int height, const QString &text)
{
    p.setFont(TitleFont());
    p.setPen(TitleColour);
    p.drawText(QRect(x, top, 44, height), Qt::AlignLeft | Qt::AlignVCenter, text);
}

void RowCaption(QPainter &p, int x, int top, int height, const QString &text)
{
    p.setFont(CaptionFont());
    p.setPen(CaptionColour);
    p.drawText(QRect(x, top, 52, height), Qt::AlignLeft | Qt::AlignVCenter, text);
}

} // namespace

std::array<QRect, 3> PanelFrames(const LayoutGeometry &g)
{
    const auto frame = [](int top, int bottom) { return QRect(8, top, 706, bottom - top); };
    const int sliderHeight = g.slidersShowSize ? 111 : 100;
    const int micBottom = TwipsToPixels(g.micRowTopTwips) + sliderHeight;
    return {frame(g.musicRowTop - 2, g.frame1.bottom() + 2), frame(g.micRowTop - 2, micBottom + 1),
            frame(g.effectRowTop - 2, g.frame2.bottom() + 2)};
}

namespace {

QPixmap PaintBackground(const LayoutGeometry &g, qreal devicePixelRatio)
{
    QPixmap picture(g.clientSize * devicePixelRatio);
    picture.setDevicePixelRatio(devicePixelRatio);
    picture.fill(WindowColour);
    QPainter p(&picture);
    p.setRenderHint(QPainter::Antialiasing);
    p.setRenderHint(QPainter::TextAntialiasing);

    const int sliderHeight = g.slidersShowSize ? 111 : 100;
    const int listHeight = g.listsShowSize ? 16 : 19;
    for (const QRect &frame : PanelFrames(g))
        PanelFrame(p, frame);

    Title(p, 18, g.musicRowTop, listHeight, QStringLiteral("音乐"));
    Title(p, 18, g.micRowTop, listHeight, QStringLiteral("话筒"));
    Title(p, 18, g.effectRowTop, listHeight, QStringLiteral("效果"));

    const LimitsGeometry &lim = g.limits;
    p.setFont(TitleFont());
    p.setPen(TitleColour);
    p.drawText(QRect(lim.sliderLeft, lim.groupTop - 22, 190, 18), Qt::AlignLeft | Qt::AlignVCenter,
               QStringLiteral("通道音量"));
    PixelGrid grid(p);
    for (int c = 1; c < 3; ++c) {
        const int y = lim.groupTop + lim.groupStep * c - (lim.groupStep - sliderHeight) / 2;
        grid.Line(QRect(QPoint(lim.sliderLeft + 4, y), QPoint(g.clientSize.width() - 8, y)), PanelEdge);
    }

    RowCaption(p, 20, g.keyRowTop, 22, QStringLiteral("变调"));
    RowCaption(p, 20, g.sourceRowTop, 24, QStringLiteral("输入"));
    RowCaption(p, 236, g.sourceRowTop, 24, QStringLiteral("激励"));
    return picture;
}

} // namespace

const QPixmap &BackgroundPicture(const LayoutGeometry &geometry, qreal devicePixelRatio)
{
    static QHash<QPair<const LayoutGeometry *, qreal>, QPixmap> painted;
    const QPair<const LayoutGeometry *, qreal> key(&geometry, devicePixelRatio);
    auto found = painted.find(key);
    if (found == painted.end())
        found = painted.insert(key, PaintBackground(geometry, devicePixelRatio));
    return *found;
}
