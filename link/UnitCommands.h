#pragma once

#include "LiveSettings.h"
#include "NamedSettings.h"

#include <QString>

class CommandLayer;

// A setting as a person names it: one a settings file holds, or a live one.
struct AnySetting
{
    const NamedSetting *stored = nullptr;
    const LiveSetting *live = nullptr;

    explicit operator bool() const { return stored || live; }
    QString Name() const;
    QString Shown(quint8 value) const;
    std::optional<quint8> Parse(const QString &text) const;
    bool Readable() const { return stored || live->Readable(); }
};
AnySetting FindAnySetting(const QString &name);

// How a single get or set ended.
enum class CommandOutcome {
    Done,
    Lost,          // the unit stopped answering: the loss is reported and the link dropped
    NotConfirmed,  // the unit answered the music key with something else than its acknowledgement
    NotReadable,   // a key or a memory choice cannot be read back
};

struct SetResult
{
    CommandOutcome outcome = CommandOutcome::Lost;
    quint8 applied = 0;  // what was sent: a volume is held at the channel's power-on maximum
};

// The value the unit holds now.
CommandOutcome GetSetting(CommandLayer &commands, const AnySetting &setting, quint8 &value);

// Sends a setting as the editor's own control does: a stored setting as its live edit,
// a volume held at the power-on maximum the unit holds, the key checked against the
// acknowledgement, a memory choice as the editor's list sends it: every value of that
// memory, taken from memories when given, else read from the unit first.
SetResult SetSetting(CommandLayer &commands, const AnySetting &setting, quint8 value,
                     const SettingsSnapshot *memories = nullptr);
