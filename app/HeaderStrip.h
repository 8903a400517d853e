#pragma once

#include <QList>
#include <QStringList>
#include <QWidget>

// A strip of column captions above a row of sliders, each caption centred on its
// column (x in the strip's pixels), painted at the screen's own resolution.
class HeaderStrip : public QWidget
{
    Q_OBJECT

public:
    using QWidget::QWidget;

    void SetCaptions(const QStringList &captions, const QList<int> &centres);
    QStringList Captions() const { return captions; }

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    QStringList captions;
    QList<int> centres;
};
