#include "C_Button.h"

#include "ButtonArt.h"
#include "Rounding.h"
#include "WidgetFonts.h"

#include <QEnterEvent>
#include <QFontMetrics>
#include <QMouseEvent>
#include <QPainter>

namespace {

const QColor CaptionNormal(223, 225, 227);
const QColor CaptionPressed(192, 192, 255);

qreal CaptionPointSize(quint8 buttonIndex)
{
    return buttonIndex == 1 ? 8.0 : 12.0;
}

} // namespace

C_Button::C_Button(QWidget *parent)
    : QWidget(parent)
    , m_caption(QStringLiteral("按钮"))
    , m_captionColour(CaptionNormal)
{
    QPalette pal = palette();
    pal.setColor(QPalette::Window, QColor(63, 63, 61));
    setPalette(pal);
    setAutoFillBackground(true);
    setMouseTracking(true);
    setFocusPolicy(Qt::ClickFocus);
    m_captionTop = TwipsToPixels(80);
    FitToFace();
}

void C_Button::ReadProperties(const WidgetProperties &props)
{
    SetButtonIndex(static_cast<quint8>(props.value(QStringLiteral("ButtonIndex"), 0).toUInt()));
    SetCaption(props.value(QStringLiteral("Caption"), QStringLiteral("按钮")).toString());
}

void C_Button::SetButtonIndex(quint8 index)
{
    // Faces exist for the large and the small button only.
    m_buttonIndex = index > 1 ? 1 : index;
    FitToFace();
    Redraw();
}

void C_Button::SetCaption(const QString &caption)
{
    m_caption = caption;
    FitToFace();
}

void C_Button::SetState(quint8 state)
{
    if (state == m_state)
        return;
    m_state = state;
    Redraw();
}

QSize C_Button::sizeHint() const
{
    return ButtonFaceSize(m_buttonIndex);
}

void C_Button::FitToFace()
{
    const QSize face = ButtonFaceSize(m_buttonIndex);
    if (size() != face)
        resize(face);
    // Centred with the font the face will show, so the caption stays centred after the redraw.
    const QFontMetrics metrics(ArialFont(CaptionPointSize(m_buttonIndex)));
    m_captionLeft = RoundHalfEven(face.width() / 2.0 - metrics.horizontalAdvance(m_caption) / 2.0);
}

void C_Button::Redraw()
{
    ApplyLook();
    update();
}

void C_Button::ApplyLook()
{
    switch (m_state) {
    case 0:
        m_captionColour = CaptionNormal;
        m_captionTop = TwipsToPixels(80);
        break;
    case 1:
        m_captionColour = CaptionNormal;
        m_captionTop = TwipsToPixels(70);
        break;
    case 2:
        m_captionColour = CaptionPressed;
        m_captionTop = TwipsToPixels(90);
        break;
    default:
        break;
    }
}

void C_Button::paintEvent(QPaintEvent *)
{
    ApplyLook();
    QPainter p(this);
    if (m_state <= 2)
        p.drawPixmap(0, 0, ButtonFace(m_buttonIndex, m_state, devicePixelRatioF()));
    p.setFont(ArialFont(CaptionPointSize(m_buttonIndex)));
    p.setPen(m_captionColour);
    p.drawText(QRect(m_captionLeft, m_captionTop, width(), height()), Qt::AlignLeft | Qt::AlignTop,
               m_caption);
}

void C_Button::resizeEvent(QResizeEvent *)
{
    FitToFace();
}

void C_Button::mousePressEvent(QMouseEvent *)
{
    m_isPressed = true;
    m_state = 2;
    Redraw();
}

void C_Button::mouseMoveEvent(QMouseEvent *)
{
    // The face's own step comes first, then the window's first-move step.
    m_state = m_isPressed ? 2 : 1;
    Redraw();
    if (!m_isMouseInside)
        PointerEnteredWindow();
}

void C_Button::mouseReleaseEvent(QMouseEvent *)
{
    m_isPressed = false;
    m_state = 1;
    emit Click();
    Redraw();
}

void C_Button::enterEvent(QEnterEvent *)
{
    if (!m_isMouseInside)
        PointerEnteredWindow();
}

void C_Button::leaveEvent(QEvent *)
{
    m_isMouseInside = false;
    m_state = 0;
    Redraw();
    emit MouseLeave();
}

void C_Button::PointerEnteredWindow()
{
    m_isMouseInside = true;
    m_state = 1;
    Redraw();
    emit MouseEnter();
}
