#pragma once

#include <QWidget>

// Framed strip filled with a red-to-blue gradient in proportion to a percentage.
class C_ProgressBar : public QWidget
{
    Q_OBJECT
public:
    explicit C_ProgressBar(QWidget *parent = nullptr);

    quint8 Value() const { return m_value; }
    void SetValue(quint8 percent);

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    quint8 m_value = 0;
};
