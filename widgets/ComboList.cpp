#include "ComboList.h"

#include "ComboGeometry.h"
#include "PixelGrid.h"

#include <QMouseEvent>
#include <QPainter>

ComboList::ComboList(QWidget *owner)
    : QWidget(owner, Qt::Tool | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint)
{
    setAttribute(Qt::WA_ShowWithoutActivating);
    setAttribute(Qt::WA_X11DoNotAcceptFocus);
    setFocusPolicy(Qt::NoFocus);
    setMouseTracking(true);
    QPalette pal = palette();
    pal.setColor(QPalette::Window, QColor(127, 127, 127));
    setPalette(pal);
    setAutoFillBackground(true);
    QFont listFont = font();
    listFont.setPointSizeF(PointSize);
    setFont(listFont);
}

void ComboList::AddItem(const QString &text)
{
    m_items.append(text);
    update();
}

QString ComboList::Item(int index) const
{
    return index >= 0 && index < m_items.size() ? m_items.at(index) : QString();
}

void ComboList::Select(int index)
{
    m_selected = index;
    update();
}

void ComboList::paintEvent(QPaintEvent *)
{
    QPainter p(this);
    const int rowHeight = ComboRowTwips(PointSize) / 15;
    for (int i = 0; i < m_items.size(); ++i) {
        const QRect row(0, i * rowHeight, width(), rowHeight);
        if (i == m_selected) {
            PixelGrid(p).Area(row, palette().color(QPalette::Active, QPalette::Highlight));
            p.setPen(palette().color(QPalette::Active, QPalette::HighlightedText));
        } else {
            p.setPen(Qt::black);
        }
        p.drawText(row.adjusted(2, 0, -2, 0), Qt::AlignLeft | Qt::AlignVCenter, m_items.at(i));
    }
}

void ComboList::HighlightAt(int y)
{
    const int candidate = ComboRowAt(y, PointSize);
    if (y >= 0 && candidate < m_items.size())
        Select(candidate);
}

void ComboList::mouseMoveEvent(QMouseEvent *event)
{
    HighlightAt(static_cast<int>(event->position().y()));
}

void ComboList::mousePressEvent(QMouseEvent *event)
{
    // A press without a move before it still picks the row under the pointer.
    HighlightAt(static_cast<int>(event->position().y()));
    emit Pressed();
}
