#include "BulkTransfer.h"

#include "CommandLayer.h"
#include "SettingCommand.h"
#include "UserPrompt.h"

namespace {

const QString NotConnectedMessage = QStringLiteral("还没有连接到目标机。");
const QString ReadErrorMessage = QStringLiteral("从机器读数据时出错！");

constexpr ParamBlock SingleSettings[] = {ParamBlock::MuteSwitch, ParamBlock::LockSwitch,
                                         ParamBlock::ExciterSwitch};
// Per channel the read takes minimum, maximum, mode; the upload the same order.
constexpr ParamBlock LimitBlocks[] = {ParamBlock::ChannelMinimum, ParamBlock::ChannelMaximum,
                                      ParamBlock::ChannelMode};

bool Get(CommandLayer &commands, BulkEditor &editor, ParamBlock block, quint8 selector, quint8 address,
         quint8 &answer)
{
    if (editor.StopRequested() || !SendSetting(commands, GetOp, block, selector, address, 0))
        return false;
    answer = commands.ReplyBuffer[0];
    return true;
}

// Switching mute off makes the unit pause before it answers; SendSetting allows for it.
bool Upload(CommandLayer &commands, BulkEditor &editor, ParamBlock block, quint8 selector, quint8 address,
            quint8 value)
{
    return !editor.StopRequested() && SendSetting(commands, UploadOp, block, selector, address, value);
}

// Window disabled and progress counting for the length of one transfer.
class TransferScope
{
public:
    TransferScope(CommandLayer &commands, BulkEditor &editor) : commands(commands), editor(editor)
    {
        editor.SetWindowEnabled(false);
        commands.ProgressCount = 0;
        commands.ProgressOn = true;
    }
    ~TransferScope()
    {
        editor.SetWindowEnabled(true);
        commands.ProgressOn = false;
    }

private:
    CommandLayer &commands;
    BulkEditor &editor;
};

enum class ReadOutcome { Complete, CommandFailed, ValueRefused };

ReadOutcome ReadEverything(CommandLayer &commands, BulkEditor &editor)
{
    for (const BulkEditor::TableSlot &slot : editor.AllTableSlots()) {
        if (!Get(commands, editor, slot.block, slot.selector, slot.address, *slot.value))
            return ReadOutcome::CommandFailed;
    }
    editor.ShowPresetValues();

    quint8 answer = 0;
    for (ParamBlock block : SingleSettings) {
        if (!Get(commands, editor, block, 0, 0, answer))
            return ReadOutcome::CommandFailed;
        editor.ApplySwitch(block, answer != 0);
    }
    if (!Get(commands, editor, ParamBlock::InputSource, 0, 0, answer))
        return ReadOutcome::CommandFailed;
    editor.ApplyInputSource(answer);

    for (int c = 0; c < 3; ++c) {
        for (ParamBlock block : LimitBlocks) {
            if (!Get(commands, editor, block, 0, quint8(c), answer))
                return ReadOutcome::CommandFailed;
            if (!editor.ApplyLimit(block, c, answer))
                return ReadOutcome::ValueRefused;
        }
    }
    return ReadOutcome::Complete;
}

bool UploadEverything(CommandLayer &commands, BulkEditor &editor)
{
    for (const BulkEditor::TableSlot &slot : editor.AllTableSlots()) {
        if (!Upload(commands, editor, slot.block, slot.selector, slot.address, *slot.value))
            return false;
    }
    for (int c = 0; c < 3; ++c) {
        for (ParamBlock block : LimitBlocks) {
            if (!Upload(commands, editor, block, 0, quint8(c), editor.LimitValue(block, c)))
                return false;
        }
    }
    for (ParamBlock block : SingleSettings) {
        if (!Upload(commands, editor, block, 0, 0, editor.SwitchValue(block)))
            return false;
    }
    return Upload(commands, editor, ParamBlock::InputSource, 0, 0, editor.InputSourceValue());
}

} // namespace

void ReadAllFromDevice(CommandLayer &commands, BulkEditor &editor, UserPrompt &prompt)
{
    if (!commands.IsConnected) {
        prompt.Warn(NotConnectedMessage);
        return;
    }
    ReadOutcome outcome;
    {
        TransferScope scope(commands, editor);
        outcome = ReadEverything(commands, editor);
        // A read that stopped part-way has still changed the tables: show what they hold.
        if (outcome != ReadOutcome::Complete)
            editor.ShowPresetValues();
    }
    if (outcome == ReadOutcome::ValueRefused)
        prompt.Critical(ReadErrorMessage);
}

void UploadAllToDevice(CommandLayer &commands, BulkEditor &editor, UserPrompt &prompt)
{
    if (!commands.IsConnected) {
        prompt.Warn(NotConnectedMessage);
        return;
    }
    TransferScope scope(commands, editor);
    if (UploadEverything(commands, editor) && !editor.StopRequested())
        commands.SendCommand(false, 0, UploadEndOp, 0, 0, 0, 0, false);
}
