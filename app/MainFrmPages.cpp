#include "MainFrm.h"

#include "AppState.h"
#include "C_ComboBox.h"
#include "C_FlagBar.h"
#include "C_Option.h"
#include "C_OptionEx.h"
#include "C_ScrollBar.h"
#include "SettingCommand.h"

#include <QCoreApplication>
#include <QFrame>
#include <QLabel>

namespace {

void StyleFrame(QFrame *frame)
{
    frame->setFrameShape(QFrame::NoFrame);
    QPalette palette = frame->palette();
    palette.setColor(QPalette::Window, QColor(61, 63, 63));
    frame->setPalette(palette);
    frame->setAutoFillBackground(true);
}

} // namespace

void MainFrm::Form_Load()
{
    Picture1->hide();
    Picture2->hide();
    Picture4->hide();
    Picture5->hide();
    Picture3->show();

    for (auto &preset : Model.MusicPresetTable) {
        for (int k = 0; k < MusicSliderCount; ++k)
            preset[k].address = TagAddress(C_ScrollBar7[k]);
        preset[16].address = TagAddress(C_FlagBar2);
        preset[17].address = TagAddress(C_FlagBar3);
    }
    for (auto &preset : Model.MicPresetTable)
        for (int k = 0; k < MicParamCount; ++k)
            preset[k].address = TagAddress(C_ScrollBar1[k]);
    for (auto &program : Model.KtvProgramTable)
        for (int k = 0; k < KtvParamCount; ++k)
            program[k].address = TagAddress(C_ScrollBar3[k]);
    for (auto &program : Model.EffProgramTable)
        for (int k = 0; k < EffParamCount; ++k)
            program[k].address = TagAddress(C_ScrollBar2[k]);

    // The headers carry the captions instead.
    for (C_ScrollBar *slider : C_ScrollBar7)
        slider->SetTitleVisible(false);
    for (C_ScrollBar *slider : C_ScrollBar1)
        slider->SetTitleVisible(false);
    for (C_ScrollBar *slider : C_ScrollBar3)
        slider->SetTitleVisible(false);
    for (C_ScrollBar *slider : C_ScrollBar2)
        slider->SetTitleVisible(false);

    StyleFrame(Frame1);
    ShowMusicPage(0);
    StyleFrame(Frame2);
    ShowEffectPage(0);

    for (int n = 1; n <= MusicPresetCount; ++n) {
        C_ComboBox1->AddItem(QStringLiteral("MUSIC%1").arg(n));
        C_ComboBox2->AddItem(QStringLiteral("MIC%1").arg(n));
    }
    for (const char *program : {"KTV1", "KTV2", "EFF1", "EFF2"})
        C_ComboBox3->AddItem(QString::fromLatin1(program));
    for (C_ComboBox *list : {C_ComboBox1, C_ComboBox2, C_ComboBox3})
        list->SetTopIndex(0);

    LoadFactoryDefaults();

    state.CommLog = QStringLiteral("双击清空显示 , 可拉长或宽");
    Connection.Start();
}

void MainFrm::ShowMusicPage(int index)
{
    for (C_ScrollBar *slider : C_ScrollBar7)
        slider->hide();
    for (QWidget *control : {static_cast<QWidget *>(C_FlagBar2), static_cast<QWidget *>(C_FlagBar3),
                             static_cast<QWidget *>(Label3), static_cast<QWidget *>(Label6)})
        control->hide();
    if (index == 0) {
        for (int k = 0; k < 8; ++k)
            C_ScrollBar7[k]->show();
        Picture1->show();
        Picture2->hide();
    } else if (index == 1) {
        for (int k = 8; k < MusicSliderCount; ++k)
            C_ScrollBar7[k]->show();
        C_FlagBar2->show();
        C_FlagBar3->show();
        Label3->show();
        Label6->show();
        Picture1->hide();
        Picture2->show();
    }
}

void MainFrm::ShowEffectPage(int code)
{
    for (C_ScrollBar *slider : C_ScrollBar3)
        slider->hide();
    for (C_ScrollBar *slider : C_ScrollBar2)
        slider->hide();
    if (ParameterModel::IsEffProgram(code)) {
        for (C_ScrollBar *slider : C_ScrollBar2)
            slider->show();
        Picture4->hide();
        Picture5->show();
    } else {
        for (C_ScrollBar *slider : C_ScrollBar3)
            slider->show();
        Picture4->show();
        Picture5->hide();
    }
    // The new page is drawn before the caller goes on.
    QCoreApplication::processEvents();
}

void MainFrm::ShowPresetValues()
{
    const ParamSlot *music = Model.MusicPresetTable[Model.CurrentMusicPreset];
    for (int k = 0; k < MusicSliderCount; ++k)
        C_ScrollBar7[k]->SetValue(music[k].value);
    C_FlagBar2->SetValue(music[16].value != 0);
    C_FlagBar3->SetValue(music[17].value != 0);

    const ParamSlot *mic = Model.MicPresetTable[Model.CurrentMicPreset];
    for (int k = 0; k < MicParamCount; ++k)
        C_ScrollBar1[k]->SetValue(mic[k].value);

    const int program = Model.CurrentEffectProgram;
    if (ParameterModel::IsEffProgram(program)) {
        for (int k = 0; k < EffParamCount; ++k)
            C_ScrollBar2[k]->SetValue(Model.EffProgramTable[program - FirstEffProgram][k].value);
    } else {
        for (int k = 0; k < KtvParamCount; ++k)
            C_ScrollBar3[k]->SetValue(Model.KtvProgramTable[program][k].value);
    }
}

void MainFrm::LoadFactoryDefaults()
{
    Model.LoadFactoryTables();
    ShowPresetValues();
    ShowEffectPage(Model.CurrentEffectProgram);
    ShowInputSource(1);
    C_FlagBar1->SetValue(false);
    C_OptionEx3[0]->SetValue(false);
    C_OptionEx3[1]->SetValue(false);
    // Maximums first: the factory maximum is the highest limit, so no minimum the
    // panel held can push it down, and every factory minimum then fits beneath it.
    for (int c = 0; c < 3; ++c) {
        Limits->CommitLimitValue(3 * c + 1, FactoryChannelMaximum);
        Limits->SetModeValue(3 * c + 2, 0);
    }
    for (int c = 0; c < 3; ++c)
        Limits->CommitLimitValue(3 * c, FactoryChannelMinimum[c]);
    for (int c = 0; c < 3; ++c)
        C_ScrollBar4[c]->SetValue(Limits->SpinValue(3 * c));
}

bool MainFrm::SendMemory(ParamBlock block, int memory, const ParamSlot *parameters, int count)
{
    for (int k = 0; k < count; ++k)
        if (!SendSet(block, quint8(memory), parameters[k].address, parameters[k].value))
            return false;
    return true;
}

bool MainFrm::SendSet(ParamBlock block, quint8 selector, quint8 address, quint8 value)
{
    return SendSetting(Commands, SetOp, block, selector, address, value);
}

void MainFrm::C_ComboBox1_ItemClick(int ItemIndex)
{
    if (ItemIndex < 0 || ItemIndex >= MusicPresetCount)
        return;
    SetWindowEnabled(false);
    Model.CurrentMusicPreset = ItemIndex;
    ShowPresetValues();
    if (Commands.IsConnected)
        SendMemory(ParamBlock::MusicParam, ItemIndex, Model.MusicPresetTable[ItemIndex], MusicParamCount);
    SetWindowEnabled(true);
}

void MainFrm::C_ComboBox2_ItemClick(int ItemIndex)
{
    if (ItemIndex < 0 || ItemIndex >= MicPresetCount)
        return;
    SetWindowEnabled(false);
    Model.CurrentMicPreset = ItemIndex;
    ShowPresetValues();
    if (Commands.IsConnected)
        SendMemory(ParamBlock::MicParam, ItemIndex, Model.MicPresetTable[ItemIndex], MicParamCount);
    SetWindowEnabled(true);
}

void MainFrm::C_ComboBox3_ItemClick(int ItemIndex)
{
    if (ItemIndex < 0 || ItemIndex > 3)
        return;
    SetWindowEnabled(false);
    const int program = ProgramCodeForListIndex(ItemIndex);
    Model.CurrentEffectProgram = program;
    ShowEffectPage(program);
    ShowPresetValues();
    if (Commands.IsConnected) {
        if (ParameterModel::IsEffProgram(program))
            SendMemory(ParamBlock::EffectParam, program, Model.EffProgramTable[program - FirstEffProgram],
                       EffParamCount);
        else
            SendMemory(ParamBlock::EffectParam, program, Model.KtvProgramTable[program], KtvParamCount);
    }
    SetWindowEnabled(true);
}

void MainFrm::C_Option1_OptionClick(int index)
{
    for (int i = 0; i < 2; ++i)
        C_Option1[i]->SetValue(i == index);
    ShowMusicPage(index);
}

void MainFrm::C_Button1_Click(int index)
{
    switch (index) {
    case 0:
        ReadAllFromDevice();
        break;
    case 1:
        UploadAllToDevice();
        break;
    case 2:
        ImportSettingsFile();
        break;
    case 3:
        SaveSettingsFile();
        break;
    default:
        break;
    }
}
