#include "C_FlagBar.h"

#include "HandCursor.h"
#include "SwitchArt.h"

#include <QMouseEvent>
#include <QPainter>

C_FlagBar::C_FlagBar(QWidget *parent)
    : QWidget(parent)
{
    setCursor(HandCursor());
    setFocusPolicy(Qt::ClickFocus);
    resize(SwitchImageSize());
}

void C_FlagBar::ReadProperties(const WidgetProperties &props)
{
    SetButtonStyle(static_cast<quint8>(props.value(QStringLiteral("ButtonStyle"), 0).toUInt()));
    SetValueInvert(props.value(QStringLiteral("ValueInvert"), false).toBool());
}

void C_FlagBar::SetValue(bool value)
{
    m_isOn = value != m_valueInvert;
    update();
}

void C_FlagBar::SetValueInvert(bool invert)
{
    m_valueInvert = invert;
    update();
}

void C_FlagBar::SetButtonStyle(quint8 style)
{
    m_buttonStyle = style;
    resize(SwitchImageSize());
    update();
}

QSize C_FlagBar::sizeHint() const
{
    return SwitchImageSize();
}

void C_FlagBar::paintEvent(QPaintEvent *)
{
    // Only the one image pair exists; every style shows it.
    QPainter p(this);
    p.drawPixmap(0, 0, SwitchImage(m_isOn, devicePixelRatioF()));
}

void C_FlagBar::resizeEvent(QResizeEvent *)
{
    if (size() != SwitchImageSize())
        resize(SwitchImageSize());
}

void C_FlagBar::mousePressEvent(QMouseEvent *event)
{
    const int half = SwitchImageSize().width() / 2;
    const int x = static_cast<int>(event->position().x());
    if (x > half)
        m_isOn = true;
    else if (x < half)
        m_isOn = false;
    update();
    emit SwitchClick();
}
