#include "MainFrm.h"

#include "AppState.h"
#include "Artwork.h"
#include "CommIndicator.h"
#include "UserPrompt.h"

#include <QCloseEvent>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QMouseEvent>
#include <QPainter>
#include <QWindow>

MainFrm::MainFrm(AppState &state, const LayoutGeometry &geometry, const ScreenMetrics &screen,
                 QWidget *parent)
    : QWidget(parent),
      Commands(state),
      Connection(state, Commands),
      state(state),
      geometry(geometry),
      screen(screen),
      layout(DescribeMainFrm(geometry))
{
    setWindowTitle(QString::fromUtf8(geometry.caption));
    setFixedSize(geometry.clientSize);
    setMouseTracking(true);
    setFocusPolicy(Qt::StrongFocus);

    CreateControls();
    ApplyLayout();
    ConnectHandlers();
    ConnectLink();
    Form_Load();
    SetUpUndo();
}

MainFrm::~MainFrm()
{
    delete logWindow;
}

CommIndicator *MainFrm::LogWindow() const
{
    return logWindow;
}

void MainFrm::closeEvent(QCloseEvent *event)
{
    if (!state.prompt.AskYesNo(QStringLiteral("确定要退出应用程序吗？"))) {
        event->ignore();
        return;
    }
    event->accept();
    Unload();
}

void MainFrm::Unload()
{
    state.port.ClosePort();
    if (state.EndProgram)
        state.EndProgram();
}

void MainFrm::keyPressEvent(QKeyEvent *event)
{
    if (event->text() == QLatin1String("w")) {
        ShowLogWindow();
        return;
    }
    QWidget::keyPressEvent(event);
}

void MainFrm::ShowLogWindow()
{
    if (!logWindow)
        logWindow = new CommIndicator(state);
    logWindow->show();
    logWindow->raise();
    logWindow->activateWindow();
}

bool MainFrm::OnBackground(const QPoint &pos) const
{
    return childAt(pos) == nullptr;
}

void MainFrm::mousePressEvent(QMouseEvent *event)
{
    // Only the left button moves the window; the right one opens the background menu.
    if (event->button() != Qt::LeftButton || !OnBackground(event->position().toPoint()))
        return;
    const QPoint global = event->globalPosition().toPoint();
    DragLastX = global.x();
    DragLastY = global.y();
    isDragging = true;
    // Wayland lets only the compositor move windows.
    if (QGuiApplication::platformName().startsWith(QLatin1String("wayland")) && windowHandle()) {
        isDragging = false;
        windowHandle()->startSystemMove();
    }
}

void MainFrm::mouseMoveEvent(QMouseEvent *event)
{
    if (isMaximized())
        return;
    // The press grabbed the mouse, so a drag keeps its moves even over a control.
    if (!isDragging && !OnBackground(event->position().toPoint()))
        return;
    const QPoint global = event->globalPosition().toPoint();
    if (isDragging) {
        move(pos() + QPoint(global.x() - DragLastX, global.y() - DragLastY));
        DragLastX = global.x();
        DragLastY = global.y();
    }
    emit BackgroundPointerMoved();
}

void MainFrm::mouseReleaseEvent(QMouseEvent *)
{
    isDragging = false;
}

void MainFrm::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.drawPixmap(0, 0, BackgroundPicture(geometry, devicePixelRatioF()));
}
