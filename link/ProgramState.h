#pragma once

#include "Ini_Oper.h"
#include "RS232Port.h"

// What the core keeps for the whole program: the one port and the settings file in use.
// A program makes one and hands it on; a test makes its own.
struct ProgramState : SettingsFileState
{
    ProgramState() = default;
    ProgramState(const ProgramState &) = delete;
    ProgramState &operator=(const ProgramState &) = delete;

    RS232Port port;
};
