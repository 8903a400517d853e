#pragma once

#include "BulkTransfer.h"
#include "CommandLayer.h"
#include "Identify.h"
#include "NamedSettings.h"
#include "ProgramState.h"
#include "UnitCommands.h"

#include <atomic>
#include <functional>

// One processor reached without a window: its own port and command layer, in the
// thread that creates it. After the identification it sends only what each call
// needs, with the editor's frames, order and deadlines. Every call says how it
// ended; the front end words it.
class UnitSession
{
public:
    // entry: a port entry, or "COMn" for the n-th serial device as the editor counts them.
    // stop, once set, ends a transfer after the frame in progress.
    UnitSession(const QString &entry, const std::atomic<bool> &stop);

    // Opens the port and asks for the model code; the port is closed again unless identified.
    OpenResult Connect();

    ReadResult Read(SettingsSnapshot &settings);
    TransferOutcome Upload(const SettingsSnapshot &settings);
    VerifiedUpload UploadAndVerify(const SettingsSnapshot &settings);
    // One setting, as UnitCommands gets and sets it.
    CommandOutcome Get(const AnySetting &setting, quint8 &value);
    SetResult Set(const AnySetting &setting, quint8 value, const SettingsSnapshot *memories = nullptr);

    bool Stopped() const { return stop; }
    // Whole percent of the transfer in progress.
    std::function<void(int percent)> OnProgress;

private:
    template <typename Outcome>
    Outcome Ended(Outcome outcome);

    QString entry;
    const std::atomic<bool> &stop;
    ProgramState state;
    CommandLayer commands{state};
};
