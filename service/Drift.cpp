#include "Drift.h"

#include "CommandLayer.h"
#include "SettingCommand.h"

DriftCheck::DriftCheck(const QStringList &staff)
{
    for (const NamedSetting &setting : AllNamedSettings())
        if (!staff.contains(setting.Name()))
            protectedSettings.append(&setting);
}

QList<SettingDifference> DriftCheck::Differences(const SettingsSnapshot &golden, const SettingsSnapshot &held) const
{
    QList<SettingDifference> found;
    for (const NamedSetting *setting : protectedSettings) {
        const quint8 approved = setting->Value(golden), now = setting->Value(held);
        if (approved != now)
            found.append({setting, approved, now});
    }
    return found;
}

bool DriftCheck::Enforce(CommandLayer &commands, const QList<SettingDifference> &differences)
{
    for (const SettingDifference &d : differences)
        if (!SendSetting(commands, UploadOp, d.setting->Block(), d.setting->Selector(), d.setting->Address(), d.first))
            return false;
    // The close of an upload, as after a restore.
    return differences.isEmpty() || commands.SendCommand(false, 0, UploadEndOp, 0, 0, 0, 0, false);
}

void DriftCheck::Apply(SettingsSnapshot &held, const QList<SettingDifference> &differences)
{
    for (const SettingDifference &d : differences)
        d.setting->SetValue(held, d.first);
}
