#include "ChangeCore.h"

#include "AuditLog.h"
#include "CapKeeper.h"
#include "Metrics.h"
#include "ServiceConfig.h"
#include "UnitCommands.h"
#include "UnitFleet.h"

#include <QJsonArray>

namespace {

QString CommandWord(CommandOutcome outcome)
{
    return outcome == CommandOutcome::Done         ? QStringLiteral("ok")
        : outcome == CommandOutcome::NotConfirmed ? QStringLiteral("not-confirmed")
        : outcome == CommandOutcome::NotReadable  ? QStringLiteral("not-readable")
                                                  : QStringLiteral("lost");
}

QJsonObject Error(const QString &text, const QString &code)
{
    return {{QStringLiteral("error"), text}, {QStringLiteral("code"), code}};
}

const QString UnitOffline = QStringLiteral("unit-offline");

struct ChangeResult
{
    AnySetting setting;
    CommandOutcome outcome = CommandOutcome::Lost;
    quint8 applied = 0;
    std::optional<quint8> old;
    bool capped = false;  // the cap in force, not the power-on maximum, held it lower
};

// One change as the unit takes it. SetSetting holds a volume at the power-on maximum;
// a cap in force is the next limit, on what that leaves. A cap's own change only ever
// lowers: a volume turned down since the cap read it stays down.
ChangeResult Send(CommandLayer &commands, const NamedValue &change, const SettingsSnapshot *golden,
                  const std::optional<CapInForce> &cap, bool onlyLower)
{
    ChangeResult r;
    r.setting = change.setting;
    quint8 old = 0;
    if (change.setting.Readable() && GetSetting(commands, change.setting, old) == CommandOutcome::Done)
        r.old = old;
    const int limit = cap ? cap->Limit(change.setting) : -1;
    quint8 value = limit >= 0 ? std::min(change.value, quint8(limit)) : change.value;
    if (onlyLower && r.old)
        value = std::min(value, *r.old);
    const SetResult set = SetSetting(commands, change.setting, value, golden);
    r.outcome = set.outcome;
    r.applied = set.applied;
    r.capped = value < change.value && set.applied == value && !onlyLower;
    return r;
}

} // namespace

QList<NamedValue> NamedValues(const QJsonObject &object)
{
    QList<NamedValue> values;
    for (auto it = object.begin(); it != object.end(); ++it) {
        const bool number = it.value().isDouble();
        NamedValue read = ReadNamedValue(it.key(), number ? QString::number(it.value().toDouble()) : it.value().toString());
        if (read && !number && !it.value().isString())
            read.fault = NamedValue::Fault::NoSuchValue;
        values.append(read);
    }
    return values;
}

ChangeCore::ChangeCore(const ServiceConfig &config, AuditLog &audit, UnitFleet &units, Metrics &metrics, QObject *parent)
    : QObject(parent), config(config), audit(audit), units(units), metrics(metrics)
{
}

bool ChangeCore::Admit(const Actor &actor, Action action, const QString &unit, const Reply &reply) const
{
    if (!unit.isEmpty() && !units.Worker(unit)) {
        reply(404, Error(QStringLiteral("no unit is named \"%1\"").arg(unit), QStringLiteral("no-such-unit")));
        return false;
    }
    if (!unit.isEmpty() && !actor.MaySee(unit)) {
        reply(403, Error(QStringLiteral("%1 is not one of your units").arg(unit), QStringLiteral("not-your-unit")));
        return false;
    }
    if (const std::optional<Refusal> refusal = Forbidden(actor.role, action)) {
        reply(refusal->status, Error(refusal->reason, refusal->code));
        return false;
    }
    return true;
}

void ChangeCore::Change(const Actor &actor, const QString &unit, const QList<NamedValue> &wanted, Reply reply)
{
    if (!Admit(actor, Action::ChangeSetting, unit, reply))
        return;
    if (wanted.isEmpty())
        return reply(400, Error(QStringLiteral("a JSON object of settings and values expected"),
                                QStringLiteral("settings-expected")));
    QStringList names;
    for (const NamedValue &change : wanted) {
        if (change.fault == NamedValue::Fault::NoSuchName)
            return reply(400, Error(QStringLiteral("no setting is named \"%1\"").arg(change.name),
                                    QStringLiteral("no-such-setting")));
        if (const std::optional<Refusal> refusal = ForbiddenSetting(actor.role, change.setting.Name(), config.staff))
            return reply(refusal->status, Error(refusal->reason, refusal->code));
        if (!change)
            return reply(400, Error(QStringLiteral("\"%1\" is no value of %2").arg(change.text, change.setting.Name()),
                                    QStringLiteral("no-such-value")));
        names << change.setting.Name();
    }
    if (Asked(actor, unit, names, reply))
        Apply(actor, unit, wanted, {}, true, std::move(reply));
}

void ChangeCore::Apply(const Actor &actor, const QString &unit, const QList<NamedValue> &wanted, const QJsonObject &tag,
                       bool audited, Reply reply)
{
    const std::optional<SettingsSnapshot> golden = units.Worker(unit)->Golden();
    const std::optional<CapInForce> cap = caps ? caps->InForce(unit) : std::nullopt;
    const bool byCap = actor.kind == Actor::Kind::Cap;
    RunOnUnit(unit, actor, [wanted, golden, cap, byCap](CommandLayer &commands) {
        QList<ChangeResult> done;
        for (const NamedValue &change : wanted) {
            done.append(Send(commands, change, golden ? &*golden : nullptr, cap, byCap));
            if (done.last().outcome == CommandOutcome::Lost)
                break;
        }
        return std::any(done);
    }, [this, actor, unit, tag, audited, reply, cap, byCap](const std::optional<std::any> &result, const WhyNot &whyNot) {
        if (!result)
            return reply(409, whyNot.Json());
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
            if (cap && (byCap || r.capped))
                entry.insert(byCap ? QStringLiteral("cap") : QStringLiteral("capped"), cap->name);
            if (audited) {
                QJsonObject line = entry;
                for (auto it = tag.begin(); it != tag.end(); ++it)
                    line.insert(it.key(), it.value());
                Audited(actor, unit, line);
            }
            results.append(entry);
        }
        reply(200, {{QStringLiteral("results"), results}});
    });
}

void ChangeCore::Act(const Actor &actor, Action action, const QString &unit, Work work, Finish finish,
                     const Reply &refuse)
{
    if (!Admit(actor, action, unit, refuse))
        return;
    if (Changes(action) && !Asked(actor, unit, {ActionName(action)}, refuse))
        return;
    RunOnUnit(unit, actor, std::move(work), std::move(finish));
}

bool ChangeCore::Asked(const Actor &actor, const QString &unit, const QStringList &what, const Reply &reply,
                       const QJsonObject &tag)
{
    QJsonObject entry{{QStringLiteral("user"), actor.name},
                      {QStringLiteral("address"), actor.address},
                      {QStringLiteral("unit"), unit},
                      {QStringLiteral("setting"), what.join(QStringLiteral(", "))},
                      {QStringLiteral("result"), QStringLiteral("asked")}};
    for (auto it = tag.begin(); it != tag.end(); ++it)
        entry.insert(it.key(), it.value());
    if (audit.Append(entry))
        return true;
    reply(503, Error(QStringLiteral("nothing was sent: the audit log cannot be written (%1)").arg(audit.Fault()),
                     QStringLiteral("audit-unwritable")));
    return false;
}

void ChangeCore::Audited(const Actor &actor, const QString &unit, QJsonObject entry)
{
    entry.insert(QStringLiteral("user"), actor.name);
    entry.insert(QStringLiteral("address"), actor.address);
    entry.insert(QStringLiteral("unit"), unit);
    audit.Append(entry);
    emit Changed(unit, entry);
}

void ChangeCore::Recount(const QString &unit)
{
    units.Worker(unit)->Noted(QString(), 0);
}

void ChangeCore::RunOnUnit(const QString &unit, const Actor &actor, Work work, Finish finish)
{
    const UnitState state = units.State(unit);
    if (state.link == UnitState::Link::Offline)
        return finish(std::nullopt, {QStringLiteral("%1 is offline: %2").arg(unit, state.error), UnitOffline});
    const quint64 id = ++lastId;
    waiting.insert(id, finish);
    // The unit's thread sees only the id; whoever waits stays on this thread.
    const bool queued = units.Worker(unit)->Submit([this, id, unit, work](CommandLayer *commands) {
        const std::optional<std::any> result = commands ? std::optional<std::any>(work(*commands)) : std::nullopt;
        QMetaObject::invokeMethod(this, [this, id, unit, result] {
            const Finish finish = waiting.take(id);
            if (!finish)
                return;
            metrics.Command(unit, result ? QStringLiteral("done") : QStringLiteral("offline"));
            finish(result, {QStringLiteral("%1 is offline: %2").arg(unit, units.State(unit).error), UnitOffline});
        }, Qt::QueuedConnection);
    }, actor.name, actor.left);
    if (!queued) {
        waiting.remove(id);
        finish(std::nullopt, {QStringLiteral("%1 is busy: too many requests wait for it").arg(unit),
                              QStringLiteral("unit-busy")});
    }
}
