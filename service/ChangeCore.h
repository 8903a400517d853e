#pragma once

#include "NamedValue.h"
#include "Rights.h"

#include <QHash>
#include <QJsonObject>
#include <QObject>
#include <any>
#include <functional>
#include <optional>

class AuditLog;
class CapKeeper;
class CommandLayer;
class Metrics;
class UnitFleet;
struct ServiceConfig;

// Every change and every unit action, whichever way it comes in, takes this one path:
// the right checked, what is asked written to the audit log before anything is sent,
// the work queued on the unit, each result audited, noted by the unit's worker and
// announced. The ways in only read their input and word the outcome.
class ChangeCore : public QObject
{
    Q_OBJECT

public:
    ChangeCore(const ServiceConfig &config, AuditLog &audit, UnitFleet &units, Metrics &metrics,
               QObject *parent = nullptr);

    // An outcome as status and body, the same for every way in.
    using Reply = std::function<void(int status, const QJsonObject &body)>;
    using Work = std::function<std::any(CommandLayer &)>;
    // Why work did not run: in English for scripts, and as a stable code for a page.
    struct WhyNot
    {
        QString text;
        QString code;
        operator QString() const { return text; }  // a Finish that takes the text alone fits still
        QJsonObject Json() const { return {{QStringLiteral("error"), text}, {QStringLiteral("code"), code}}; }
    };
    // The work's result, or nothing and why not (the unit is offline, too many requests
    // wait for it, or who asked has gone).
    using Finish = std::function<void(const std::optional<std::any> &result, const WhyNot &whyNot)>;

    // Whether actor may do action on unit (none when unit is empty); reply gets why not.
    // A way in asks first when the refusal must come before its input is read; Change
    // and Act check again all the same.
    bool Admit(const Actor &actor, Action action, const QString &unit, const Reply &reply) const;
    // Sets settings of unit: every name, value and right is checked before anything is
    // sent; reply gets each one's result.
    void Change(const Actor &actor, const QString &unit, const QList<NamedValue> &wanted, Reply reply);
    // What actor asks of unit written to the audit log before anything is sent, with
    // tag's fields; when the log cannot take it, reply gets 503. Change and Act write
    // their own; a way in that admitted a whole (a scene's recall) writes it here.
    bool Asked(const Actor &actor, const QString &unit, const QStringList &what, const Reply &reply,
               const QJsonObject &tag = {});
    // Settings of unit sent as Change sends them, once admitted and asked: each result
    // noted and, when audited, written with tag's fields. The steps of a fade are not
    // audited one by one: whoever runs it audits the whole.
    void Apply(const Actor &actor, const QString &unit, const QList<NamedValue> &wanted, const QJsonObject &tag,
               bool audited, Reply reply);
    // Any other action on unit, admitted first; refuse gets a refusal, finish the rest.
    // Each person gets a fair share of the unit's queue.
    void Act(const Actor &actor, Action action, const QString &unit, Work work, Finish finish, const Reply &refuse);
    // A result of what actor did to unit: written to the audit log and announced.
    void Audited(const Actor &actor, const QString &unit, QJsonObject entry);
    // The unit's live settings read again and its drift counted again, as after a restore.
    void Recount(const QString &unit);

    // From now on every change is held to the cap keeper's caps in force.
    void HoldTo(const CapKeeper *keeper) { caps = keeper; }

    // Work a unit still does: its results are audited and answered on arrival.
    bool Waiting() const { return !waiting.isEmpty(); }

signals:
    // A change was sent to a unit and audited: the audit entry.
    void Changed(const QString &unit, const QJsonObject &entry);

private:
    void RunOnUnit(const QString &unit, const Actor &actor, Work work, Finish finish);

    const ServiceConfig &config;
    AuditLog &audit;
    UnitFleet &units;
    Metrics &metrics;
    const CapKeeper *caps = nullptr;
    QHash<quint64, Finish> waiting;
    quint64 lastId = 0;
};

// The settings and values of a JSON object, each a number or a text.
QList<NamedValue> NamedValues(const QJsonObject &object);
