#include "C_ScrollBar.h"

#include "HandCursor.h"
#include "PixelGrid.h"
#include "Rounding.h"
#include "SliderGeometry.h"
#include "WidgetFonts.h"

#include <QApplication>
#include <QFocusEvent>
#include <QKeyEvent>
#include <QLabel>
#include <QMouseEvent>
#include <QPainter>

#include <algorithm>

namespace {

const QColor Background(61, 63, 63);
const QColor Tick(31, 26, 23);
const QColor Edge(31, 34, 27);
const QColor LightGrey(155, 157, 158);
const QColor MidGrey(143, 145, 149);
const QColor Orange1(206, 154, 56);
const QColor Orange2(195, 147, 57);
const QColor HoverYellow(255, 255, 0);
const QColor BoxShadow(115, 115, 115);
const QColor BoxLight(222, 222, 220);

// Lines are given by end points with the second point not drawn; these fill exactly those pixels.
void HorizontalLine(PixelGrid &grid, int x1, int x2, int y, int pen, const QColor &colour)
{
    // A wide pen is centred on the line: pen 3 covers y - 1 .. y + 1, pen 2 covers y - 1 .. y.
    grid.Line(QRect(x1, y - pen / 2, x2 - x1, pen), colour);
}

void VerticalLine(PixelGrid &grid, int x, int y1, int y2, int pen, const QColor &colour)
{
    grid.Line(QRect(x - pen / 2, y1, pen, y2 - y1), colour);
}

QLabel *MakeLabel(QWidget *parent, const QColor &colour, qreal pointSize)
{
    auto *label = new QLabel(parent);
    QPalette pal = label->palette();
    pal.setColor(QPalette::WindowText, colour);
    label->setPalette(pal);
    label->setFont(ArialFont(pointSize));
    label->setAttribute(Qt::WA_TransparentForMouseEvents);
    return label;
}

QLabel *MakeScaleLabel(QWidget *parent, int top)
{
    QLabel *label = MakeLabel(parent, QColor(192, 192, 192), 7.5);
    label->setAlignment(Qt::AlignRight | Qt::AlignTop);
    label->setGeometry(0, top, 32, 12);
    label->setText(QStringLiteral("None"));
    return label;
}

} // namespace

C_ScrollBar::C_ScrollBar(QWidget *parent)
    : QWidget(parent)
{
    QPalette pal = palette();
    pal.setColor(QPalette::Window, Background);
    setPalette(pal);
    setAutoFillBackground(true);
    setMouseTracking(true);
    setFocusPolicy(Qt::ClickFocus);

    m_label1 = MakeLabel(this, QColor(255, 255, 128), 6.75);
    m_label1->setText(QStringLiteral("None"));
    m_label2 = MakeLabel(this, QColor(224, 224, 224), 7.5);
    m_label2->setText(QStringLiteral("None"));
    m_label2->move(38, 15);
    m_label3 = MakeScaleLabel(this, 28);
    m_label4 = MakeScaleLabel(this, 58);
    m_label5 = MakeScaleLabel(this, 87);
    CentreTitle();
    FormatValueTip();
    UpdateGeometryState();
    resize(80, 100);
}

void C_ScrollBar::ReadProperties(const WidgetProperties &props)
{
    SetMaxValue(props.value(QStringLiteral("MaxValue"), 10).toInt());
    SetTitle(props.value(QStringLiteral("Title"), QStringLiteral("None")).toString());
    SetValueTip(props.value(QStringLiteral("ValueTip"), QStringLiteral("None")).toString());
    SetText1(props.value(QStringLiteral("Text1"), QStringLiteral("None")).toString());
    SetText2(props.value(QStringLiteral("Text2"), QStringLiteral("None")).toString());
    SetText3(props.value(QStringLiteral("Text3"), QStringLiteral("None")).toString());
    setEnabled(props.value(QStringLiteral("Enabled"), true).toBool());
    SetShowSize(props.value(QStringLiteral("ShowSize"), false).toBool());
    SetTitleVisible(props.value(QStringLiteral("TitleVisible"), true).toBool());
    SetValueGlobal(props.value(QStringLiteral("ValueGlobal"), false).toBool());
    SetValueTipType(props.value(QStringLiteral("ValueTipType"), 0).toInt());
    FormatValueTip();
    // The loaded geometry applies now rather than waiting for the host's first resize.
    resize(width(), m_showSize ? 111 : 100);
    PlaceScaleLabels();
}

void C_ScrollBar::SetValue(int value)
{
    m_value = std::clamp(value, 0, std::max(m_maxValue, 0));
    FormatValueTip();
    UpdateGeometryState();
    update();
}

void C_ScrollBar::SetMaxValue(int maxValue)
{
    m_maxValue = maxValue;
    m_value = std::max(RoundHalfEven(maxValue / 2.0), 0);
    FormatValueTip();
    UpdateGeometryState();
    update();
}

void C_ScrollBar::SetMaxValuePreview(int maxValue)
{
    m_maxValue = maxValue;
    if (m_value > maxValue)
        m_value = std::max(maxValue, 0);
    FormatValueTip();
    UpdateGeometryState();
    update();
}

QString C_ScrollBar::ValueTip() const
{
    return m_label2->text();
}

void C_ScrollBar::SetValueTip(const QString &text)
{
    m_label2->setText(text);
    PlaceValueText();
    update();
}

void C_ScrollBar::SetValueTipType(int type)
{
    m_valueTipType = type;
    FormatValueTip();
    update();
}

QString C_ScrollBar::Title() const
{
    return m_label1->text();
}

void C_ScrollBar::SetTitle(const QString &title)
{
    m_label1->setText(title);
    CentreTitle();
    update();
}

bool C_ScrollBar::TitleVisible() const
{
    return m_titleVisible;
}

void C_ScrollBar::SetTitleVisible(bool visible)
{
    m_titleVisible = visible;
    m_label1->setVisible(visible);
    update();
}

QString C_ScrollBar::Text1() const
{
    return m_label3->text();
}

void C_ScrollBar::SetText1(const QString &text)
{
    m_label3->setText(text);
    update();
}

QString C_ScrollBar::Text2() const
{
    return m_label4->text();
}

void C_ScrollBar::SetText2(const QString &text)
{
    m_label4->setText(text);
    update();
}

QString C_ScrollBar::Text3() const
{
    return m_label5->text();
}

void C_ScrollBar::SetText3(const QString &text)
{
    m_label5->setText(text);
    update();
}

void C_ScrollBar::SetShowSize(bool showSize)
{
    m_showSize = showSize;
    UpdateGeometryState();
    update();
}

QSize C_ScrollBar::sizeHint() const
{
    return QSize(80, m_showSize ? 111 : 100);
}

void C_ScrollBar::FormatValueTip()
{
    QString text;
    if (!FormatValueTipText(m_valueTipType, m_value, &text))
        return;
    m_label2->setText(text);
    PlaceValueText();
}

void C_ScrollBar::PlaceValueText()
{
    // The box's inside runs from x 36 to 67; a text too long for its place at x 38
    // moves left, and one too long for the whole inside is set narrower.
    constexpr int InsideLeft = 37, InsideRight = 66, TextLeft = 38;
    QFont font = m_label2->font();
    font.setStretch(QFont::Unstretched);
    m_label2->setFont(font);
    m_label2->adjustSize();
    const int room = InsideRight - InsideLeft + 1;
    if (m_label2->width() > room) {
        font.setStretch(std::max(50, 100 * room / m_label2->width()));
        m_label2->setFont(font);
        m_label2->adjustSize();
    }
    const int left = std::max(InsideLeft, std::min(TextLeft, InsideRight + 1 - m_label2->width()));
    m_label2->move(left, 15);
}

void C_ScrollBar::CentreTitle()
{
    m_label1->adjustSize();
    m_label1->move(51 - m_label1->width() / 2, 1);
}

void C_ScrollBar::PlaceScaleLabels()
{
    m_label4->move(0, m_showSize ? 63 : 58);
    m_label5->move(0, m_showSize ? 97 : 87);
}

void C_ScrollBar::UpdateGeometryState()
{
    m_pixelsPerStep = PixelsPerStep(m_showSize, m_maxValue);
    m_thumbY = ThumbRow(m_maxValue, m_value, m_pixelsPerStep);
}

void C_ScrollBar::paintEvent(QPaintEvent *)
{
    UpdateGeometryState();
    const bool tall = m_showSize;
    QPainter p(this);
    PixelGrid grid(p);

    grid.Area(QRect(QPoint(34, 30), QPoint(69, tall ? 110 : 99)), Background);

    const int spacing = tall ? 7 : 6;
    for (int i = 0; i <= 10; ++i) {
        const int y = 28 + (11 - i) * spacing;
        if (i == 0 || i == 5 || i == 10)
            HorizontalLine(grid, 35, 68, y, 3, Tick);
        else
            HorizontalLine(grid, 36, 67, y, 1, Tick);
    }

    VerticalLine(grid, 52, 33, tall ? 107 : 96, 3, Tick);

    const QColor thumb = m_hovered ? HoverYellow : Orange1;
    const QColor thumbLow = m_hovered ? HoverYellow : Orange2;
    grid.Stripes(35, m_thumbY - 5, 33,
                 {Edge, LightGrey, MidGrey, Edge, thumb, thumbLow, Edge, LightGrey, MidGrey, Edge});

    VerticalLine(grid, 34, m_thumbY - 5, m_thumbY + 5, 1, Edge);
    VerticalLine(grid, 68, m_thumbY - 5, m_thumbY + 5, 1, Edge);

    VerticalLine(grid, 35, 14, 27, 2, BoxShadow);
    HorizontalLine(grid, 34, 68, 14, 2, BoxShadow);
    VerticalLine(grid, 68, 14, 27, 2, BoxLight);
    HorizontalLine(grid, 34, 68, 27, 2, BoxLight);
}

void C_ScrollBar::resizeEvent(QResizeEvent *)
{
    const int wanted = m_showSize ? 111 : 100;
    if (height() != wanted)
        resize(width(), wanted);
    PlaceScaleLabels();
}

void C_ScrollBar::mouseMoveEvent(QMouseEvent *event)
{
    // A release that came while the slider was disabled never reached it; the buttons tell.
    if (m_dragging && event->buttons() == Qt::NoButton)
        m_dragging = false;
    PointerAt(event->position().toPoint());
}

void C_ScrollBar::PointerAt(const QPoint &pos)
{
    const int x = pos.x();
    const int y = pos.y();
    const bool inThumb = x >= 33 && x <= 69 && y >= m_thumbY - 6 && y <= m_thumbY + 6;
    if (!inThumb && m_hovered)
        LeaveThumb();
    else if (inThumb && !m_hovered)
        EnterThumb();

    if (x < 33 || x > 69 || y < 0 || y > height())
        m_dragging = false;

    if (m_dragging) {
        m_value = ValueAtRow(m_maxValue, m_pixelsPerStep, y);
        FormatValueTip();
        UpdateGeometryState();
        update();
        if (m_value != m_lastScrollValue) {
            m_lastScrollValue = m_value;
            emit Scroll();
        }
    }
}

void C_ScrollBar::EnterThumb()
{
    setCursor(HandCursor());
    m_hovered = true;
    TakeKeys();
    emit MouseIn();
    update();
}

void C_ScrollBar::TakeKeys()
{
    // The arrow keys act on the thumb under the pointer, so the keys must come here;
    // but a pointer crossing the thumb must not take the keys from a text being typed.
    const QWidget *focused = QApplication::focusWidget();
    if (focused && focused != this && focused->testAttribute(Qt::WA_InputMethodEnabled))
        return;
    setFocus(Qt::MouseFocusReason);
}

void C_ScrollBar::changeEvent(QEvent *event)
{
    // Disabled while its command ran, the slider lost the keys; still under the pointer, it takes them back.
    if (event->type() == QEvent::EnabledChange && isEnabled() && m_keysLostWhileDisabled) {
        m_keysLostWhileDisabled = false;
        if (m_hovered)
            setFocus(Qt::OtherFocusReason);
    }
    QWidget::changeEvent(event);
}

void C_ScrollBar::LeaveThumb()
{
    unsetCursor();
    m_hovered = false;
    update();
}

void C_ScrollBar::mousePressEvent(QMouseEvent *)
{
    if (m_hovered) {
        m_dragging = true;
        m_lastScrollValue = m_value;
        setFocus(Qt::MouseFocusReason);
    }
}

void C_ScrollBar::mouseReleaseEvent(QMouseEvent *)
{
    m_dragging = false;
}

void C_ScrollBar::leaveEvent(QEvent *)
{
    // Without a held button the pointer leaving the widget has left the thumb too.
    if (m_hovered && !m_dragging)
        LeaveThumb();
}

void C_ScrollBar::keyPressEvent(QKeyEvent *event)
{
    const int key = event->key();
    if (key != Qt::Key_Up && key != Qt::Key_Down) {
        event->ignore();
        return;
    }
    event->accept();
    if (!isEnabled() || !m_hovered)
        return;
    if (key == Qt::Key_Up && m_value < m_maxValue)
        ++m_value;
    else if (key == Qt::Key_Down && m_value > 0)
        --m_value;
    else
        return;
    FormatValueTip();
    emit Scroll();
    UpdateGeometryState();
    update();
    MoveCursorToThumb();
}

void C_ScrollBar::MoveCursorToThumb()
{
    const QPoint top = mapToGlobal(QPoint(0, 0));
    QCursor::setPos(QCursor::pos().x(), top.y() + m_thumbY);
}

void C_ScrollBar::focusOutEvent(QFocusEvent *event)
{
    // Disabling the slider moves the focus away; a drag held across a running command goes on.
    if (!isEnabled()) {
        m_keysLostWhileDisabled = true;
        return;
    }
    m_dragging = false;
    if (m_hovered)
        LeaveThumb();
    QWidget::focusOutEvent(event);
}
