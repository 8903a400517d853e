#pragma once

#include "SettingsFile.h"

#include <QString>
#include <optional>

class QWidget;
struct AppState;

// The editor's words for a settings file that was not read.
QString SettingsFileMessage(const SettingsFileRead &read, const QString &path);

// The settings file as the editor's buttons use it: section "Main" with 212 keys,
// the model key "Type" first. Both procedures ask for the file over owner (the
// main window), set state.SettingsPath and state.DefaultSection, and tell the user
// themselves about every failure, so callers only look at the result.

// Asks for a file name ("保存配置文件"), appends ".txt" unless the name already
// ends in it (any letter case) and writes all 212 keys into the file. Other
// sections, unknown keys, comments and blank lines of an existing file stay
// byte for byte. The new file is written beside the old one and renamed over
// it, so a save that fails leaves the old file untouched and shows one critical
// message naming the file. False when cancelled or failed.
bool SaveSettingsFile(AppState &state, QWidget *owner, const SettingsSnapshot &settings);

// Asks for an existing file ("浏览配置文件") and reads it. Nothing comes back,
// and the editor must change nothing, when the dialog was cancelled or named no
// file (silently), when the file is not for the QSV-416MZ model ("您导入的文件不是
// QSV-416MZ的配置文件。"), or when any value is not a number or is out of range
// ("导入的数据有错误！"): every value is checked before the editor applies any.
// Missing keys take 0, a channel maximum 80. "INPUTSELECT" 3 means no input source.
//
// The editor applies a result in this order: the tables, ShowPresetValues, the
// input buttons (all off, then inputSelect's on unless it is NoInputSource), the
// exciter, mute and lock switches, then per channel the minimum box and
// CommitLimitText, the maximum box and CommitLimitText, the mode spin and
// VScroll1_Change.
std::optional<SettingsSnapshot> ImportSettingsFile(AppState &state, QWidget *owner);
