#pragma once

#include "SettingsSnapshot.h"

#include <QString>
#include <optional>

// The model key "Type" of every settings file holds this.
inline constexpr char SettingsFileModel[] = "QSV-416MZ";
// The one section of a settings file.
inline constexpr char SettingsFileSection[] = "Main";

// Writes the 212 keys into section "Main" of the file at path in one step (a
// new file beside it, renamed over it). keepOtherContent keeps the rest of an
// existing file byte for byte; without it the file holds the settings alone.
bool WriteSettingsFile(const QString &path, const SettingsSnapshot &settings, bool keepOtherContent);

// A settings file read with the import's checks: the file is whole (all 212 keys) and
// every value is checked before any is taken. Only a regular file is opened.
struct SettingsFileRead
{
    enum class Outcome { Read, Unreadable, NotAFile, WrongModel, Incomplete, BadValue };
    Outcome outcome = Outcome::Unreadable;
    SettingsSnapshot settings;
    QByteArray missingKey;  // with Incomplete: the first key, in the file's order, that it lacks
};
SettingsFileRead ReadSettingsFile(const QString &path);
