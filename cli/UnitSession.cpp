#include "UnitSession.h"

#include "BulkTransfer.h"
#include "SettingCommand.h"
#include "SnapshotTransfer.h"


UnitSession::UnitSession(const QString &name, const QString &entry, const std::atomic<bool> &stop)
    : unit(entry), stop(stop), prompt(name)
{
    commands.OnProgress = [this](int percent) {
        if (OnProgress)
            OnProgress(percent);
    };
}

bool UnitSession::Failed(const QString &text)
{
    error = prompt.Last().isEmpty() ? text : text + QStringLiteral(" (") + prompt.Last() + QLatin1Char(')');
    commands.IsConnected = false;
    state.port.ClosePort();
    return false;
}

bool UnitSession::Connect()
{
    const int com = ComPortNumber(unit);
    if (com == 0)
        state.port.SetPortList(QStringList{unit});
    QString refusal;
    const QMetaObject::Connection heard = QObject::connect(&state.port, &RS232Port::LineSettingsRefused,
                     [&refusal](const QString &, const QString &answer) { refusal = answer; });
    const bool opened = state.port.OpenPort(QString::number(com == 0 ? 1 : com)) && state.port.ConfigurePort(9600, 8);
    QObject::disconnect(heard);
    if (!refusal.isEmpty()) {
        const QString why = QStringLiteral("the server does not confirm 9600 8N1 and binary both ways; it answered %1").arg(refusal);
        WriteErrorLine(QStringLiteral("quorinctl: %1: %2").arg(unit, why));
        return Failed(why);
    }
    if (!opened)
        return Failed(QStringLiteral("cannot open the port (missing, not allowed, or in use by another program)"));
    const bool answered = commands.SendIdentify();
    commands.IsProbing = false;
    if (!answered)
        return Failed(QStringLiteral("no answer to the identification"));
    model = commands.ReplyBuffer[0];
    if (model != ModelCode)
        return Failed(QStringLiteral("another model answered (code 0x%1)").arg(model, 2, 16, QLatin1Char('0')));
    commands.IsConnected = true;
    return true;
}

bool UnitSession::Read(SettingsSnapshot &settings)
{
    SnapshotBulkEditor editor(settings, &stop);
    commands.ProgressTotal = ReadAllFrameCount;
    ReadAllFromDevice(commands, editor, prompt);
    // A complete read ends with all frames counted; anything short was stopped, lost or refused.
    if (commands.ProgressCount != ReadAllFrameCount || !commands.IsConnected || !prompt.Last().isEmpty())
        return Failed(stop ? QStringLiteral("stopped") : QStringLiteral("the read did not complete"));
    return true;
}

bool UnitSession::Upload(const SettingsSnapshot &settings)
{
    SettingsSnapshot copy = settings;
    SnapshotBulkEditor editor(copy, &stop);
    commands.ProgressTotal = UploadAllFrameCount;
    UploadAllToDevice(commands, editor, prompt);
    if (commands.ProgressCount != UploadAllFrameCount || !commands.IsConnected)
        return Failed(stop ? QStringLiteral("stopped during the upload: the unit now holds a mix of old and new values")
                           : QStringLiteral("the upload did not complete: the unit may hold a mix of old and new values"));
    return true;
}

bool UnitSession::Get(const NamedSetting &setting, quint8 &value)
{
    if (!SendSetting(commands, GetOp, setting.Block(), setting.Selector(), setting.Address(), 0))
        return Failed(QStringLiteral("no answer"));
    value = commands.ReplyBuffer[0];
    return true;
}

bool UnitSession::Set(const NamedSetting &setting, quint8 value)
{
    if (!SendSetting(commands, SetOp, setting.Block(), setting.Selector(), setting.Address(), value))
        return Failed(QStringLiteral("no answer"));
    return true;
}
