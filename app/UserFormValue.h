#pragma once

#include <QString>

class QWidget;
struct AppState;

// The open and save dialogs for settings files, shown through state.prompt
// over the owner window (the main window). Both return the chosen path, or an
// empty text when the user cancelled. The save dialog asks before replacing an
// existing file; the open dialog accepts a name of a file that does not exist.
QString BrowseOpenFile(AppState &state, QWidget *owner);
QString BrowseSaveFile(AppState &state, QWidget *owner);

// The one filter entry of both dialogs.
QString SettingsFileFilter();

// The folder the dialogs start in: programFolder when it can be written to,
// else the user's documents folder, since an installed program lives in a
// system folder no one can save into.
QString SettingsDialogFolder(const QString &programFolder);
