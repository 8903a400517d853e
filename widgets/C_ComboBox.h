#pragma once

#include "WidgetProperties.h"

#include <QStringList>
#include <QWidget>

class ComboList;

// Skinned drop-down list: a face with the selected item's text and a pop-up list of items.
class C_ComboBox : public QWidget
{
    Q_OBJECT
public:
    explicit C_ComboBox(QWidget *parent = nullptr);
    ~C_ComboBox() override;

    void ReadProperties(const WidgetProperties &props);

    void AddItem(const QString &text);
    int TopIndex() const;
    void SetTopIndex(int index);
    bool ShowSize() const { return m_showSize; }
    void SetShowSize(bool showSize);
    QString Caption() const { return m_caption; }
    bool IsOpen() const { return m_isOpen; }
    bool IsPressed() const { return m_isPressed; }
    int ItemCount() const;

    // The pop-up window that holds the items (exposed for tests and placement checks).
    QWidget *ListWindow() const;

    QSize sizeHint() const override;

signals:
    void ItemClick(int ItemIndex);

protected:
    void paintEvent(QPaintEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void focusOutEvent(QFocusEvent *event) override;
    void hideEvent(QHideEvent *event) override;

private:
    void Redraw();
    void ListPressed();
    int NormalFaceHeight() const;

    ComboList *m_list;
    bool m_showSize = false;
    bool m_isPressed = false;
    bool m_isOpen = false;
    QString m_caption = QStringLiteral("0");
    int m_captionTop = 0;
    qreal m_captionPointSize = 10.5;
};
