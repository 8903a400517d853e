#include "BulkTransfer.h"

#include "CommandLayer.h"
#include "SettingCommand.h"

namespace {

// Progress counting for the length of one transfer.
class TransferScope
{
public:
    TransferScope(CommandLayer &commands, int frames) : commands(commands)
    {
        commands.ProgressTotal = frames;
        commands.ProgressCount = 0;
        commands.ProgressOn = true;
    }
    ~TransferScope() { commands.ProgressOn = false; }

private:
    CommandLayer &commands;
};

bool StopAsked(const std::atomic<bool> *stop)
{
    return stop && *stop;
}

} // namespace

ReadResult ReadAllFromDevice(CommandLayer &commands, SettingsSnapshot &settings, const std::atomic<bool> *stop)
{
    if (!commands.IsConnected)
        return {};
    TransferScope scope(commands, ReadAllFrameCount);
    int taken = 0;
    for (const NamedSetting *setting : ReadOrder()) {
        if (StopAsked(stop))
            return {TransferOutcome::Stopped, nullptr, 0, taken};
        if (!SendSetting(commands, GetOp, setting->Block(), setting->Selector(), setting->Address(), 0))
            return {TransferOutcome::Lost, nullptr, 0, taken};
        const quint8 answer = commands.ReplyBuffer[0];
        if (!setting->Takes(answer))
            return {TransferOutcome::Refused, setting, answer, taken};
        setting->SetValue(settings, answer);
        ++taken;
    }
    return {TransferOutcome::Complete, nullptr, 0, taken};
}

TransferOutcome UploadAllToDevice(CommandLayer &commands, const SettingsSnapshot &settings,
                                  const std::atomic<bool> *stop)
{
    if (!commands.IsConnected)
        return TransferOutcome::NotConnected;
    TransferScope scope(commands, UploadAllFrameCount);
    for (const NamedSetting *setting : UploadOrder()) {
        if (StopAsked(stop))
            return TransferOutcome::Stopped;
        // Switching mute off makes the unit pause before it answers; SendSetting allows for it.
        if (!SendSetting(commands, UploadOp, setting->Block(), setting->Selector(), setting->Address(),
                         setting->Value(settings)))
            return TransferOutcome::Lost;
    }
    if (StopAsked(stop))
        return TransferOutcome::Stopped;
    // Its answer is not looked at: the values are all in by now.
    commands.SendCommand(false, 0, UploadEndOp, 0, 0, 0, 0, false);
    return TransferOutcome::Complete;
}

VerifiedUpload UploadAndVerify(CommandLayer &commands, const SettingsSnapshot &settings,
                               const std::atomic<bool> *stop)
{
    VerifiedUpload result;
    result.upload = UploadAllToDevice(commands, settings, stop);
    if (result.upload != TransferOutcome::Complete)
        return result;
    result.read = ReadAllFromDevice(commands, result.held, stop);
    if (result.Complete())
        result.differences = CompareSettings(settings, result.held);
    return result;
}
