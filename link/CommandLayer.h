#pragma once

#include "CommandFrame.h"
#include "LinkStatus.h"

#include <QList>
#include <QObject>
#include <QString>
#include <QTimer>
#include <functional>
#include <memory>

class QEventLoop;
struct ProgramState;

// Commands to the processor and its replies: one frame out, one reply awaited at a time.
// The receive dispatcher sorts every byte the port delivers; waiting keeps the event loop going.
class CommandLayer : public QObject
{
    Q_OBJECT

public:
    explicit CommandLayer(ProgramState &state, QObject *parent = nullptr);
    ~CommandLayer() override;

    // True when the reply came complete. Outside the port search a false result
    // has already been reported through ReportLoss and has dropped the connection.
    bool SendCommand(bool expectData, quint8 replyLength, int op, int block, quint8 selector,
                     quint8 address, quint8 value, bool pauseIfZero);
    void SendSync();
    // Asks the processor for its model code (ReplyBuffer[0] when true) with
    // IsProbing set, so that silence is no loss to report; the caller clears it.
    bool SendIdentify();
    void WriteFrame();
    bool WaitReply();

    // The receive dispatcher and the reply deadline.
    void Timer2_Timer();
    void TimeOuter_Timer();

    // False once this object is gone, for callers whose waits may outlive it.
    std::shared_ptr<const bool> Living() const { return alive; }

    // Dispatch as soon as the port reports new bytes, besides the 15 ms tick.
    void SetEarlyDispatch(bool on) { earlyDispatch = on; }
    bool EarlyDispatch() const { return earlyDispatch; }
    // Without the 15 ms tick the port's own notice of new bytes dispatches them alone:
    // a service with many units waits for bytes instead of looking for them.
    void SetPolling(bool on)
    {
        polling = on;
        on ? Timer2.start() : Timer2.stop();
    }

    // Reply state, shared by all commands.
    bool ExpectData = false;
    quint8 ExpectedLength = 0;
    qint32 ReplyCount = 0;
    quint8 ReplyBuffer[5001] = {};
    bool IsWaiting = false;
    bool ReplyOk = false;
    bool IsProbing = false;
    CommandFrame Frame = {};

    // Bulk progress, advanced by every frame written while a batch runs.
    bool ProgressOn = false;
    qint32 ProgressCount = 0;
    qint32 ProgressTotal = 0;

    // True while a processor of the right model is connected.
    bool IsConnected = false;
    // True from a command's time-out until its message is closed and the link dropped:
    // the heartbeat must not report the same loss again meanwhile.
    bool ReportingLoss = false;

    QTimer Timer2;
    QTimer TimeOuter;

    std::function<void()> OnKeyReset;
    std::function<void(int percent)> OnProgress;
    std::function<void(LinkStatus status)> OnStatus;
    std::function<void()> OnSyncReceived;
    // Tells the user that the unit stopped answering; the link is dropped when it returns,
    // which may be after a message box has run the event loop.
    std::function<void()> ReportLoss;
    // The traffic on the line, for a log.
    std::function<void(const CommandFrame &frame)> OnFrameSent;
    std::function<void()> OnSyncSent;
    std::function<void(quint8 byte)> OnByteReceived;
    // How long each command waited for its reply, and whether it came.
    std::function<void(qint64 microseconds, bool answered)> OnReplyTime;

signals:
    // The port lost its line while connected and no command was waiting.
    void LineLost();

private:
    void EndWait(bool ok);
    void PortHasBytes();
    void PortLost();

    ProgramState &state;
    quint8 ReceiveBuffer[501] = {};
    bool earlyDispatch = true;
    bool polling = true;
    bool inTick = false;
    bool waitAbandoned = false;
    bool preparing = false;
    bool dispatchDeferred = false;
    // Waits in progress, innermost last; an ended wait ends them all.
    QList<QEventLoop *> waitLoops;
    // Cleared on destruction, so that a wait or tick outliving its object returns without touching it.
    std::shared_ptr<bool> alive = std::make_shared<bool>(true);
};
