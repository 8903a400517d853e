#include "CommandLayer.h"

#include "ProgramState.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QThread>
#include <algorithm>

namespace {
constexpr int Timer2Interval = 15;
constexpr int ProbingDeadline = 700;
constexpr int ReplyDeadline = 4000;
constexpr unsigned long MuteOffPause = 1500;
} // namespace

CommandLayer::CommandLayer(ProgramState &state, QObject *parent) : QObject(parent), state(state)
{
    // Deadlines must never fire early; a coarse timer may by up to 5 %.
    TimeOuter.setTimerType(Qt::PreciseTimer);
    TimeOuter.setInterval(ReplyDeadline);
    connect(&TimeOuter, &QTimer::timeout, this, &CommandLayer::TimeOuter_Timer);
    connect(&Timer2, &QTimer::timeout, this, &CommandLayer::Timer2_Timer);
    connect(&state.port, &RS232Port::BytesArrived, this, &CommandLayer::PortHasBytes);
    connect(&state.port, &RS232Port::Lost, this, &CommandLayer::PortLost);
    Timer2.start(Timer2Interval);
}

CommandLayer::~CommandLayer()
{
    *alive = false;
    for (QEventLoop *loop : std::as_const(waitLoops))
        loop->quit();
}

bool CommandLayer::SendCommand(bool expectData, quint8 replyLength, int op, int block,
                               quint8 selector, quint8 address, quint8 value, bool pauseIfZero)
{
    // A flushing write may report new bytes; they wait until the reply state is ready.
    preparing = true;
    ExpectData = expectData;
    ReplyCount = 0;
    ExpectedLength = replyLength;
    Frame = {FrameStart, static_cast<quint8>(op), static_cast<quint8>(block), selector, address, value};
    WriteFrame();
    if (OnFrameSent)
        OnFrameSent(Frame);
    IsWaiting = true;
    ReplyOk = false;
    const bool wasConnected = IsConnected;
    preparing = false;
    if (dispatchDeferred) {
        dispatchDeferred = false;
        QMetaObject::invokeMethod(this, &CommandLayer::PortHasBytes, Qt::QueuedConnection);
    }

    const std::shared_ptr<bool> living = alive;
    if (value == 0 && pauseIfZero) {
        QCoreApplication::processEvents();
        if (!*living)
            return false;
        QThread::msleep(MuteOffPause);
    }

    QElapsedTimer waited;
    waited.start();
    const bool ok = WaitReply();
    if (!*living || waitAbandoned)
        return false;
    if (OnReplyTime)
        OnReplyTime(waited.nsecsElapsed() / 1000, ok);
    if (ok)
        return true;
    if (IsProbing)
        return false;
    // A heartbeat deadline during this wait has already reported the same loss.
    if (wasConnected && !IsConnected)
        return false;
    ReportingLoss = true;
    if (OnStatus)
        OnStatus(LinkStatus::NotConnected);
    if (ReportLoss)
        ReportLoss();
    if (!*living)
        return false;
    IsConnected = false;
    ReportingLoss = false;
    state.port.ClosePort();
    return false;
}

bool CommandLayer::SendIdentify()
{
    IsProbing = true;
    return SendCommand(true, 1, IdentifyOp, 0, 0, 0, ModelCode, false);
}

void CommandLayer::SendSync()
{
    if (OnSyncSent)
        OnSyncSent();
    const quint8 sync = SyncByte;
    state.port.WritePort(&sync, 1);
}

void CommandLayer::WriteFrame()
{
    state.port.WritePort(Frame.data(), static_cast<qint32>(Frame.size()));
    if (!ProgressOn)
        return;
    ++ProgressCount;
    if (ProgressCount % 5 != 0 && ProgressCount < ProgressTotal)
        return;
    // A batch without a total counts as complete rather than dividing by zero.
    const int percent = ProgressTotal > 0 ? std::min(100, ProgressCount * 100 / ProgressTotal) : 100;
    if (OnProgress)
        OnProgress(percent);
}

bool CommandLayer::WaitReply()
{
    const int deadline = IsProbing ? ProbingDeadline : ReplyDeadline;
    if (TimeOuter.interval() != deadline) {
        TimeOuter.stop();
        TimeOuter.setInterval(deadline);
    }
    TimeOuter.start();
    waitAbandoned = false;

    const std::shared_ptr<bool> living = alive;
    while (IsWaiting) {
        QEventLoop loop;
        waitLoops.append(&loop);
        loop.exec();
        if (!*living)
            return false;
        waitLoops.removeOne(&loop);
        if (IsWaiting) {
            // The loop was ended from outside (the program is quitting): give the wait up quietly.
            waitAbandoned = true;
            IsWaiting = false;
            ReplyOk = false;
        }
    }
    TimeOuter.stop();
    return ReplyOk;
}

void CommandLayer::TimeOuter_Timer()
{
    EndWait(false);
}

void CommandLayer::EndWait(bool ok)
{
    IsWaiting = false;
    ReplyOk = ok;
    TimeOuter.stop();
    for (QEventLoop *loop : std::as_const(waitLoops))
        loop->quit();
}

// A reply awaited ends as at its deadline, only sooner; between commands the owner reports it.
void CommandLayer::PortLost()
{
    if (IsWaiting)
        EndWait(false);
    else if (IsConnected && !ReportingLoss)
        emit LineLost();
}

void CommandLayer::PortHasBytes()
{
    if (!earlyDispatch || inTick)
        return;
    if (preparing)
        dispatchDeferred = true;
    else
        Timer2_Timer();
}

void CommandLayer::Timer2_Timer()
{
    if (inTick)
        return;
    inTick = true;
    Timer2.stop();

    const std::shared_ptr<bool> living = alive;
    state.port.PollInput();
    const qint32 count = state.port.ReadPort(ReceiveBuffer, state.port.BytesWaiting());
    for (qint32 i = 0; i < count; ++i) {
        const quint8 b = ReceiveBuffer[i];
        if (OnByteReceived)
            OnByteReceived(b);
        if (b == KeyResetByte) {
            if (OnKeyReset)
                OnKeyReset();
        } else if (b == SyncByte) {
            if (OnSyncReceived)
                OnSyncReceived();
        } else if (ExpectData) {
            if (ReplyCount >= 5000)
                ReplyCount = 1000;
            ReplyBuffer[ReplyCount] = b;
            ++ReplyCount;
            if (ReplyCount >= ExpectedLength)
                EndWait(true);
        } else if (b == AckByte) {
            EndWait(true);
        }
        if (!*living)
            return;
    }

    inTick = false;
    if (polling)
        Timer2.start(Timer2Interval);
}
