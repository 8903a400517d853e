#pragma once

#include "RS232Port.h"

#include <QString>
#include <functional>

class UserPrompt;

// The state that belongs to the whole program rather than to the main window.
// Main creates one and hands it on; a test makes its own.
struct ProgramState
{
    explicit ProgramState(UserPrompt &prompt) : prompt(prompt) {}
    ProgramState(const ProgramState &) = delete;
    ProgramState &operator=(const ProgramState &) = delete;

    UserPrompt &prompt;
    RS232Port port;

    // 1 while MainFrm_Big is in use, 2 for MainFrm_Small; set once before the window exists.
    quint8 LayoutVariant = 0;

    // The traffic log, written only while the log window is open.
    QString CommLog;
    bool LogWindowOpen = false;

    // The settings file in use and the section taken when a caller names none.
    QString SettingsPath;
    QString DefaultSection = QStringLiteral("Main");

    // Ends the program at once, also from inside a nested wait; tests replace it.
    std::function<void()> EndProgram;
};
