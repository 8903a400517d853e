#pragma once

#include "CommandLayer.h"
#include "NamedSettings.h"
#include "ProgramState.h"
#include "SettingsSnapshot.h"
#include "TerminalPrompt.h"

#include <atomic>
#include <functional>

// One processor as the tool reaches it: its own port, command layer and
// prompt, in the thread that creates it. After the identification it sends
// only what each call needs, with the editor's frames, order and deadlines.
class UnitSession
{
public:
    // entry: a port entry, or "COMn" for the n-th serial device as the editor counts them;
    // name: how messages call the unit.
    UnitSession(const QString &name, const QString &entry, const std::atomic<bool> &stop);

    // Opens the port and asks for the model code; false with Error() set.
    bool Connect();
    // The model code the unit answered with, when it answered.
    int ModelAnswered() const { return model; }

    bool Read(SettingsSnapshot &settings);
    // The 212 frames and the upload's end; false when stopped or lost.
    bool Upload(const SettingsSnapshot &settings);
    bool Get(const NamedSetting &setting, quint8 &value);
    bool Set(const NamedSetting &setting, quint8 value);

    QString Error() const { return error; }
    bool Stopped() const { return stop; }
    // Whole percent of the transfer in progress.
    std::function<void(int percent)> OnProgress;

private:
    bool Failed(const QString &text);

    QString unit;
    const std::atomic<bool> &stop;
    TerminalPrompt prompt;
    ProgramState state{prompt};
    CommandLayer commands{state};
    int model = -1;
    QString error;
};
