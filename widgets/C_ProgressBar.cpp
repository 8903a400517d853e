#include "C_ProgressBar.h"

#include "PixelGrid.h"
#include "ProgressGeometry.h"
#include "WidgetFonts.h"

#include <QPainter>

#include <algorithm>

namespace {

const QColor PictureBackground(224, 224, 224);
const QColor Frame(0, 0, 0);
const QColor EmptyPart(192, 192, 192);
const QColor TextColour(255, 255, 192);

} // namespace

C_ProgressBar::C_ProgressBar(QWidget *parent)
    : QWidget(parent)
{
    resize(738, 25);
}

void C_ProgressBar::SetValue(quint8 percent)
{
    // Beyond 100 the gradient would leave the colour range; a full bar is the most it shows.
    m_value = std::min<quint8>(percent, 100);
    repaint();
}

void C_ProgressBar::paintEvent(QPaintEvent *)
{
    const int w = width();
    const int h = height();
    QPainter p(this);
    PixelGrid grid(p);
    grid.Area(rect(), PictureBackground);

    // Frame: the four lines meet the corners exactly.
    grid.Line(QRect(0, 0, w, 1), Frame);
    grid.Line(QRect(0, 0, 1, h - 1), Frame);
    grid.Line(QRect(w - 1, 0, 1, h - 1), Frame);
    grid.Line(QRect(0, h - 1, w, 1), Frame);

    // The columns of the bar meet, so they are areas, not lines.
    const int filled = ProgressFilled(w, m_value);
    const int n = w - 3;
    for (int i = 0; i <= filled - 3; ++i)
        grid.Area(QRect(1 + i, 1, 1, h - 2), ProgressGradientColour(w, i));
    for (int k = std::max(filled - 3, 1); k <= n - 1; ++k)
        grid.Area(QRect(1 + k, 1, 1, h - 2), EmptyPart);

    p.setRenderHint(QPainter::TextAntialiasing, true);
    p.setFont(SimSunFont(14.25, true));
    p.setPen(TextColour);
    const QString text = QString::number(m_value) + QLatin1Char('%');
    p.drawText(QRectF(w / 2.0 - 10, 3, w, h), Qt::AlignLeft | Qt::AlignTop, text);
}
