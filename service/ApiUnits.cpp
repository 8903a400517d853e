// The routes under /api/v1/units/NAME: settings by name, backup, restore, verify.

#include "Api.h"

#include "BulkTransfer.h"
#include "Drift.h"
#include "SettingsFile.h"
#include "UnitCommands.h"
#include "UnitFleet.h"

#include <QFile>
#include <QHttpServerRequest>
#include <QJsonArray>
#include <QJsonDocument>
#include <QTemporaryDir>
#include <QUrlQuery>

namespace {

QJsonObject Shown(const AnySetting &setting, quint8 raw)
{
    return {{QStringLiteral("raw"), raw}, {QStringLiteral("shown"), setting.Shown(raw)}};
}

QJsonArray DifferencesJson(const QList<SettingDifference> &differences, const char *first, const char *second)
{
    QJsonArray list;
    for (const SettingDifference &d : differences) {
        const AnySetting setting{d.setting, nullptr};
        list.append(QJsonObject{{QStringLiteral("setting"), d.setting->Name()},
                                {QLatin1String(first), Shown(setting, d.first)},
                                {QLatin1String(second), Shown(setting, d.second)}});
    }
    return list;
}

QString OutcomeWord(TransferOutcome outcome)
{
    switch (outcome) {
    case TransferOutcome::Complete:
        return QStringLiteral("complete");
    case TransferOutcome::NotConnected:
        return QStringLiteral("offline");
    case TransferOutcome::Stopped:
        return QStringLiteral("stopped");
    case TransferOutcome::Lost:
        return QStringLiteral("lost");
    case TransferOutcome::Refused:
        break;
    }
    return QStringLiteral("refused-value");
}

// A settings file's bytes as the tool's backup writes them, and back.
QByteArray SettingsFileBytes(const SettingsSnapshot &settings)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("unit.txt"));
    QFile file(path);
    return WriteSettingsFile(path, settings, false) && file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

SettingsFileRead ReadSettingsBytes(const QByteArray &bytes)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("upload.txt"));
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size())
        return {};
    file.close();
    return ReadSettingsFile(path);
}

struct Transfer
{
    TransferOutcome outcome = TransferOutcome::NotConnected;
    SettingsSnapshot held;
    QList<SettingDifference> differences;

    // What the unit holds, when the transfer read it all.
    std::optional<SettingsSnapshot> Held() const
    {
        return outcome == TransferOutcome::Complete ? std::optional(held) : std::nullopt;
    }
};

} // namespace

void Api::GetSettings(Call &call, const Actor &who, const QString &unit)
{
    QList<AnySetting> wanted;
    for (const QString &name : FormQuery(call.request).allQueryItemValues(QStringLiteral("name"), QUrl::FullyDecoded)) {
        const AnySetting setting = FindAnySetting(name);
        if (!setting)
            return call.answer->Error(400, QStringLiteral("no setting is named \"%1\"").arg(name),
                                      QStringLiteral("no-such-setting"));
        if (!setting.Readable())
            return call.answer->Error(400, QStringLiteral("%1 cannot be read back from a unit").arg(setting.Name()),
                                      QStringLiteral("setting-unreadable"));
        wanted.append(setting);
    }
    if (wanted.isEmpty() || wanted.size() > 256)
        return call.answer->Error(400, QStringLiteral("name 1 to 256 settings, as ?name=MIC%20volume"),
                                  QStringLiteral("settings-count"));
    OnUnit(call.answer, who, Action::ReadSettings, unit, [wanted](CommandLayer &commands) {
        QList<std::pair<CommandOutcome, quint8>> read;
        for (const AnySetting &setting : wanted) {
            quint8 value = 0;
            read.append({GetSetting(commands, setting, value), value});
            if (read.last().first == CommandOutcome::Lost)
                break;
        }
        return std::any(read);
    }, [wanted](const Answer &answer, const std::any &result) {
        const auto read = std::any_cast<QList<std::pair<CommandOutcome, quint8>>>(result);
        if (read.size() < wanted.size() || read.last().first != CommandOutcome::Done)
            return answer->Error(409, QStringLiteral("the unit stopped answering"),
                                 QStringLiteral("unit-stopped-answering"));
        QJsonArray settings;
        for (int i = 0; i < wanted.size(); ++i)
            settings.append(QJsonObject{{QStringLiteral("name"), wanted[i].Name()},
                                        {QStringLiteral("value"), read[i].second},
                                        {QStringLiteral("shown"), wanted[i].Shown(read[i].second)}});
        answer->Json(200, {{QStringLiteral("settings"), settings}});
    });
}

void Api::SetSettings(Call &call, const Actor &who, const QString &unit)
{
    core.Change(who, unit, NamedValues(QJsonDocument::fromJson(call.request.body()).object()), Replier(call.answer));
}

void Api::Backup(Call &call, const Actor &who, const QString &unit)
{
    const std::atomic<bool> *stop = &units.Worker(unit)->Stopping();
    OnUnit(call.answer, who, Action::Backup, unit, [stop](CommandLayer &commands) {
        Transfer t;
        t.outcome = ReadAllFromDevice(commands, t.held, stop).outcome;
        return std::any(t);
    }, [unit](const Answer &answer, const std::any &result) {
        const auto t = std::any_cast<Transfer>(result);
        if (t.outcome != TransferOutcome::Complete)
            return answer->Error(409, QStringLiteral("the read did not complete: %1").arg(OutcomeWord(t.outcome)),
                                 QStringLiteral("read-incomplete"));
        answer->Bytes(200, SettingsFileBytes(t.held), QByteArrayLiteral("text/plain"),
                      {{"Content-Disposition", "attachment; filename=\"" + unit.toUtf8() + ".txt\""}});
    });
}

void Api::Restore(Call &call, const Actor &who, const QString &unit)
{
    if (!core.Admit(who, Action::Restore, unit, Replier(call.answer)))
        return;
    const SettingsFileRead file = ReadSettingsBytes(call.request.body());
    if (file.outcome == SettingsFileRead::Outcome::Incomplete)
        return call.answer->Error(400, QStringLiteral("not a whole settings file: it lacks %1; nothing was sent")
                                           .arg(QString::fromLatin1(file.missingKey)),
                                  QStringLiteral("file-incomplete"));
    if (file.outcome == SettingsFileRead::Outcome::WrongModel)
        return call.answer->Error(400, QStringLiteral("not a settings file of the QSV-416MZ"),
                                  QStringLiteral("file-wrong-model"));
    if (file.outcome != SettingsFileRead::Outcome::Read)
        return call.answer->Error(400, QStringLiteral("not a settings file, or a value is out of range"),
                                  QStringLiteral("not-a-settings-file"));
    const std::atomic<bool> *stop = &units.Worker(unit)->Stopping();
    const SettingsSnapshot settings = file.settings;
    UnitWorker *worker = units.Worker(unit);
    OnUnit(call.answer, who, Action::Restore, unit, [settings, stop, worker](CommandLayer &commands) {
        const VerifiedUpload upload = UploadAndVerify(commands, settings, stop);
        Transfer t;
        t.outcome = upload.upload == TransferOutcome::Complete ? upload.read.outcome : upload.upload;
        t.held = upload.held;
        t.differences = upload.differences;
        worker->Held(t.Held());
        return std::any(t);
    }, [this, who, unit](const Answer &answer, const std::any &result) {
        const auto t = std::any_cast<Transfer>(result);
        const QString word = t.outcome != TransferOutcome::Complete ? OutcomeWord(t.outcome)
            : t.differences.isEmpty()                               ? QStringLiteral("ok")
                                                                    : QStringLiteral("differs");
        core.Recount(unit);
        core.Audited(who, unit, {{QStringLiteral("setting"), QStringLiteral("restore")},
                                 {QStringLiteral("result"), word},
                                 {QStringLiteral("differences"), int(t.differences.size())}});
        QJsonObject body{{QStringLiteral("result"), word},
                         {QStringLiteral("differences"), DifferencesJson(t.differences, "sent", "unit")}};
        if (t.outcome != TransferOutcome::Complete) {
            body.insert(QStringLiteral("error"), QStringLiteral("the restore did not complete: %1").arg(word));
            body.insert(QStringLiteral("code"), QStringLiteral("restore-incomplete"));
        }
        answer->Json(t.outcome == TransferOutcome::Complete ? 200 : 409, body);
    });
}

void Api::Verify(Call &call, const Actor &who, const QString &unit)
{
    if (!core.Admit(who, Action::Verify, unit, Replier(call.answer)))
        return;
    const std::optional<SettingsSnapshot> golden = units.Worker(unit)->Golden();
    if (!golden)
        return call.answer->Error(400, QStringLiteral("%1 has no approved settings file (golden=)").arg(unit),
                                  QStringLiteral("no-approved-file"));
    const std::atomic<bool> *stop = &units.Worker(unit)->Stopping();
    const DriftCheck drift(config.staff);
    UnitWorker *worker = units.Worker(unit);
    OnUnit(call.answer, who, Action::Verify, unit, [stop, golden, drift, worker](CommandLayer &commands) {
        Transfer t;
        t.outcome = ReadAllFromDevice(commands, t.held, stop).outcome;
        t.differences = drift.Differences(*golden, t.held);
        if (t.outcome == TransferOutcome::Complete)
            worker->Held(t.held);
        return std::any(t);
    }, [](const Answer &answer, const std::any &result) {
        const auto t = std::any_cast<Transfer>(result);
        if (t.outcome != TransferOutcome::Complete)
            return answer->Error(409, QStringLiteral("the read did not complete: %1").arg(OutcomeWord(t.outcome)),
                                 QStringLiteral("read-incomplete"));
        answer->Json(200, {{QStringLiteral("differences"), DifferencesJson(t.differences, "approved", "unit")}});
    });
}

// The approved values of the drifted settings written back now, as enforce=true would.
void Api::Repair(Call &call, const Actor &who, const QString &unit)
{
    if (!core.Admit(who, Action::Repair, unit, Replier(call.answer)))
        return;
    const std::optional<SettingsSnapshot> golden = units.Worker(unit)->Golden();
    if (!golden)
        return call.answer->Error(400, QStringLiteral("%1 has no approved settings file (golden=)").arg(unit),
                                  QStringLiteral("no-approved-file"));
    const std::atomic<bool> *stop = &units.Worker(unit)->Stopping();
    const DriftCheck drift(config.staff);
    UnitWorker *worker = units.Worker(unit);
    OnUnit(call.answer, who, Action::Repair, unit, [stop, golden, drift, worker](CommandLayer &commands) {
        Transfer t;
        t.outcome = ReadAllFromDevice(commands, t.held, stop).outcome;
        t.differences = drift.Differences(*golden, t.held);
        if (t.outcome == TransferOutcome::Complete && !DriftCheck::Enforce(commands, t.differences))
            t.outcome = TransferOutcome::Lost;
        DriftCheck::Apply(t.held, t.differences);
        worker->Held(t.Held());
        return std::any(t);
    }, [this, who, unit](const Answer &answer, const std::any &result) {
        const auto t = std::any_cast<Transfer>(result);
        if (t.outcome != TransferOutcome::Complete)
            return answer->Error(409, QStringLiteral("the repair did not complete: %1").arg(OutcomeWord(t.outcome)),
                                 QStringLiteral("repair-incomplete"));
        for (const SettingDifference &d : t.differences)
            core.Audited(who, unit, {{QStringLiteral("setting"), d.setting->Name()},
                                     {QStringLiteral("old"), d.second},
                                     {QStringLiteral("new"), d.first},
                                     {QStringLiteral("result"), QStringLiteral("repaired")}});
        core.Recount(unit);
        answer->Json(200, {{QStringLiteral("repaired"), int(t.differences.size())}});
    });
}
