#pragma once

#include "CommandFrame.h"
#include "SettingsSnapshot.h"

#include <QList>
#include <QString>
#include <optional>

// One setting of a settings snapshot, named as the user finds it in the editor:
// the memory or program as its list shows it, then the column caption ("MUSIC3
// 57Hz", "EFF1 REV Dly"), or a single setting ("input", "mute", "MIC max").
// Its raw value is the byte the unit and the settings file hold.
class NamedSetting
{
public:
    enum class Kind { Music, Mic, Ktv, Eff, Input, Exciter, Mute, Lock, Limit };

    NamedSetting(Kind kind, int row, int column);

    QString Name() const { return name; }
    Kind Group() const { return kind; }
    bool InTable() const;
    // The frame that reads or sets it on the unit.
    ParamBlock Block() const;
    quint8 Selector() const;
    quint8 Address() const;
    int Highest() const;

    quint8 Value(const SettingsSnapshot &s) const;
    void SetValue(SettingsSnapshot &s, quint8 value) const;
    // As the editor shows it: "+3dB", "184ms", "AUX", "ON", "KTV2".
    QString Shown(quint8 value) const;
    // Shown with the raw byte beside it: "+3dB (13)".
    QString ShownWithRaw(quint8 value) const;
    // Whether a snapshot can take value as the unit gives it: a limit above its
    // highest cannot; a switch takes any (not 0 is on), the input any (3 or more is none).
    bool Takes(quint8 value) const;
    // A raw number, or a text as Shown gives it (letter case ignored); nothing
    // when it is neither or out of range.
    std::optional<quint8> Parse(const QString &text) const;

private:
    int Format() const;

    Kind kind;
    int row;     // memory, program or channel
    int column;  // parameter, or the limit row
    QString name;
};

// Every setting of a snapshot in the settings file's order: the four tables,
// input, exciter, mute, lock, then per channel its minimum, maximum and mode.
const QList<NamedSetting> &AllNamedSettings();

// The order of a complete read: the tables, mute, lock, exciter, input, then the
// limits per channel. An upload sends the tables, the limits, then mute, lock,
// exciter and input, and closes with UploadEndOp.
const QList<const NamedSetting *> &ReadOrder();
const QList<const NamedSetting *> &UploadOrder();

constexpr int TableSettingCount = MusicPresetCount * MusicParamCount + MicPresetCount * MicParamCount
    + ProgramRowCount * (KtvParamCount + EffParamCount);
constexpr int SingleSettingCount = 4;
constexpr int LimitSettingCount = SettingsSnapshot::LimitCells;
// Frames a complete transfer sends: one per setting, and the upload's closing frame.
constexpr int ReadAllFrameCount = TableSettingCount + SingleSettingCount + LimitSettingCount;
constexpr int UploadAllFrameCount = ReadAllFrameCount + 1;
// By name, letter case and repeated blanks ignored; nullptr when there is none.
const NamedSetting *FindNamedSetting(const QString &name);

struct SettingDifference
{
    const NamedSetting *setting;
    quint8 first;
    quint8 second;
};

// Every setting that differs, in the settings file's order.
QList<SettingDifference> CompareSettings(const SettingsSnapshot &first, const SettingsSnapshot &second);
