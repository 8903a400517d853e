#pragma once

#include "WidgetProperties.h"

#include <QWidget>

// Option button: a round bullet followed by a caption. A click only reports itself.
class C_Option : public QWidget
{
    Q_OBJECT
public:
    explicit C_Option(QWidget *parent = nullptr);

    void ReadProperties(const WidgetProperties &props);

    QString Caption() const { return m_caption; }
    void SetCaption(const QString &caption);
    bool Value() const { return m_value; }
    void SetValue(bool value);

    QSize sizeHint() const override;

signals:
    void OptionClick();

protected:
    void paintEvent(QPaintEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;

private:
    QString m_caption = QStringLiteral("Label1");
    bool m_value = false;
    bool m_pressed = false;
};
