#pragma once

#include "CommandFrame.h"

class CommandLayer;

// Sends one setting as SettingFrame lays it out and waits for the reply its
// kind calls for: one data byte for a get and for the music key set, the
// acknowledgement otherwise; a mute of 0 pauses before the wait.
bool SendSetting(CommandLayer &commands, quint8 op, ParamBlock block, quint8 selector,
                 quint8 address, quint8 value);
