#pragma once

#include "NamedSettings.h"

#include <QList>
#include <QStringList>

class CommandLayer;

// Drift: what differs from a unit's approved settings file in the settings that staff
// may not change. Those staff may change (the volumes, the key, mute, the program) move
// during an evening by design and are no drift.
class DriftCheck
{
public:
    explicit DriftCheck(const QStringList &staff);

    // The protected settings in which held differs from golden, in the file's order:
    // first the approved value, second the unit's.
    QList<SettingDifference> Differences(const SettingsSnapshot &golden, const SettingsSnapshot &held) const;

    // Writes the approved values back into the unit, as an upload writes them; false
    // when the unit stopped answering.
    static bool Enforce(CommandLayer &commands, const QList<SettingDifference> &differences);
    // held as the unit holds it once the approved values are written back.
    static void Apply(SettingsSnapshot &held, const QList<SettingDifference> &differences);

private:
    QList<const NamedSetting *> protectedSettings;
};
