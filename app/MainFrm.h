#pragma once

#include "LayoutGeometry.h"
#include "Main.h"

#include <QPointer>
#include <QWidget>

class CommIndicator;
class QLabel;
struct ProgramState;

// The main window. MainFrm_Big and MainFrm_Small are two geometry tables for
// this one class; the controls, names and behaviour are the same in both.
class MainFrm : public QWidget
{
    Q_OBJECT

public:
    MainFrm(ProgramState &state, const LayoutGeometry &geometry, const ScreenMetrics &screen,
            QWidget *parent = nullptr);
    ~MainFrm() override;

    ProgramState &State() { return state; }
    const LayoutGeometry &Geometry() const { return geometry; }

    QLabel *Label4 = nullptr;  // connection status
    QLabel *Label5 = nullptr;  // device model

    CommIndicator *LogWindow() const;
    bool IsDragging() const { return isDragging; }

signals:
    // The pointer moved over the bare background (not while maximised).
    void BackgroundPointerMoved();

protected:
    void closeEvent(QCloseEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void paintEvent(QPaintEvent *event) override;

private:
    void Unload();
    void ShowLogWindow();
    bool OnBackground(const QPoint &pos) const;

    ProgramState &state;
    const LayoutGeometry &geometry;
    ScreenMetrics screen;

    int DragLastX = 0;
    int DragLastY = 0;
    bool isDragging = false;

    QPointer<CommIndicator> logWindow;
};
