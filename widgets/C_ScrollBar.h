#pragma once

#include "WidgetProperties.h"

#include <QWidget>

class QLabel;

// Vertical fader: a ticked track with the maximum at the top, a thumb and a value box.
class C_ScrollBar : public QWidget
{
    Q_OBJECT
public:
    explicit C_ScrollBar(QWidget *parent = nullptr);

    void ReadProperties(const WidgetProperties &props);

    int Value() const { return m_value; }
    void SetValue(int value);
    int MaxValue() const { return m_maxValue; }
    void SetMaxValue(int maxValue);
    void SetMaxValuePreview(int maxValue);
    QString ValueTip() const;
    void SetValueTip(const QString &text);
    int ValueTipType() const { return m_valueTipType; }
    void SetValueTipType(int type);
    QString Title() const;
    void SetTitle(const QString &title);
    bool TitleVisible() const;
    void SetTitleVisible(bool visible);
    QString Text1() const;
    void SetText1(const QString &text);
    QString Text2() const;
    void SetText2(const QString &text);
    QString Text3() const;
    void SetText3(const QString &text);
    bool ShowSize() const { return m_showSize; }
    void SetShowSize(bool showSize);
    bool ValueGlobal() const { return m_valueGlobal; }
    void SetValueGlobal(bool global) { m_valueGlobal = global; }

    int ThumbY() const { return m_thumbY; }
    bool Hovered() const { return m_hovered; }
    bool Dragging() const { return m_dragging; }

    QSize sizeHint() const override;

signals:
    void Scroll();
    void MouseIn();

protected:
    void paintEvent(QPaintEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void leaveEvent(QEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    void focusOutEvent(QFocusEvent *event) override;
    void changeEvent(QEvent *event) override;

private:
    void FormatValueTip();
    void CentreTitle();
    void PlaceValueText();
    void PlaceScaleLabels();
    void UpdateGeometryState();
    void PointerAt(const QPoint &pos);
    void EnterThumb();
    void LeaveThumb();
    void TakeKeys();
    void MoveCursorToThumb();

    QLabel *m_label1; // title
    QLabel *m_label2; // value box text
    QLabel *m_label3; // Text1
    QLabel *m_label4; // Text2
    QLabel *m_label5; // Text3
    int m_value = 5;
    int m_maxValue = 10;
    int m_valueTipType = 0;
    bool m_showSize = false;
    bool m_valueGlobal = false;
    bool m_titleVisible = true;
    int m_thumbY = 0;
    float m_pixelsPerStep = 0.0f;
    bool m_hovered = false;
    bool m_dragging = false;
    bool m_keysLostWhileDisabled = false;
    int m_lastScrollValue = 0;
};
