#include "HeaderStrip.h"

#include <QFontMetrics>
#include <QPainter>

namespace {

const QColor StripColour(44, 46, 46);
const QColor StripText(255, 255, 128);

} // namespace

void HeaderStrip::SetCaptions(const QStringList &newCaptions, const QList<int> &newCentres)
{
    captions = newCaptions;
    centres = newCentres;
    update();
}

void HeaderStrip::paintEvent(QPaintEvent *)
{
    QPainter p(this);
    p.fillRect(rect(), StripColour);
    p.setRenderHint(QPainter::TextAntialiasing);
    // The largest type, up to 11 pixels, whose captions keep apart from their neighbours.
    int columnWidth = width();
    for (int k = 1; k < centres.size(); ++k)
        columnWidth = qMin(columnWidth, centres[k] - centres[k - 1]);
    QFont font(QStringLiteral("Arial"));
    for (int pixels = qMin(11, height() - 3); pixels >= 8; --pixels) {
        font.setPixelSize(pixels);
        const QFontMetrics metrics(font);
        int widest = 0;
        for (const QString &caption : captions)
            widest = qMax(widest, metrics.horizontalAdvance(caption));
        if (widest <= columnWidth - 6)
            break;
    }
    p.setFont(font);
    p.setPen(StripText);
    for (int k = 0; k < captions.size() && k < centres.size(); ++k)
        p.drawText(QRect(centres[k] - columnWidth / 2, 0, columnWidth, height()), Qt::AlignCenter, captions[k]);
}
