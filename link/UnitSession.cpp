#include "UnitSession.h"


UnitSession::UnitSession(const QString &entry, const std::atomic<bool> &stop) : entry(entry), stop(stop)
{
    commands.OnProgress = [this](int percent) {
        if (OnProgress)
            OnProgress(percent);
    };
}

OpenResult UnitSession::Connect()
{
    const int com = ComPortNumber(entry);
    if (com == 0)
        state.port.SetPortList(QStringList{entry});
    const OpenResult opened = OpenAndIdentify(state, commands, QString::number(com == 0 ? 1 : com));
    if (opened.outcome == OpenOutcome::Identified)
        commands.IsConnected = true;
    else
        state.port.ClosePort();
    return opened;
}

// A transfer that did not complete leaves the link closed: what the unit holds is no longer known.
template <typename Outcome>
Outcome UnitSession::Ended(Outcome outcome)
{
    if (outcome != TransferOutcome::Complete) {
        commands.IsConnected = false;
        state.port.ClosePort();
    }
    return outcome;
}

ReadResult UnitSession::Read(SettingsSnapshot &settings)
{
    const ReadResult read = ::ReadAllFromDevice(commands, settings, &stop);
    Ended(read.outcome);
    return read;
}

TransferOutcome UnitSession::Upload(const SettingsSnapshot &settings)
{
    return Ended(::UploadAllToDevice(commands, settings, &stop));
}

VerifiedUpload UnitSession::UploadAndVerify(const SettingsSnapshot &settings)
{
    const VerifiedUpload upload = ::UploadAndVerify(commands, settings, &stop);
    Ended(upload.upload == TransferOutcome::Complete ? upload.read.outcome : upload.upload);
    return upload;
}

CommandOutcome UnitSession::Get(const AnySetting &setting, quint8 &value)
{
    return GetSetting(commands, setting, value);
}

SetResult UnitSession::Set(const AnySetting &setting, quint8 value, const SettingsSnapshot *memories)
{
    return SetSetting(commands, setting, value, memories);
}
