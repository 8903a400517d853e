#include "MainFrm.h"

#include "AppState.h"
#include "C_FlagBar.h"
#include "C_OptionEx.h"
#include "SettingsDialogs.h"

namespace {

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

} // namespace

bool MainFrm::RequireConnection()
{
    if (!Commands.IsConnected)
        state.prompt.Warn(QStringLiteral("还没有连接到目标机。"));
    return Commands.IsConnected;
}

void MainFrm::ReportRefusedRead(const ReadResult &read)
{
    if (read.outcome == TransferOutcome::Refused)
        state.prompt.Critical(QStringLiteral("从机器读数据时出错！"));
}

// The read fills a copy of the editor's settings, which the editor then takes: a read
// that ended early has still changed what it read. Committing a limit cell it never
// reached would commit the red typing beside it and pull volumes down, so those stay.
void MainFrm::ReadAllFromDevice()
{
    if (!RequireConnection())
        return;
    History.MarkEditorOnly();
    SettingsSnapshot settings = CurrentSettings();
    SetWindowEnabled(false);
    const ReadResult read = ::ReadAllFromDevice(Commands, settings);
    ApplyAllButLimits(settings);
    for (const NamedSetting *setting : ReadOrder().first(read.taken))
        if (setting->Group() == NamedSetting::Kind::Limit)
            ApplyLimit(settings, LimitsPanel::CellOf(setting->Block(), setting->Address()));
    SetWindowEnabled(true);
    // A limit no box may hold shows in its box, uncommitted, beside the message.
    if (read.outcome == TransferOutcome::Refused && read.refused->Block() != ParamBlock::ChannelMode)
        Limits->ShowRefusedLimit(LimitsPanel::CellOf(read.refused->Block(), read.refused->Address()), read.refusedValue);
    ReportRefusedRead(read);
}

void MainFrm::UploadAllToDevice()
{
    if (!RequireConnection())
        return;
    SetWindowEnabled(false);
    ::UploadAllToDevice(Commands, CurrentSettings());
    SetWindowEnabled(true);
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

// Per channel as the unit's order has them: minimum, maximum, mode; the panel's
// corrections apply (a minimum above the maximum shown is pulled down to it).
void MainFrm::ApplySettings(const SettingsSnapshot &settings)
{
    ApplyAllButLimits(settings);
    for (int i = 0; i < SettingsSnapshot::LimitCells; ++i)
        ApplyLimit(settings, i);
}

void MainFrm::ApplyLimit(const SettingsSnapshot &settings, int cell)
{
    if (cell % 3 == SettingsSnapshot::ModeRow)
        Limits->SetModeValue(cell, settings.vol[cell]);
    else
        Limits->CommitLimitValue(cell, settings.vol[cell]);
}

void MainFrm::ApplyAllButLimits(const SettingsSnapshot &settings)
{
    using S = SettingsSnapshot;
    CopyValues(Model.MusicPresetTable, settings.music);
    CopyValues(Model.MicPresetTable, settings.mic);
    CopyValues(Model.KtvProgramTable, settings.ktv);
    CopyValues(Model.EffProgramTable, settings.eff);
    ShowPresetValues();
    const quint8 source = settings.InputSourceCode();
    ShowInputSource(source < S::NoInputSourceCode ? source : -1);
    C_FlagBar1->SetValue(settings.exciter);
    C_OptionEx3[0]->SetValue(settings.mute);
    C_OptionEx3[1]->SetValue(settings.lock);
}

SettingsSnapshot MainFrm::CurrentSettings()
{
    SettingsSnapshot settings;
    CopyValues(settings.music, Model.MusicPresetTable);
    CopyValues(settings.mic, Model.MicPresetTable);
    CopyValues(settings.ktv, Model.KtvProgramTable);
    CopyValues(settings.eff, Model.EffProgramTable);
    settings.SetInputSourceCode(SettingsSnapshot::NoInputSourceCode);
    for (int i = 0; i < 3; ++i)
        if (C_OptionEx2[i]->Value()) {
            settings.SetInputSourceCode(quint8(i));
            break;
        }
    settings.exciter = C_FlagBar1->Value();
    settings.mute = C_OptionEx3[0]->Value();
    settings.lock = C_OptionEx3[1]->Value();
    for (int i = 0; i < SettingsSnapshot::LimitCells; ++i)
        settings.vol[i] = Limits->SpinValue(i);
    return settings;
}
