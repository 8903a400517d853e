#include "C_ComboBox.h"

#include "ComboArt.h"
#include "ComboGeometry.h"
#include "ComboList.h"
#include "Rounding.h"
#include "WidgetFonts.h"

#include <QApplication>
#include <QFocusEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QScreen>

namespace {

const QColor CaptionColour(192, 255, 255);
const int CaptionLeft = TwipsToPixels(40);
const int CaptionWidth = TwipsToPixels(1095);

} // namespace

C_ComboBox::C_ComboBox(QWidget *parent)
    : QWidget(parent)
    , m_list(new ComboList(this))
{
    setFocusPolicy(Qt::ClickFocus);
    m_list->hide();
    m_list->resize(ComboFaceSize(false).width(), 0);
    connect(m_list, &ComboList::Pressed, this, &C_ComboBox::ListPressed);
    m_captionTop = TwipsToPixels(50);
    resize(ComboFaceSize(m_showSize));
}

C_ComboBox::~C_ComboBox() = default;

void C_ComboBox::ReadProperties(const WidgetProperties &props)
{
    m_showSize = props.value(QStringLiteral("ShowSize"), false).toBool();
    m_captionTop = TwipsToPixels(m_showSize ? 10 : 50);
    m_captionPointSize = m_showSize ? 9.0 : 10.5;
    resize(ComboFaceSize(m_showSize));
    Redraw();
}

void C_ComboBox::AddItem(const QString &text)
{
    m_list->AddItem(text);
    if (m_list->Selected() < 0)
        m_list->Select(0);
    m_list->resize(ComboFaceSize(false).width(), ComboListHeight(m_list->Count()));
}

int C_ComboBox::TopIndex() const
{
    return m_list->Selected();
}

void C_ComboBox::SetTopIndex(int index)
{
    const int count = m_list->Count();
    if (index >= count)
        index = count - 1;
    // Negative values select nothing.
    if (index < -1)
        index = -1;
    m_list->Select(index);
    m_caption = m_list->Item(index);
    update();
}

void C_ComboBox::SetShowSize(bool showSize)
{
    m_showSize = showSize;
    Redraw();
}

int C_ComboBox::ItemCount() const
{
    return m_list->Count();
}

QWidget *C_ComboBox::ListWindow() const
{
    return m_list;
}

QSize C_ComboBox::sizeHint() const
{
    return ComboFaceSize(m_showSize);
}

int C_ComboBox::NormalFaceHeight() const
{
    return ComboFaceSize(m_showSize).height();
}

void C_ComboBox::Redraw()
{
    update();
    if (!m_isOpen) {
        m_list->hide();
        return;
    }
    const QPoint topLeft = mapToGlobal(QPoint(0, 0));
    const QScreen *scr = screen();
    const int screenBottom = scr ? scr->geometry().bottom() + 1 : topLeft.y() + 10000;
    const int top = ComboListTop(topLeft.y(), NormalFaceHeight(), m_list->height(), screenBottom);
    m_list->move(topLeft.x(), top);
    m_list->show();
    m_list->raise();
}

void C_ComboBox::paintEvent(QPaintEvent *)
{
    QPainter p(this);
    p.drawPixmap(0, 0, ComboFace(m_showSize, m_isPressed, devicePixelRatioF()));
    p.setFont(ArialFont(m_captionPointSize, true));
    p.setPen(CaptionColour);
    // A long item name stops at the arrow button instead of running over it.
    p.setClipRect(0, 0, width() - 1 - ComboArrowWidth, height());
    p.drawText(QRect(CaptionLeft, m_captionTop, CaptionWidth, height()), Qt::AlignLeft | Qt::AlignTop,
               m_caption);
}

void C_ComboBox::resizeEvent(QResizeEvent *)
{
    const QSize face = ComboFaceSize(m_showSize);
    if (size() != face)
        resize(face);
    update();
}

void C_ComboBox::mousePressEvent(QMouseEvent *)
{
    m_isPressed = true;
    m_isOpen = !m_isOpen;
    Redraw();
}

void C_ComboBox::mouseReleaseEvent(QMouseEvent *)
{
    m_isPressed = false;
    Redraw();
}

void C_ComboBox::ListPressed()
{
    m_isOpen = false;
    m_caption = m_list->Item(m_list->Selected());
    Redraw();
    emit ItemClick(m_list->Selected());
}

void C_ComboBox::focusOutEvent(QFocusEvent *event)
{
    // The window system may hand the activation to the pop-up when it is clicked; that is
    // no focus loss of the face, and the press on the list must still be handled.
    const bool toOwnList = event->reason() == Qt::ActiveWindowFocusReason
        && (QApplication::activeWindow() == m_list || m_list->geometry().contains(QCursor::pos()));
    if (m_isOpen && !toOwnList) {
        m_isOpen = false;
        Redraw();
    }
    QWidget::focusOutEvent(event);
}

void C_ComboBox::hideEvent(QHideEvent *)
{
    m_isOpen = false;
    m_isPressed = false;
    m_list->hide();
}
