#pragma once

#include "WidgetProperties.h"

#include <QWidget>

// Option button drawn as one of 17 lettered faces. A click only reports itself.
class C_OptionEx : public QWidget
{
    Q_OBJECT
public:
    explicit C_OptionEx(QWidget *parent = nullptr);

    void ReadProperties(const WidgetProperties &props);

    bool Value() const { return m_value; }
    void SetValue(bool value);
    quint8 ButtonIndex() const { return m_buttonIndex; }
    void SetButtonIndex(quint8 index);

    QSize sizeHint() const override;

signals:
    void OptionClick();

protected:
    void paintEvent(QPaintEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;

private:
    bool m_value = false;
    quint8 m_buttonIndex = 0;
    bool m_pressed = false;
};
