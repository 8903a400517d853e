#include "CommIndicator.h"

#include "AppState.h"
#include "CommLog.h"
#include "UserPrompt.h"

#include <QDir>
#include <QEvent>
#include <QMenu>
#include <QPlainTextEdit>
#include <QScrollBar>

namespace {
constexpr qsizetype MaxLogLength = 60000;
}

CommIndicator::CommIndicator(AppState &state, QWidget *parent)
    : QWidget(parent, Qt::Window), state(state), text1(new QPlainTextEdit(this))
{
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowTitle(QStringLiteral("通信指示器  双击清空显示  可拉长或宽"));
    text1->setLineWrapMode(QPlainTextEdit::WidgetWidth);
    text1->viewport()->installEventFilter(this);
    text1->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(text1, &QWidget::customContextMenuRequested, this, &CommIndicator::ShowMenu);
    resize(420, 360);

    state.LogWindowOpen = true;
    timer1.setInterval(200);
    connect(&timer1, &QTimer::timeout, this, &CommIndicator::Timer1_Timer);
    timer1.start();
}

CommIndicator::~CommIndicator()
{
    state.LogWindowOpen = false;
}

void CommIndicator::Timer1_Timer()
{
    if (state.CommLog.size() == LastShownLength)
        return;
    if (state.CommLog.size() > MaxLogLength) {
        text1->clear();
        state.CommLog.clear();
    }
    text1->setPlainText(state.CommLog);
    text1->moveCursor(QTextCursor::End);
    text1->verticalScrollBar()->setValue(text1->verticalScrollBar()->maximum());
    LastShownLength = state.CommLog.size();
}

void CommIndicator::resizeEvent(QResizeEvent *event)
{
    QWidget::resizeEvent(event);
    text1->setGeometry(0, 0, width(), height());
}

bool CommIndicator::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == text1->viewport() && event->type() == QEvent::MouseButtonDblClick) {
        state.CommLog.clear();
        return true;
    }
    return QWidget::eventFilter(watched, event);
}

void CommIndicator::ShowMenu(const QPoint &pos)
{
    QMenu menu(this);
    menu.addAction(QStringLiteral("复制"), text1, &QPlainTextEdit::copy)->setEnabled(text1->textCursor().hasSelection());
    menu.addAction(QStringLiteral("全选"), text1, &QPlainTextEdit::selectAll);
    menu.addSeparator();
    menu.addAction(QStringLiteral("保存到文件..."), this, &CommIndicator::SaveToFile);
    menu.exec(text1->viewport()->mapToGlobal(pos));
}

void CommIndicator::SaveToFile()
{
    const QString text = text1->toPlainText();
    QString path = state.prompt.SaveFileName(this, QStringLiteral("保存通信记录"), QDir::homePath(),
                                             QStringLiteral("文本文件 (*.txt)"));
    if (path.isEmpty())
        return;
    if (!SaveLogText(path, text))
        state.prompt.Critical(QStringLiteral("无法保存通信记录：%1").arg(QDir::toNativeSeparators(path)));
}
