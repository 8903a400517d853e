#pragma once

#include "CommandLayer.h"
#include "ProgramState.h"
#include "MessageLog.h"
#include "SimulatorTerminal.h"

#include <QElapsedTimer>
#include <QStringList>
#include <QTest>
#include <memory>

// The editor's side of the link opened on COM1, with a simulated processor at the other end
// of a real pseudo-terminal.
struct LinkFixture
{
    explicit LinkFixture(const SimOptions &options = {}) : sim(options)
    {
        QVERIFY(sim.Open());
        state.port.SetPortList(QStringList{sim.Path()});
        QVERIFY(state.port.OpenPort(QStringLiteral("1")));
        QVERIFY(state.port.ConfigurePort(9600, 8));
        commands.OnStatus = [this](LinkStatus status) { statuses << StatusWord(status); };
        commands.ReportLoss = [this] { prompt.Warn(LossReported); };
        commands.OnProgress = [this](int percent) { progress << percent; };
        commands.OnSyncReceived = [this] { ++syncsReceived; };
        commands.OnKeyReset = [this] { ++keyResets; };
    }

    MessageLog prompt;
    ProgramState state;
    SimulatorTerminal sim;
    CommandLayer commands{state};
    QStringList statuses;
    QList<int> progress;
    int syncsReceived = 0;
    int keyResets = 0;
};

inline QByteArray Bytes(std::initializer_list<int> values)
{
    QByteArray bytes;
    for (int v : values)
        bytes.append(char(v));
    return bytes;
}

// Runs the event loop for a while, so that the simulator and the dispatcher can work.
inline void Pump(int ms)
{
    QElapsedTimer clock;
    clock.start();
    while (clock.elapsed() < ms)
        QTest::qWait(5);
}
