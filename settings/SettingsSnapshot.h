#pragma once

#include "ParameterDefinitions.h"

#include <QtGlobal>
#include <algorithm>
#include <iterator>

// Everything a settings file carries, as plain values: the four parameter
// tables (values only, never the addresses) and the single settings that live
// in the editor's widgets. The editor builds one from its tables and widgets
// to save, and applies an imported one to them.
struct SettingsSnapshot
{
    static constexpr int MusicPresets = MusicPresetCount, MusicParams = MusicParamCount;
    static constexpr int MicPresets = MicPresetCount, MicParams = MicParamCount;
    static constexpr int KtvPrograms = ProgramRowCount, KtvParams = KtvParamCount;
    static constexpr int EffPrograms = ProgramRowCount, EffParams = EffParamCount;

    // inputSelect when none of AUTO, BGM, AUX is selected; on the line and in the file it is 3.
    static constexpr int NoInputSource = -1;
    static constexpr quint8 NoInputSourceCode = 3;
    // The input source as the unit and the file carry it, and back: 3 or more selects none.
    quint8 InputSourceCode() const { return inputSelect == NoInputSource ? NoInputSourceCode : quint8(inputSelect); }
    void SetInputSourceCode(quint8 code) { inputSelect = code < NoInputSourceCode ? code : NoInputSource; }

    // The limits panel: channel c (0 MUS, 1 MIC, 2 KTV), row r (0 minimum,
    // 1 maximum, 2 mode) is vol[LimitIndex(c, r)], the spin value VScroll1(3c + r).
    static constexpr int Channels = 3;
    static constexpr int MinimumRow = 0, MaximumRow = 1, ModeRow = 2;
    static constexpr int LimitCells = 9;
    static constexpr int HighestLimit = HighestChannelLimit;
    static constexpr int LimitIndex(int channel, int row) { return 3 * channel + row; }
    // Modes run from 0 to 5 for MUS and MIC (MUS1..6, MIC1..6), 0 to 7 for KTV (KTV1..4, EFF1..4).
    static constexpr int HighestMode(int channel) { return channel == 2 ? 7 : 5; }

    quint8 music[MusicPresets][MusicParams] = {};
    quint8 mic[MicPresets][MicParams] = {};
    quint8 ktv[KtvPrograms][KtvParams] = {};
    quint8 eff[EffPrograms][EffParams] = {};

    int inputSelect = NoInputSource;  // 0 AUTO, 1 BGM, 2 AUX, or NoInputSource
    bool exciter = false;             // C_FlagBar1
    bool mute = false;                // C_OptionEx3(0)
    bool lock = false;                // C_OptionEx3(1)

    // An imported snapshot holds checked numbers: minimum and maximum within
    // 0..HighestLimit, the mode within 0..HighestMode(c). The minimum may still
    // exceed the maximum, as in a hand-edited file: the editor writes both as
    // plain decimal text into its limit boxes and commits them (minimum first),
    // so the panel's own corrections apply.
    int vol[LimitCells] = {0, 80, 0, 0, 80, 0, 0, 80, 0};

    friend bool operator==(const SettingsSnapshot &a, const SettingsSnapshot &b)
    {
        const auto same = [](const auto &x, const auto &y) {
            return std::equal(std::begin(x), std::end(x), std::begin(y));
        };
        const auto sameTable = [&](const auto &x, const auto &y) {
            return std::equal(std::begin(x), std::end(x), std::begin(y), same);
        };
        return sameTable(a.music, b.music) && sameTable(a.mic, b.mic) && sameTable(a.ktv, b.ktv)
            && sameTable(a.eff, b.eff) && a.inputSelect == b.inputSelect
            && a.exciter == b.exciter && a.mute == b.mute && a.lock == b.lock && same(a.vol, b.vol);
    }
    friend bool operator!=(const SettingsSnapshot &a, const SettingsSnapshot &b) { return !(a == b); }
};
