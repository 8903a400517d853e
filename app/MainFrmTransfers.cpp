#include "MainFrm.h"

#include "C_FlagBar.h"
#include "C_OptionEx.h"
#include "ProgramState.h"
#include "SettingsDialogs.h"

namespace {

template <int Rows, int N>
void AddSlots(QList<BulkEditor::TableSlot> &list, ParamSlot (&table)[Rows][N], ParamBlock block,
              int firstSelector)
{
    for (int m = 0; m < Rows; ++m) {
        for (ParamSlot &slot : table[m])
            list.append({block, quint8(firstSelector + m), slot.address, &slot.value});
    }
}

template <int Rows, int N>
void CopyValues(quint8 (&to)[Rows][N], const ParamSlot (&from)[Rows][N])
{
    for (int m = 0; m < Rows; ++m) {
        for (int k = 0; k < N; ++k)
            to[m][k] = from[m][k].value;
    }
}

template <int Rows, int N>
void CopyValues(ParamSlot (&to)[Rows][N], const quint8 (&from)[Rows][N])
{
    for (int m = 0; m < Rows; ++m) {
        for (int k = 0; k < N; ++k)
            to[m][k].value = from[m][k];
    }
}

int LimitRow(ParamBlock block)
{
    switch (block) {
    case ParamBlock::ChannelMinimum:
        return 0;
    case ParamBlock::ChannelMaximum:
        return 1;
    default:
        return 2;
    }
}

} // namespace

void MainFrm::ReadAllFromDevice()
{
    History.MarkEditorOnly();
    ::ReadAllFromDevice(Commands, *this, state.prompt);
}

void MainFrm::UploadAllToDevice()
{
    ::UploadAllToDevice(Commands, *this, state.prompt);
}

void MainFrm::ImportSettingsFile()
{
    const std::optional<SettingsSnapshot> file = ::ImportSettingsFile(state, this);
    if (!file)
        return;
    History.MarkEditorOnly();
    ApplySettings(*file);
}

void MainFrm::SaveSettingsFile()
{
    ::SaveSettingsFile(state, this, CurrentSettings());
}

void MainFrm::ApplySettings(const SettingsSnapshot &settings)
{
    CopyValues(Model.MusicPresetTable, settings.music);
    CopyValues(Model.MicPresetTable, settings.mic);
    CopyValues(Model.KtvProgramTable, settings.ktv);
    CopyValues(Model.EffProgramTable, settings.eff);
    ShowPresetValues();
    ApplyInputSource(settings.inputSelect == SettingsSnapshot::NoInputSource ? 3 : quint8(settings.inputSelect));
    ApplySwitch(ParamBlock::ExciterSwitch, settings.exciter);
    ApplySwitch(ParamBlock::MuteSwitch, settings.mute);
    ApplySwitch(ParamBlock::LockSwitch, settings.lock);
    // The values were checked before any was applied, so the panel takes them all.
    for (int c = 0; c < SettingsSnapshot::Channels; ++c) {
        ApplyLimit(ParamBlock::ChannelMinimum, c, quint8(settings.vol[3 * c]));
        ApplyLimit(ParamBlock::ChannelMaximum, c, quint8(settings.vol[3 * c + 1]));
        ApplyLimit(ParamBlock::ChannelMode, c, quint8(settings.vol[3 * c + 2]));
    }
}

SettingsSnapshot MainFrm::CurrentSettings()
{
    SettingsSnapshot settings;
    CopyValues(settings.music, Model.MusicPresetTable);
    CopyValues(settings.mic, Model.MicPresetTable);
    CopyValues(settings.ktv, Model.KtvProgramTable);
    CopyValues(settings.eff, Model.EffProgramTable);
    const quint8 source = InputSourceValue();
    settings.inputSelect = source < 3 ? source : SettingsSnapshot::NoInputSource;
    settings.exciter = SwitchValue(ParamBlock::ExciterSwitch) != 0;
    settings.mute = SwitchValue(ParamBlock::MuteSwitch) != 0;
    settings.lock = SwitchValue(ParamBlock::LockSwitch) != 0;
    for (int i = 0; i < SettingsSnapshot::LimitCells; ++i)
        settings.vol[i] = Limits->SpinValue(i);
    return settings;
}

QList<BulkEditor::TableSlot> MainFrm::AllTableSlots()
{
    QList<TableSlot> list;
    AddSlots(list, Model.MusicPresetTable, ParamBlock::MusicParam, 0);
    AddSlots(list, Model.MicPresetTable, ParamBlock::MicParam, 0);
    AddSlots(list, Model.KtvProgramTable, ParamBlock::EffectParam, 0);
    AddSlots(list, Model.EffProgramTable, ParamBlock::EffectParam, 20);
    return list;
}

quint8 MainFrm::SwitchValue(ParamBlock block)
{
    switch (block) {
    case ParamBlock::MuteSwitch:
        return C_OptionEx3[0]->Value() ? 1 : 0;
    case ParamBlock::LockSwitch:
        return C_OptionEx3[1]->Value() ? 1 : 0;
    default:
        return C_FlagBar1->Value() ? 1 : 0;
    }
}

void MainFrm::ApplySwitch(ParamBlock block, bool on)
{
    switch (block) {
    case ParamBlock::MuteSwitch:
        C_OptionEx3[0]->SetValue(on);
        break;
    case ParamBlock::LockSwitch:
        C_OptionEx3[1]->SetValue(on);
        break;
    default:
        C_FlagBar1->SetValue(on);
        break;
    }
}

quint8 MainFrm::InputSourceValue()
{
    for (int i = 0; i < 3; ++i) {
        if (C_OptionEx2[i]->Value())
            return quint8(i);
    }
    return 3;
}

void MainFrm::ApplyInputSource(quint8 source)
{
    ShowInputSource(source < 3 ? source : -1);
}

quint8 MainFrm::LimitValue(ParamBlock block, int channel)
{
    return quint8(Limits->SpinValue(3 * channel + LimitRow(block)));
}

bool MainFrm::ApplyLimit(ParamBlock block, int channel, quint8 value)
{
    const int i = 3 * channel + LimitRow(block);
    if (block == ParamBlock::ChannelMode)
        return Limits->SetModeValue(i, value);
    if (value > LimitsPanel::LimitMaximum) {
        Limits->ShowRefusedLimit(i, value);
        return false;
    }
    return Limits->CommitLimitValue(i, value);
}
