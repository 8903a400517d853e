#pragma once

#include <QStringList>
#include <QWidget>

// The drop-down's item list in its own frameless pop-up window. Rows follow the pointer;
// a press reports the row under it. It never takes the focus, so opening it keeps the face's.
class ComboList : public QWidget
{
    Q_OBJECT
public:
    explicit ComboList(QWidget *owner);

    void AddItem(const QString &text);
    int Count() const { return m_items.size(); }
    QString Item(int index) const;
    int Selected() const { return m_selected; }
    void Select(int index);

    // The list's font size in points; rows are 20 twips per point high.
    static constexpr qreal PointSize = 9.0;

signals:
    void Pressed();

protected:
    void paintEvent(QPaintEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;

private:
    void HighlightAt(int y);

    QStringList m_items;
    int m_selected = -1;
};
