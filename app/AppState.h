#pragma once

#include "ProgramState.h"
#include "UserPrompt.h"

#include <QString>
#include <functional>

// The editor's program-wide state: the core's, the one way to ask and tell the user,
// the layout in use and the traffic log. Main creates one and hands it on.
struct AppState : ProgramState
{
    explicit AppState(UserPrompt &prompt) : prompt(prompt)
    {
        Beep = [this] { this->prompt.Beep(); };
    }

    UserPrompt &prompt;

    // 1 while MainFrm_Big is in use, 2 for MainFrm_Small; set once before the window exists.
    quint8 LayoutVariant = 0;

    // The traffic log, written only while the log window is open.
    QString CommLog;
    bool LogWindowOpen = false;

    // Ends the program at once, also from inside a nested wait; tests replace it.
    std::function<void()> EndProgram;
};
