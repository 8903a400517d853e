#pragma once

#include "NamedSettings.h"
#include "SettingsSnapshot.h"

#include <atomic>

class CommandLayer;

// How a bulk transfer ended.
enum class TransferOutcome {
    Complete,      // every frame was answered
    NotConnected,  // nothing was sent: no unit is connected
    Stopped,       // the caller asked it to stop; the frame in progress was answered
    Lost,          // a frame went unanswered: the loss is reported and the link dropped
    Refused,       // a read only: the unit holds a value no snapshot may hold
};

struct ReadResult
{
    TransferOutcome outcome = TransferOutcome::NotConnected;
    // With Refused: the setting and the value the unit gave for it.
    const NamedSetting *refused = nullptr;
    quint8 refusedValue = 0;
    // How many settings, from the start of ReadOrder, went into the snapshot.
    int taken = 0;
};

// Every setting, one get each in ReadOrder, into settings. A read that ends early
// leaves what it read so far in settings and the rest as it was. The command
// layer's progress counts the frames; stop, when given, is asked before each frame.
ReadResult ReadAllFromDevice(CommandLayer &commands, SettingsSnapshot &settings,
                             const std::atomic<bool> *stop = nullptr);

// Every setting of settings, one upload each in UploadOrder, closed by UploadEndOp
// when all were answered. An upload that ends early leaves the unit holding a mix
// of old and new values.
TransferOutcome UploadAllToDevice(CommandLayer &commands, const SettingsSnapshot &settings,
                                  const std::atomic<bool> *stop = nullptr);

// An upload, then a read of everything back.
struct VerifiedUpload
{
    TransferOutcome upload = TransferOutcome::NotConnected;
    ReadResult read;                        // NotConnected when the upload did not complete
    SettingsSnapshot held;                  // what the unit holds after a complete read
    QList<SettingDifference> differences;   // first: what was sent, second: what the unit holds

    bool Complete() const { return read.outcome == TransferOutcome::Complete; }
};
VerifiedUpload UploadAndVerify(CommandLayer &commands, const SettingsSnapshot &settings,
                               const std::atomic<bool> *stop = nullptr);
