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
    // The frame that reads or sets it on the unit.
    ParamBlock Block() const;
    quint8 Selector() const;
    quint8 Address() const;
    int Highest() const;

    quint8 Value(const SettingsSnapshot &s) const;
    void SetValue(SettingsSnapshot &s, quint8 value) const;
    // As the editor shows it: "+3dB", "184ms", "AUX", "ON", "KTV2".
    QString Shown(quint8 value) const;
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

// Every setting of a snapshot in the settings file's order: 211 of them.
const QList<NamedSetting> &AllNamedSettings();
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
