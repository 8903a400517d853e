#include "ConnectionManager.h"

#include "CommandFrame.h"
#include "CommandLayer.h"
#include "ProgramState.h"
#include "UserPrompt.h"

#include <QCoreApplication>
#include <QThread>

namespace {
constexpr int FirstSearchDelay = 100;
constexpr int SearchInterval = 2000;
constexpr int HeartbeatInterval = 5000;
constexpr int HeartbeatDeadline = 4000;
constexpr unsigned long MismatchPause = 1000;
constexpr int HighestPortNumber = 12;
} // namespace

ConnectionManager::ConnectionManager(ProgramState &state, CommandLayer &commands, QObject *parent)
    : QObject(parent), state(state), commands(commands)
{
    connect(&CommConnect, &QTimer::timeout, this, &ConnectionManager::CommConnect_Timer);
    connect(&Timer3, &QTimer::timeout, this, &ConnectionManager::Timer3_Timer);
    connect(&Timer4, &QTimer::timeout, this, &ConnectionManager::Timer4_Timer);
    Timer3.setTimerType(Qt::PreciseTimer);
    Timer4.setTimerType(Qt::PreciseTimer);
    Timer4.setInterval(HeartbeatDeadline);
    Timer3.start(HeartbeatInterval);

    connect(&commands, &QObject::destroyed, this, [flag = alive] { *flag = false; });
    commands.OnSyncReceived = [this] { Timer4.stop(); };
    commands.OnLinkLost = [this] { Timer4_Timer(); };
}

ConnectionManager::~ConnectionManager()
{
    if (*alive) {
        commands.OnSyncReceived = nullptr;
        commands.OnLinkLost = nullptr;
    }
    *alive = false;
}

void ConnectionManager::Start()
{
    SetStatus(QStringLiteral("未连接"));
    CommConnect.start(FirstSearchDelay);
}

bool ConnectionManager::IsConnected() const
{
    return *alive && commands.IsConnected;
}

void ConnectionManager::SetStatus(const QString &text)
{
    if (commands.OnStatus)
        commands.OnStatus(text);
}

void ConnectionManager::CommConnect_Timer()
{
    CommConnect.stop();
    CommConnect.setInterval(SearchInterval);
    const std::shared_ptr<bool> living = alive;
    if (!commands.IsConnected)
        ConnectDevice();
    if (*living)
        CommConnect.start();
}

void ConnectionManager::ConnectDevice()
{
    const std::shared_ptr<bool> living = alive;
    RS232Port &port = state.port;
    for (int n = 1; n <= HighestPortNumber; ++n) {
        // Reaching a network port runs the event loop, which may end this window.
        const bool ready = port.OpenPort(QString::number(n)) && port.ConfigurePort(9600, 8);
        if (!*living)
            return;
        if (ready) {
            const bool answered = commands.SendIdentify();
            if (!*living)
                return;
            if (answered) {
                if (commands.ReplyBuffer[0] == ModelCode) {
                    commands.IsConnected = true;
                    SetStatus(QStringLiteral("连接成功"));
                    commands.IsProbing = false;
                    if (SendEditorState)
                        SendEditorState();
                    if (!*living)
                        return;
                    if (!Timer3.isActive())
                        Timer3.start(HeartbeatInterval);
                    return;
                }
                SetStatus(QStringLiteral("型号不匹配"));
                // Painted before the thread blocks, so that the user can read it.
                QCoreApplication::processEvents();
                if (!*living)
                    return;
                QThread::msleep(MismatchPause);
            }
        }
        port.ClosePort();
        commands.IsProbing = false;
    }
    SetStatus(QStringLiteral("未连接"));
}

void ConnectionManager::Timer3_Timer()
{
    if (!commands.IsConnected || commands.ReportingLoss)
        return;
    commands.SendSync();
    Timer4.start(HeartbeatDeadline);
}

void ConnectionManager::Timer4_Timer()
{
    Timer4.stop();
    // A command's own deadline may already have reported this loss, or be reporting it.
    if (!commands.IsConnected || commands.ReportingLoss)
        return;
    SetStatus(QStringLiteral("未连接"));
    commands.IsConnected = false;
    state.port.ClosePort();
    state.prompt.Warn(QStringLiteral("与目标通信连接超时，已断开连接。"));
}
