#pragma once

#include "WidgetProperties.h"

#include <QWidget>

// Two-position switch: a press on the right half puts it on, on the left half off.
class C_FlagBar : public QWidget
{
    Q_OBJECT
public:
    explicit C_FlagBar(QWidget *parent = nullptr);

    void ReadProperties(const WidgetProperties &props);

    bool Value() const { return m_isOn != m_valueInvert; }
    void SetValue(bool value);
    bool ValueInvert() const { return m_valueInvert; }
    void SetValueInvert(bool invert);
    quint8 ButtonStyle() const { return m_buttonStyle; }
    void SetButtonStyle(quint8 style);
    bool IsOn() const { return m_isOn; }

    QSize sizeHint() const override;

signals:
    void SwitchClick();

protected:
    void paintEvent(QPaintEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;

private:
    quint8 m_buttonStyle = 0;
    bool m_valueInvert = false;
    bool m_isOn = false;
};
