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

// A settings file read with the import's checks: every value is checked before any is taken.
struct SettingsFileRead
{
    enum class Outcome { Read, Unreadable, WrongModel, BadValue };
    Outcome outcome = Outcome::Unreadable;
    SettingsSnapshot settings;
};
SettingsFileRead ReadSettingsFile(const QString &path);
