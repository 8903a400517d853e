#pragma once

#include "ProfileEncoding.h"
#include "ProfileText.h"

#include <QString>
#include <optional>

#include <functional>

// The settings file in use and the section taken when a caller names none.
struct SettingsFileState
{
    QString SettingsPath;
    QString DefaultSection = QStringLiteral("Main");
    // Sounded when a key cannot be written; the front end decides how.
    std::function<void()> Beep;
};

// Single keys of the settings file state.SettingsPath; an empty section means
// state.DefaultSection. Names and values travel as UTF-8 (the program itself
// writes ASCII only).

// The value of key, or fallback when the file, the section or the key is missing
// or the file cannot be read. A key with nothing after "=" gives an empty text.
QString ReadIniValue(const SettingsFileState &state, const QString &key, const QString &section,
                     const QString &fallback);

// Sets key=value, creating the file, section or key as needed and keeping the
// rest of the file. The file is replaced in one step, so a failed write leaves
// it as it was; the failure sounds state.Beep and returns false.
bool WriteIniValue(SettingsFileState &state, const QString &key, const QString &value,
                   const QString &section);

// The whole file at path, decoded: empty when there is no such file, nothing
// when it exists but cannot be read.
std::optional<ProfileFileText> LoadProfileFile(const QString &path);

// Replaces the file at path with the text in its encoding, in one step (a new
// file written beside it and renamed over it); false, with the old file
// untouched, on failure.
bool StoreProfileFile(const QString &path, const ProfileFileText &file);
