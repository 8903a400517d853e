#pragma once

#include "ParameterDefinitions.h"

#include <QString>

struct ParamSlot
{
    quint8 address = 0;
    quint8 value = 0;
};

// The editor's copy of the processor's memories and which of them is selected.
// No widget code here: the window shows and edits what this holds.
class ParameterModel
{
public:
    ParameterModel();

    ParamSlot MusicPresetTable[MusicPresetCount][MusicParamCount];
    ParamSlot MicPresetTable[MicPresetCount][MicParamCount];
    ParamSlot KtvProgramTable[ProgramRowCount][KtvParamCount];
    ParamSlot EffProgramTable[ProgramRowCount][EffParamCount];

    int CurrentMusicPreset = 0;
    int CurrentMicPreset = 0;
    // Program code: 0 KTV1, 1 KTV2, 20 EFF1, 21 EFF2.
    int CurrentEffectProgram = 0;

    // Steps 1 to 5 of the factory reset: the four tables; the selection stays.
    void LoadFactoryTables();

    // The slots of the selected effect program, and how many there are.
    ParamSlot *CurrentProgramSlots();
    int CurrentProgramParamCount() const;
    static bool IsEffProgram(int programCode) { return programCode >= FirstEffProgram; }
};

// List index 0 to 3 of the effect program list to program code 0, 1, 20, 21.
int ProgramCodeForListIndex(int listIndex);
