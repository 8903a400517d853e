#pragma once

#include "WidgetProperties.h"

#include <QColor>
#include <QWidget>

// Skinned push button: normal, hover and pressed faces with a caption on top.
class C_Button : public QWidget
{
    Q_OBJECT
public:
    explicit C_Button(QWidget *parent = nullptr);

    void ReadProperties(const WidgetProperties &props);

    quint8 ButtonIndex() const { return m_buttonIndex; }
    void SetButtonIndex(quint8 index);
    QString Caption() const { return m_caption; }
    void SetCaption(const QString &caption);
    void SetState(quint8 state);
    quint8 State() const { return m_state; }

    bool IsPressed() const { return m_isPressed; }
    bool IsMouseInside() const { return m_isMouseInside; }
    int CaptionLeft() const { return m_captionLeft; }

    QSize sizeHint() const override;

signals:
    void MouseEnter();
    void MouseLeave();
    void Click();

protected:
    void paintEvent(QPaintEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void enterEvent(QEnterEvent *event) override;
    void leaveEvent(QEvent *event) override;

private:
    void FitToFace();
    void Redraw();
    void ApplyLook();
    void PointerEnteredWindow();

    quint8 m_buttonIndex = 0;
    QString m_caption;
    quint8 m_state = 0;
    bool m_isPressed = false;
    bool m_isMouseInside = false;
    int m_captionLeft = 0;
    int m_captionTop = 0;
    QColor m_captionColour;
};
