#pragma once

#include "CommandFrame.h"

#include <QList>

class CommandLayer;
class UserPrompt;

// What the bulk read and upload reach in the editor: the table slots and the
// settings that only widgets hold. The editor implements it.
class BulkEditor
{
public:
    // One slot of a parameter table, with the block and memory it travels under.
    struct TableSlot
    {
        ParamBlock block;
        quint8 selector;
        quint8 address;
        quint8 *value;
    };

    virtual ~BulkEditor() = default;

    // Every slot of the four tables: music presets 0 to 5, microphone presets 0 to 5,
    // KTV programs 0 and 1, EFF programs 20 and 21, each in parameter order.
    virtual QList<TableSlot> AllTableSlots() = 0;
    virtual void ShowPresetValues() = 0;
    virtual void SetWindowEnabled(bool enabled) = 0;

    // Mute, lock and exciter: 1 on, 0 off.
    virtual quint8 SwitchValue(ParamBlock block) = 0;
    virtual void ApplySwitch(ParamBlock block, bool on) = 0;
    // 0 AUTO, 1 BGM, 2 AUX, 3 none selected.
    virtual quint8 InputSourceValue() = 0;
    // A source of 3 or more selects none.
    virtual void ApplyInputSource(quint8 source) = 0;
    // Channel minimum, maximum or mode of the limits panel; Apply returns false when
    // the panel refuses the value.
    virtual quint8 LimitValue(ParamBlock block, int channel) = 0;
    virtual bool ApplyLimit(ParamBlock block, int channel, quint8 value) = 0;
    // Asked before each frame of a transfer: true ends it there, with nothing reported.
    virtual bool StopRequested() { return false; }
};

// Frames a complete transfer sends.
constexpr int ReadAllFrameCount = 211;
constexpr int UploadAllFrameCount = 212;

// The two transfers stop at the first command that fails; SendCommand has then
// already told the user and dropped the link.
void ReadAllFromDevice(CommandLayer &commands, BulkEditor &editor, UserPrompt &prompt);
void UploadAllToDevice(CommandLayer &commands, BulkEditor &editor, UserPrompt &prompt);
