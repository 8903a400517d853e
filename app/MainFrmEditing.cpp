#include "MainFrm.h"

#include "AppState.h"
#include "C_FlagBar.h"
#include "C_OptionEx.h"
#include "C_ScrollBar.h"
#include "LiveSettings.h"
#include "SettingCommand.h"
#include "UserPrompt.h"

namespace {

quint8 OnOff(bool on)
{
    return on ? 1 : 0;
}

} // namespace

template <int Rows, int N>
void MainFrm::SendTableSlider(C_ScrollBar *slider, ParamSlot (&table)[Rows][N], int row, int index,
                              ParamBlock block, int memory)
{
    // Disabled, the slider raises nothing more until its command is answered.
    slider->setEnabled(false);
    const quint8 value = quint8(slider->Value());
    if (slider->ValueGlobal()) {
        for (auto &memorySlots : table)
            memorySlots[index].value = value;
    } else {
        table[row][index].value = value;
    }
    if (Commands.IsConnected)
        SendSet(block, quint8(memory), TagAddress(slider), value);
    slider->setEnabled(true);
}

void MainFrm::C_ScrollBar7_Scroll(int index)
{
    SendTableSlider(C_ScrollBar7[index], Model.MusicPresetTable, Model.CurrentMusicPreset, index,
                    ParamBlock::MusicParam, Model.CurrentMusicPreset);
}

void MainFrm::C_ScrollBar1_Scroll(int index)
{
    SendTableSlider(C_ScrollBar1[index], Model.MicPresetTable, Model.CurrentMicPreset, index,
                    ParamBlock::MicParam, Model.CurrentMicPreset);
}

void MainFrm::C_ScrollBar3_Scroll(int index)
{
    const int program = Model.CurrentEffectProgram;
    if (ParameterModel::IsEffProgram(program))
        return;
    SendTableSlider(C_ScrollBar3[index], Model.KtvProgramTable, program, index,
                    ParamBlock::EffectParam, program);
}

void MainFrm::C_ScrollBar2_Scroll(int index)
{
    const int program = Model.CurrentEffectProgram;
    if (!ParameterModel::IsEffProgram(program))
        return;
    SendTableSlider(C_ScrollBar2[index], Model.EffProgramTable, program - FirstEffProgram, index,
                    ParamBlock::EffectParam, program);
}

void MainFrm::SendMusicSwitch(C_FlagBar *flag, int index)
{
    const quint8 value = OnOff(flag->Value());
    Model.MusicPresetTable[Model.CurrentMusicPreset][index].value = value;
    if (Commands.IsConnected)
        SendSet(ParamBlock::MusicParam, quint8(Model.CurrentMusicPreset), TagAddress(flag), value);
}

void MainFrm::C_FlagBar2_SwitchClick()
{
    SendMusicSwitch(C_FlagBar2, 16);
}

void MainFrm::C_FlagBar3_SwitchClick()
{
    SendMusicSwitch(C_FlagBar3, 17);
}

void MainFrm::C_ScrollBar4_Scroll(int index)
{
    C_ScrollBar *slider = C_ScrollBar4[index];
    const int ceiling = Limits->VolumeCeiling(index);
    if (ceiling < slider->Value())
        slider->SetValue(ceiling);
    if (!Commands.IsConnected)
        return;
    slider->setEnabled(false);
    SendSet(ParamBlock::ChannelVolume, 0, quint8(index), quint8(slider->Value()));
    slider->setEnabled(true);
}

void MainFrm::KeepVolumeBelowMaximum(int channel, int maximum)
{
    if (maximum < C_ScrollBar4[channel]->Value())
        C_ScrollBar4[channel]->SetValue(maximum);
}

void MainFrm::C_FlagBar1_SwitchClick()
{
    if (Commands.IsConnected)
        SendSet(ParamBlock::ExciterSwitch, 0, 0, OnOff(C_FlagBar1->Value()));
}

void MainFrm::ShowKey(int index)
{
    for (C_OptionEx *key : C_OptionEx1)
        key->SetValue(false);
    C_OptionEx1[index]->SetValue(true);
}

void MainFrm::C_OptionEx1_OptionClick(int index)
{
    ShowKey(index);
    // A key the processor does not confirm is shown for a moment only.
    bool fallBack = true;
    if (Commands.IsConnected) {
        const bool answered = SendSetting(Commands, SetOp, ParamBlock::MusicKey, 0, 0, quint8(index));
        fallBack = answered && Commands.ReplyBuffer[0] != AckByte;
    }
    if (fallBack && !Timer1.isActive())
        Timer1.start();
}

void MainFrm::Timer1_Timer()
{
    Timer1.stop();
    ShowKey(NaturalKey);
}

void MainFrm::ShowInputSource(int index)
{
    for (int i = 0; i < 3; ++i)
        C_OptionEx2[i]->SetValue(i == index);
}

void MainFrm::C_OptionEx2_OptionClick(int index)
{
    ShowInputSource(index);
    if (Commands.IsConnected)
        SendSet(ParamBlock::InputSource, 0, 0, quint8(index));
}

void MainFrm::C_OptionEx3_OptionClick(int index)
{
    C_OptionEx *button = C_OptionEx3[index];
    if (index < 2 && !Commands.IsConnected) {
        state.prompt.Warn(QStringLiteral("不可用！"));
        return;
    }
    button->SetValue(!button->Value());
    if (index == 2) {
        LoadFactoryDefaults();
        state.prompt.Warn(QStringLiteral("已复位所有设置值！"));
        button->SetValue(false);
        return;
    }
    if (!Commands.IsConnected)
        return;
    SetWindowEnabled(false);
    SendSet(index == 0 ? ParamBlock::MuteSwitch : ParamBlock::LockSwitch, 0, 0, OnOff(button->Value()));
    SetWindowEnabled(true);
}

bool MainFrm::ReadBack(ParamBlock block, quint8 address, quint8 &value)
{
    if (!SendSetting(Commands, GetOp, block, 0, address, 0))
        return false;
    value = Commands.ReplyBuffer[0];
    return true;
}

void MainFrm::SendEditorState()
{
    SetWindowEnabled(false);
    const int program = Model.CurrentEffectProgram;
    const bool eff = ParameterModel::IsEffProgram(program);
    Commands.ProgressTotal = MusicParamCount + MicParamCount + (eff ? EffParamCount : KtvParamCount) + 7;
    Commands.ProgressCount = 0;
    Commands.ProgressOn = true;

    // Stops at the first command that fails.
    [&] {
        if (!SendMemory(ParamBlock::MusicParam, Model.CurrentMusicPreset,
                        Model.MusicPresetTable[Model.CurrentMusicPreset], MusicParamCount))
            return;
        if (!SendMemory(ParamBlock::MicParam, Model.CurrentMicPreset,
                        Model.MicPresetTable[Model.CurrentMicPreset], MicParamCount))
            return;
        const bool sent = eff
            ? SendMemory(ParamBlock::EffectParam, program, Model.EffProgramTable[program - FirstEffProgram], EffParamCount)
            : SendMemory(ParamBlock::EffectParam, program, Model.KtvProgramTable[program], KtvParamCount);
        if (!sent)
            return;
        quint8 value = 0;
        for (int c = 0; c < 3; ++c) {
            if (!ReadBack(ParamBlock::ChannelVolume, quint8(c), value))
                return;
            C_ScrollBar4[c]->SetValue(value);
            KeepVolumeBelowMaximum(c, Limits->VolumeCeiling(c));
        }
        if (!ReadBack(ParamBlock::MuteSwitch, 0, value))
            return;
        C_OptionEx3[0]->SetValue(value != 0);
        if (!ReadBack(ParamBlock::LockSwitch, 0, value))
            return;
        C_OptionEx3[1]->SetValue(value != 0);
        if (!ReadBack(ParamBlock::ExciterSwitch, 0, value))
            return;
        C_FlagBar1->SetValue(value != 0);
        if (!ReadBack(ParamBlock::InputSource, 0, value))
            return;
        // A source above 2 leaves all three off.
        ShowInputSource(value);
    }();

    SetWindowEnabled(true);
    Commands.ProgressOn = false;
}
