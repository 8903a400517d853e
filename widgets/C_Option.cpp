#include "C_Option.h"

#include "HandCursor.h"
#include "OptionArt.h"
#include "Rounding.h"
#include "WidgetFonts.h"

#include <QMouseEvent>
#include <QPainter>

namespace {

const int MinimumWidth = TwipsToPixels(500);
const int FixedHeight = TwipsToPixels(260);
const int CaptionLeft = TwipsToPixels(16 * 15 + 40);
const QSize CaptionSize(TwipsToPixels(1455), TwipsToPixels(255));

} // namespace

C_Option::C_Option(QWidget *parent)
    : QWidget(parent)
{
    QPalette pal = palette();
    pal.setColor(QPalette::Window, QColor(127, 127, 127));
    setPalette(pal);
    setAutoFillBackground(true);
    setCursor(HandCursor());
    setFocusPolicy(Qt::ClickFocus);
    resize(CaptionLeft + CaptionSize.width(), FixedHeight);
}

void C_Option::ReadProperties(const WidgetProperties &props)
{
    m_caption = props.value(QStringLiteral("Caption"), QStringLiteral("Label1")).toString();
    m_value = props.value(QStringLiteral("Value"), false).toBool();
}

void C_Option::SetCaption(const QString &caption)
{
    m_caption = caption;
    update();
}

void C_Option::SetValue(bool value)
{
    m_value = value;
    update();
}

QSize C_Option::sizeHint() const
{
    return QSize(CaptionLeft + CaptionSize.width(), FixedHeight);
}

void C_Option::paintEvent(QPaintEvent *)
{
    QPainter p(this);
    p.drawPixmap(0, 0, OptionBullet(m_value, devicePixelRatioF()));
    p.setFont(ArialFont(10.5));
    p.setPen(m_value ? QColor(255, 255, 0) : QColor(64, 64, 62));
    p.setClipRect(QRect(QPoint(CaptionLeft, 0), CaptionSize));
    p.drawText(QRect(QPoint(CaptionLeft, 0), CaptionSize), Qt::AlignLeft | Qt::AlignTop, m_caption);
}

void C_Option::resizeEvent(QResizeEvent *)
{
    const QSize wanted(std::max(width(), MinimumWidth), FixedHeight);
    if (size() != wanted)
        resize(wanted);
}

void C_Option::mousePressEvent(QMouseEvent *event)
{
    m_pressed = event->button() == Qt::LeftButton;
}

void C_Option::mouseReleaseEvent(QMouseEvent *event)
{
    const bool click = m_pressed && event->button() == Qt::LeftButton && rect().contains(event->position().toPoint());
    m_pressed = false;
    if (click)
        emit OptionClick();
}
