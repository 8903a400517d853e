#include "SettingCommand.h"

#include "CommandLayer.h"

bool SendSetting(CommandLayer &commands, quint8 op, ParamBlock block, quint8 selector,
                 quint8 address, quint8 value)
{
    const CommandFrame frame = SettingFrame(op, block, selector, address, value);
    const bool expectData = op == GetOp || (op == SetOp && SetExpectsData(block));
    const bool pauseIfZero = op != GetOp && SetPausesIfZero(block);
    return commands.SendCommand(expectData, expectData ? 1 : 0, frame[1], frame[2], frame[3],
                                frame[4], frame[5], pauseIfZero);
}
