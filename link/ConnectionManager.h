#pragma once

#include "Identify.h"
#include "LinkStatus.h"

#include <QObject>
#include <QTimer>
#include <functional>
#include <memory>

class CommandLayer;
struct ProgramState;

// Finds the processor on COM1 to COM12 and watches it with a heartbeat once connected.
class ConnectionManager : public QObject
{
    Q_OBJECT

public:
    ConnectionManager(ProgramState &state, CommandLayer &commands, QObject *parent = nullptr);
    ~ConnectionManager() override;

    QTimer CommConnect;  // starts a search while not connected
    QTimer Timer3;       // heartbeat
    QTimer Timer4;       // heartbeat answer deadline

    // Begins the search 100 ms from now.
    void Start();
    void ConnectDevice();
    bool IsConnected() const;

    void CommConnect_Timer();
    void Timer3_Timer();
    void Timer4_Timer();

    // Sends the editor's selections after a successful identification; the editor fills it.
    // A service leaves the unit as it is and only learns that it is connected.
    std::function<void()> SendEditorState;
    // How the last search ended on its most telling port (one that exists, when any does),
    // for a front end that says why it is not connected.
    OpenResult LastAttempt() const { return lastAttempt; }

private:
    void SetStatus(LinkStatus status);

    ProgramState &state;
    CommandLayer &commands;
    OpenResult lastAttempt;
    // Cleared when this object or its command layer goes, so that a search in progress stops.
    std::shared_ptr<bool> alive = std::make_shared<bool>(true);
};
