#include "C_OptionEx.h"

#include "HandCursor.h"
#include "OptionArt.h"

#include <QMouseEvent>
#include <QPainter>

C_OptionEx::C_OptionEx(QWidget *parent)
    : QWidget(parent)
{
    QPalette pal = palette();
    pal.setColor(QPalette::Window, QColor(63, 63, 61));
    setPalette(pal);
    setAutoFillBackground(true);
    setCursor(HandCursor());
    setFocusPolicy(Qt::ClickFocus);
    resize(OptionFaceSize(m_buttonIndex));
}

void C_OptionEx::ReadProperties(const WidgetProperties &props)
{
    m_value = props.value(QStringLiteral("Value"), false).toBool();
    const uint index = props.value(QStringLiteral("ButtonIndex"), 0).toUInt();
    m_buttonIndex = static_cast<quint8>(index < OptionFaceCount ? index : 0);
}

void C_OptionEx::SetValue(bool value)
{
    m_value = value;
    update();
}

void C_OptionEx::SetButtonIndex(quint8 index)
{
    // Only 17 faces exist; anything else shows the first.
    m_buttonIndex = index < OptionFaceCount ? index : 0;
    resize(OptionFaceSize(m_buttonIndex));
    update();
}

QSize C_OptionEx::sizeHint() const
{
    return OptionFaceSize(m_buttonIndex);
}

void C_OptionEx::paintEvent(QPaintEvent *)
{
    QPainter p(this);
    p.drawPixmap(0, 0, OptionFace(m_buttonIndex, m_value, devicePixelRatioF()));
}

void C_OptionEx::resizeEvent(QResizeEvent *)
{
    const QSize face = OptionFaceSize(m_buttonIndex);
    if (size() != face)
        resize(face);
}

void C_OptionEx::mousePressEvent(QMouseEvent *event)
{
    m_pressed = event->button() == Qt::LeftButton;
}

void C_OptionEx::mouseReleaseEvent(QMouseEvent *event)
{
    const bool click = m_pressed && event->button() == Qt::LeftButton && rect().contains(event->position().toPoint());
    m_pressed = false;
    if (click)
        emit OptionClick();
}
