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

QString CommandWord(CommandOutcome outcome)
{
    return outcome == CommandOutcome::Done         ? QStringLiteral("ok")
        : outcome == CommandOutcome::NotConfirmed ? QStringLiteral("not-confirmed")
        : outcome == CommandOutcome::NotReadable  ? QStringLiteral("not-readable")
                                                  : QStringLiteral("lost");
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

struct Change
{
    AnySetting setting;
    quint8 value = 0;
};

struct ChangeResult
{
    AnySetting setting;
    CommandOutcome outcome = CommandOutcome::Lost;
    quint8 applied = 0;
    std::optional<quint8> old;
};

struct Transfer
{
    TransferOutcome outcome = TransferOutcome::NotConnected;
    SettingsSnapshot held;
    QList<SettingDifference> differences;
};

} // namespace

void Api::GetSettings(Call &call, const QString &unit)
{
    QList<AnySetting> wanted;
    for (const QString &name : call.request.query().allQueryItemValues(QStringLiteral("name"), QUrl::FullyDecoded)) {
        const AnySetting setting = FindAnySetting(name);
        if (!setting)
            return call.answer->Error(400, QStringLiteral("no setting is named \"%1\"").arg(name));
        if (!setting.Readable())
            return call.answer->Error(400, QStringLiteral("%1 cannot be read back from a unit").arg(setting.Name()));
        wanted.append(setting);
    }
    if (wanted.isEmpty() || wanted.size() > 256)
        return call.answer->Error(400, QStringLiteral("name 1 to 256 settings, as ?name=MIC%20volume"));
    OnUnit(call, unit, [wanted](CommandLayer &commands) {
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
            return answer->Error(409, QStringLiteral("the unit stopped answering"));
        QJsonArray settings;
        for (int i = 0; i < wanted.size(); ++i)
            settings.append(QJsonObject{{QStringLiteral("name"), wanted[i].Name()},
                                        {QStringLiteral("value"), read[i].second},
                                        {QStringLiteral("shown"), wanted[i].Shown(read[i].second)}});
        answer->Json(200, {{QStringLiteral("settings"), settings}});
    });
}

void Api::SetSettings(Call &call, const QString &unit)
{
    const QJsonDocument document = QJsonDocument::fromJson(call.request.body());
    const Answer answer = call.answer;
    ApplyChanges(unit, document.object(), call.account->role, Person(call),
                 [answer](int status, const QJsonObject &body) { answer->Json(status, body); });
}

void Api::ApplyChanges(const QString &unit, const QJsonObject &wanted, Role role, const Who &who, Reply reply)
{
    const auto refuse = [&reply](int status, const QString &text) { reply(status, {{QStringLiteral("error"), text}}); };
    if (role == Role::Viewer)
        return refuse(403, QStringLiteral("a viewer changes nothing"));
    if (wanted.isEmpty())
        return refuse(400, QStringLiteral("a JSON object of settings and values expected"));
    QList<Change> changes;
    for (auto it = wanted.begin(); it != wanted.end(); ++it) {
        const AnySetting setting = FindAnySetting(it.key());
        if (!setting)
            return refuse(400, QStringLiteral("no setting is named \"%1\"").arg(it.key()));
        if (role != Role::Admin && !config.staff.contains(setting.Name()))
            return refuse(403, QStringLiteral("%1 is not for staff to change").arg(setting.Name()));
        const QString text = it.value().isDouble() ? QString::number(it.value().toDouble()) : it.value().toString();
        const std::optional<quint8> value = it.value().isDouble() || it.value().isString() ? setting.Parse(text)
                                                                                           : std::nullopt;
        if (!value)
            return refuse(400, QStringLiteral("\"%1\" is no value of %2").arg(text, setting.Name()));
        changes.append({setting, *value});
    }
    const std::optional<SettingsSnapshot> golden = units.Worker(unit)->Golden();
    RunOnUnit(unit, [changes, golden](CommandLayer &commands) {
        QList<ChangeResult> done;
        for (const Change &change : changes) {
            ChangeResult r;
            r.setting = change.setting;
            quint8 old = 0;
            if (change.setting.Readable() && GetSetting(commands, change.setting, old) == CommandOutcome::Done)
                r.old = old;
            const SetResult set = SetSetting(commands, change.setting, change.value, golden ? &*golden : nullptr);
            r.outcome = set.outcome;
            r.applied = set.applied;
            done.append(r);
            if (set.outcome == CommandOutcome::Lost)
                break;
        }
        return std::any(done);
    }, [this, who, unit, reply](const std::optional<std::any> &result, const QString &whyNot) {
        if (!result)
            return reply(409, {{QStringLiteral("error"), whyNot}});
        QJsonArray results;
        for (const ChangeResult &r : std::any_cast<QList<ChangeResult>>(*result)) {
            if (r.outcome == CommandOutcome::Done)
                units.Worker(unit)->Noted(r.setting.Name(), r.applied);
            QJsonObject entry{{QStringLiteral("setting"), r.setting.Name()},
                              {QStringLiteral("new"), r.applied},
                              {QStringLiteral("shown"), r.setting.Shown(r.applied)},
                              {QStringLiteral("result"), CommandWord(r.outcome)}};
            if (r.old)
                entry.insert(QStringLiteral("old"), *r.old);
            Audited(who, unit, entry);
            results.append(entry);
        }
        reply(200, {{QStringLiteral("results"), results}});
    });
}

void Api::Backup(Call &call, const QString &unit)
{
    if (call.account->role == Role::Staff)
        return call.answer->Error(403, QStringLiteral("backups are for admins and viewers"));
    const std::atomic<bool> *stop = &units.Worker(unit)->Stopping();
    OnUnit(call, unit, [stop](CommandLayer &commands) {
        Transfer t;
        t.outcome = ReadAllFromDevice(commands, t.held, stop).outcome;
        return std::any(t);
    }, [unit](const Answer &answer, const std::any &result) {
        const auto t = std::any_cast<Transfer>(result);
        if (t.outcome != TransferOutcome::Complete)
            return answer->Error(409, QStringLiteral("the read did not complete: %1").arg(OutcomeWord(t.outcome)));
        answer->Bytes(200, SettingsFileBytes(t.held), QByteArrayLiteral("text/plain"),
                      {{"Content-Disposition", "attachment; filename=\"" + unit.toUtf8() + ".txt\""}});
    });
}

void Api::Restore(Call &call, const QString &unit)
{
    if (call.account->role != Role::Admin)
        return call.answer->Error(403, QStringLiteral("a restore is for admins"));
    const SettingsFileRead file = ReadSettingsBytes(call.request.body());
    if (file.outcome == SettingsFileRead::Outcome::Incomplete)
        return call.answer->Error(400, QStringLiteral("not a whole settings file: it lacks %1; nothing was sent")
                                           .arg(QString::fromLatin1(file.missingKey)));
    if (file.outcome != SettingsFileRead::Outcome::Read)
        return call.answer->Error(400, file.outcome == SettingsFileRead::Outcome::WrongModel
                                           ? QStringLiteral("not a settings file of the QSV-416MZ")
                                           : QStringLiteral("not a settings file, or a value is out of range"));
    const std::atomic<bool> *stop = &units.Worker(unit)->Stopping();
    const SettingsSnapshot settings = file.settings;
    const Who who = Person(call);
    OnUnit(call, unit, [settings, stop](CommandLayer &commands) {
        const VerifiedUpload upload = UploadAndVerify(commands, settings, stop);
        Transfer t;
        t.outcome = upload.upload == TransferOutcome::Complete ? upload.read.outcome : upload.upload;
        t.differences = upload.differences;
        return std::any(t);
    }, [this, who, unit](const Answer &answer, const std::any &result) {
        const auto t = std::any_cast<Transfer>(result);
        const QString word = t.outcome != TransferOutcome::Complete ? OutcomeWord(t.outcome)
            : t.differences.isEmpty()                               ? QStringLiteral("ok")
                                                                    : QStringLiteral("differs");
        units.Worker(unit)->Noted(QString(), 0);
        Audited(who, unit, {{QStringLiteral("setting"), QStringLiteral("restore")},
                            {QStringLiteral("result"), word},
                            {QStringLiteral("differences"), int(t.differences.size())}});
        answer->Json(t.outcome == TransferOutcome::Complete ? 200 : 409,
                     {{QStringLiteral("result"), word},
                      {QStringLiteral("differences"), DifferencesJson(t.differences, "sent", "unit")}});
    });
}

void Api::Verify(Call &call, const QString &unit)
{
    if (call.account->role == Role::Staff)
        return call.answer->Error(403, QStringLiteral("verifying is for admins and viewers"));
    const std::optional<SettingsSnapshot> golden = units.Worker(unit)->Golden();
    if (!golden)
        return call.answer->Error(400, QStringLiteral("%1 has no approved settings file (golden=)").arg(unit));
    const std::atomic<bool> *stop = &units.Worker(unit)->Stopping();
    const DriftCheck drift(config.staff);
    OnUnit(call, unit, [stop, golden, drift](CommandLayer &commands) {
        Transfer t;
        t.outcome = ReadAllFromDevice(commands, t.held, stop).outcome;
        t.differences = drift.Differences(*golden, t.held);
        return std::any(t);
    }, [](const Answer &answer, const std::any &result) {
        const auto t = std::any_cast<Transfer>(result);
        if (t.outcome != TransferOutcome::Complete)
            return answer->Error(409, QStringLiteral("the read did not complete: %1").arg(OutcomeWord(t.outcome)));
        answer->Json(200, {{QStringLiteral("differences"), DifferencesJson(t.differences, "approved", "unit")}});
    });
}

// The approved values of the drifted settings written back now, as enforce=true would.
void Api::Repair(Call &call, const QString &unit)
{
    if (call.account->role != Role::Admin)
        return call.answer->Error(403, QStringLiteral("repairing is for admins"));
    const std::optional<SettingsSnapshot> golden = units.Worker(unit)->Golden();
    if (!golden)
        return call.answer->Error(400, QStringLiteral("%1 has no approved settings file (golden=)").arg(unit));
    const std::atomic<bool> *stop = &units.Worker(unit)->Stopping();
    const DriftCheck drift(config.staff);
    const Who who = Person(call);
    OnUnit(call, unit, [stop, golden, drift](CommandLayer &commands) {
        Transfer t;
        t.outcome = ReadAllFromDevice(commands, t.held, stop).outcome;
        t.differences = drift.Differences(*golden, t.held);
        if (t.outcome == TransferOutcome::Complete && !DriftCheck::Enforce(commands, t.differences))
            t.outcome = TransferOutcome::Lost;
        return std::any(t);
    }, [this, who, unit](const Answer &answer, const std::any &result) {
        const auto t = std::any_cast<Transfer>(result);
        if (t.outcome != TransferOutcome::Complete)
            return answer->Error(409, QStringLiteral("the repair did not complete: %1").arg(OutcomeWord(t.outcome)));
        for (const SettingDifference &d : t.differences)
            Audited(who, unit, {{QStringLiteral("setting"), d.setting->Name()},
                                {QStringLiteral("old"), d.second},
                                {QStringLiteral("new"), d.first},
                                {QStringLiteral("result"), QStringLiteral("repaired")}});
        units.Worker(unit)->Noted(QString(), 0);
        answer->Json(200, {{QStringLiteral("repaired"), int(t.differences.size())}});
    });
}
