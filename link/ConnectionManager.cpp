#include "ConnectionManager.h"

#include "CommandFrame.h"
#include "CommandLayer.h"
#include "Identify.h"
#include "ProgramState.h"

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
    connect(&commands, &CommandLayer::LineLost, this, &ConnectionManager::Timer4_Timer);
}

ConnectionManager::~ConnectionManager()
{
    if (*alive)
        commands.OnSyncReceived = nullptr;
    *alive = false;
}

void ConnectionManager::Start()
{
    SetStatus(LinkStatus::NotConnected);
    CommConnect.start(FirstSearchDelay);
}

bool ConnectionManager::IsConnected() const
{
    return *alive && commands.IsConnected;
}

void ConnectionManager::SetStatus(LinkStatus status)
{
    if (commands.OnStatus)
        commands.OnStatus(status);
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
    for (int n = 1; n <= HighestPortNumber; ++n) {
        const OpenResult opened = OpenAndIdentify(state, commands, QString::number(n));
        if (!*living)
            return;
        // Port numbers past the end of the list are missing: they must not hide why a listed port failed.
        if (n == 1 || lastAttempt.outcome == OpenOutcome::Missing || opened.outcome == OpenOutcome::Identified
            || opened.outcome == OpenOutcome::WrongModel)
            lastAttempt = opened;
        if (opened.outcome == OpenOutcome::Identified) {
            commands.IsConnected = true;
            SetStatus(LinkStatus::Connected);
            if (SendEditorState)
                SendEditorState();
            if (!*living)
                return;
            if (!Timer3.isActive())
                Timer3.start(HeartbeatInterval);
            return;
        }
        if (opened.outcome == OpenOutcome::WrongModel) {
            SetStatus(LinkStatus::WrongModel);
            // Painted before the thread blocks, so that the user can read it.
            QCoreApplication::processEvents();
            if (!*living)
                return;
            QThread::msleep(MismatchPause);
        }
        state.port.ClosePort();
        commands.IsProbing = false;
    }
    SetStatus(LinkStatus::NotConnected);
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
    SetStatus(LinkStatus::NotConnected);
    commands.IsConnected = false;
    state.port.ClosePort();
    if (commands.ReportLoss)
        commands.ReportLoss();
}
