#pragma once

#include <QtGlobal>

// One parameter of a memory: its column caption, device address, slider range,
// value-tip format and the three scale labels (nullptr where a label is absent).
struct ParamDef
{
    const char *caption;
    quint8 address;
    int maxValue;
    int format;
    const char *text1;
    const char *text2;
    const char *text3;
};

constexpr int MusicPresetCount = 6;
constexpr int MicPresetCount = 6;
constexpr int ProgramRowCount = 2;
constexpr int MusicParamCount = 18;
constexpr int MusicSliderCount = 16;
constexpr int MicParamCount = 9;
constexpr int KtvParamCount = 8;
constexpr int EffParamCount = 10;

// Memories of the effect block: KTV1 and KTV2 travel as 0 and 1, EFF1 and EFF2 as 20 and 21.
constexpr quint8 FirstEffProgram = 20;

// Format -1 marks the two music switches, which have no slider.
constexpr ParamDef MusicParams[MusicParamCount] = {
    {"57Hz", 0, 20, 6, "+10", "0", "-10"},
    {"134Hz", 1, 20, 6, "+10", "0", "-10"},
    {"400Hz", 2, 20, 6, "+10", "0", "-10"},
    {"1KHz", 3, 20, 6, "+10", "0", "-10"},
    {"2.5KHz", 4, 20, 6, "+10", "0", "-10"},
    {"6.3KHz", 5, 20, 6, "+10", "0", "-10"},
    {"16KHz", 6, 20, 6, "+10", "0", "-10"},
    {"Out Limit", 29, 6, 9, "2V", "1.2V", "OFF"},
    {"C Music Vol", 17, 80, 0, "80", nullptr, "0"},
    {"C Mic Vol", 18, 80, 0, "80", nullptr, "0"},
    {"C Bass", 24, 20, 6, "10", "0", "-10"},
    {"C Mid", 23, 20, 6, "10", "0", "-10"},
    {"C Treble", 22, 20, 6, "10", "0", "-10"},
    {"SUB Freq", 27, 21, 8, "230Hz", nullptr, "20Hz"},
    {"SUB MinOn Vol", 25, 80, 0, "80", nullptr, "0"},
    {"SUB Vol", 26, 80, 0, "80", nullptr, "0"},
    {"EFF In C", 21, 1, -1, nullptr, nullptr, nullptr},
    {"SUB Invert", 28, 1, -1, nullptr, nullptr, nullptr},
};

// Index 7 has address 8 and index 8 address 7: the device numbers them so.
constexpr ParamDef MicParams[MicParamCount] = {
    {"57Hz", 0, 20, 6, "+10", "0", "-10"},
    {"134Hz", 1, 20, 6, "+10", "0", "-10"},
    {"400Hz", 2, 20, 6, "+10", "0", "-10"},
    {"1KHz", 3, 20, 6, "+10", "0", "-10"},
    {"2.5KHz", 4, 20, 6, "+10", "0", "-10"},
    {"6.3KHz", 5, 20, 6, "+10", "0", "-10"},
    {"10KHz", 6, 20, 6, "+10", "0", "-10"},
    {"MIC H_Curve", 8, 3, 5, "3dB", nullptr, "0dB"},
    {"MIC LowCut", 7, 13, 8, "150Hz", nullptr, "20Hz"},
};

constexpr ParamDef KtvParams[KtvParamCount] = {
    {"Echo-A Rep", 82, 15, 0, "15", nullptr, "0"},
    {"Echo-A Dly", 80, 15, 1, "196ms", nullptr, "12ms"},
    {"Echo-A Vol", 98, 80, 0, "80", nullptr, "0"},
    {"Echo-B Vol", 99, 80, 0, "80", nullptr, "0"},
    {"Echo-B H_Cut", 10, 100, 0, "100", nullptr, "0"},
    {"Echo-B L&R", 85, 127, 0, "127", nullptr, "0"},
    {"Echo-B Rep", 83, 100, 0, "100", nullptr, "0"},
    {"Echo-B Dly", 81, 127, 4, "381ms", nullptr, "0ms"},
};

constexpr ParamDef EffParams[EffParamCount] = {
    {"Echo Rep", 82, 15, 0, "15", nullptr, "0"},
    {"Echo Dly", 80, 15, 1, "196", nullptr, "12"},
    {"Echo Vol", 98, 80, 0, "80", nullptr, "0"},
    {"Rev Vol", 199, 80, 0, "80", nullptr, "0"},
    {"REV 1 Time", 130, 60, 2, "6s", nullptr, "0s"},
    {"REV 2 Time", 131, 60, 2, "6s", nullptr, "0s"},
    {"REV 3 Time", 132, 60, 2, "6s", nullptr, "0s"},
    {"REV Dly", 181, 40, 3, "40ms", nullptr, "0ms"},
    {"REV H_Cut1", 110, 100, 0, "100", nullptr, "0"},
    {"REV H_Cut2", 111, 100, 0, "100", nullptr, "0"},
};

// Factory values as the decimal lists the unit's documentation gives them.
constexpr const char *MusicFactoryValues = "10,10,10,10,10,10,10,1,80,80,10,10,10,21,30,30,0,0";
constexpr const char *MicFactoryValues = "10,10,10,10,10,10,10,0,6";
constexpr const char *KtvFactoryValues[ProgramRowCount] = {"6,14,40,68,90,63,75,63",
                                                           "8,14,40,68,80,63,80,66"};
constexpr const char *EffFactoryValues[ProgramRowCount] = {"8,14,40,68,50,45,45,20,88,90",
                                                           "8,14,50,68,50,45,55,20,80,80"};

// Power-on limits of the three channels (MUS, MIC, KTV) at the factory.
// The highest power-on minimum or maximum a channel takes, and its factory maximum.
constexpr int HighestChannelLimit = 80;
constexpr int FactoryChannelMinimum[3] = {20, 30, 36};
constexpr int FactoryChannelMaximum = HighestChannelLimit;
