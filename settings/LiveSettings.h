#pragma once

#include "CommandFrame.h"

#include <QList>
#include <QString>
#include <optional>

// Settings that act on the unit at once and live in no settings file: the three
// channel volumes, the music key, and which memory of each kind is active. Named
// as a person says them: "MIC volume", "key", "program", "music", "mic".
class LiveSetting
{
public:
    enum class Kind { Volume, Key, Program, Music, Mic };

    LiveSetting(Kind kind, int channel = 0);

    QString Name() const { return name; }
    Kind Group() const { return kind; }
    int Channel() const { return channel; }
    // Only the volumes can be read back from the unit.
    bool Readable() const { return kind == Kind::Volume; }

    // As the editor shows it: "40", "#2", "natural", "EFF1", "MUSIC3", "MIC2".
    QString Shown(quint8 value) const;
    // A raw value or a text as Shown gives it (letter case ignored); nothing when neither.
    // The raw value of a program is its code (0, 1, 20, 21), of a key 0 (b5) to 10 (#5).
    std::optional<quint8> Parse(const QString &text) const;
    // Every value there is, for a person to choose from.
    QList<quint8> Values() const;

private:
    Kind kind;
    int channel;
    QString name;
};

constexpr int HighestVolume = 80;
constexpr quint8 NaturalKey = 5;

// "MUS volume", "MIC volume", "KTV volume", "key", "program", "music", "mic".
const QList<LiveSetting> &AllLiveSettings();
// By name, letter case and repeated blanks ignored; nullptr when there is none.
const LiveSetting *FindLiveSetting(const QString &name);
