#pragma once

#include "CommandLayer.h"
#include "ConnectionManager.h"
#include "ProgramState.h"
#include "MessageLog.h"
#include "SimulatorTerminal.h"

#include <QStringList>
#include <memory>

// The editor's link with a connection manager, searching the given ports.
struct SearchingEditor
{
    SearchingEditor()
    {
        commands.OnStatus = [this](LinkStatus status) { statuses << StatusWord(status); };
        commands.ReportLoss = [this] { prompt.Warn(LossReported); };
        manager.SendEditorState = [this] { ++editorStatesSent; };
    }

    MessageLog prompt;
    ProgramState state;
    CommandLayer commands{state};
    ConnectionManager manager{state, commands};
    QStringList statuses;
    int editorStatesSent = 0;
};

inline std::unique_ptr<SimulatorTerminal> StartSim(SimOptions options = {})
{
    auto sim = std::make_unique<SimulatorTerminal>(options);
    return sim->Open() ? std::move(sim) : nullptr;
}
