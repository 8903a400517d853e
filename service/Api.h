#pragma once

#include "Accounts.h"
#include "EventStream.h"
#include "LoginThrottle.h"
#include "PasswordCheck.h"
#include "ServiceConfig.h"

#include <QAbstractHttpServer>
#include <QHttpServerRequest>
#include <QHttpServerResponder>
#include <QHash>
#include <any>
#include <atomic>
#include <functional>
#include <optional>
#include <QJsonObject>
#include <QPointer>
#include <QTcpSocket>
#include <QTimer>
#include <QUrlQuery>
#include <memory>

class AuditLog;
class CommandLayer;
class Metrics;
class Sessions;
class UnitFleet;

// One answer still to give, kept while a unit works on the request. Answering a
// peer that has gone writes nothing.
class PendingAnswer
{
public:
    PendingAnswer(QHttpServerResponder &&responder, QTcpSocket *socket);
    void Json(int status, const QJsonObject &body, const QList<QPair<QByteArray, QByteArray>> &headers = {});
    void Error(int status, const QString &text, const QList<QPair<QByteArray, QByteArray>> &headers = {})
    {
        Json(status, {{QStringLiteral("error"), text}}, headers);
    }
    void Bytes(int status, const QByteArray &body, const QByteArray &type,
               const QList<QPair<QByteArray, QByteArray>> &headers = {});

private:
    QHttpServerResponder responder;
    QPointer<QTcpSocket> socket;
    bool answered = false;
};
using Answer = std::shared_ptr<PendingAnswer>;

struct UnitState;
// A unit's live settings as /units shows them: each by name, null while unknown.
QJsonObject LiveJson(const UnitState &state);
// A query as HTML forms and most clients send it: "+" stands for a space.
QUrlQuery FormQuery(const QHttpServerRequest &request);
// The headers every answer carries.
QList<QPair<QByteArray, QByteArray>> SecurityHeaders();

// The HTTP JSON API under /api/v1 and /metrics. Every route checks the session and
// the role before anything reaches a unit; whatever a person may not do is refused
// here, never sent.
class Api : public QAbstractHttpServer
{
    Q_OBJECT

public:
    Api(const ServiceConfig &config, Accounts &accounts, Sessions &sessions, AuditLog &audit, UnitFleet &units,
        Metrics &metrics, QObject *parent = nullptr);

    // From now on every request is answered 503.
    void ShutDown() { shuttingDown = true; }
    // Requests a unit works on still; their results are audited and answered on arrival.
    bool Waiting() const { return !waiting.isEmpty(); }

    // Who asked, kept for the audit log after the unit has answered.
    struct Who
    {
        QString user;
        QString address;
        // Set when the one who asked has gone: work for them that has not started is dropped.
        std::shared_ptr<std::atomic<bool>> left;
    };
    using Reply = std::function<void(int status, const QJsonObject &body)>;
    // Changes settings of a unit by name with the rights of role, as POST .../settings
    // does: every name, value and right is checked before anything is sent; each change
    // is audited; reply gets the status and the body an HTTP client would.
    void ApplyChanges(const QString &unit, const QJsonObject &wanted, Role role, const Who &who, Reply reply);

signals:
    // A change was sent to a unit and audited: the audit entry.
    void Changed(const QString &unit, const QJsonObject &entry);

protected:
    bool handleRequest(const QHttpServerRequest &request, QTcpSocket *socket) override;
    void missingHandler(const QHttpServerRequest &request, QTcpSocket *socket) override;

private:
    struct Call
    {
        const QHttpServerRequest &request;
        QTcpSocket *socket;
        Answer answer;
        QStringList path;  // the segments, each percent-decoded on its own
        const Account *account = nullptr;
        QString token;

        bool Is(QHttpServerRequest::Method method) const { return request.method() == method; }
    };
    void Route(Call &call);
    void Login(Call &call);
    void CheckSessions();
    void Logout(Call &call);
    void ListUnits(Call &call);
    void Session(Call &call);
    QJsonObject UnitJson(const QString &name, const UnitState &state) const;
    void Audit(Call &call);
    void UnitRoute(Call &call, const QString &unit, const QString &what);
    void GetSettings(Call &call, const QString &unit);
    void SetSettings(Call &call, const QString &unit);
    void Backup(Call &call, const QString &unit);
    void Restore(Call &call, const QString &unit);
    void Verify(Call &call, const QString &unit);
    void Repair(Call &call, const QString &unit);
    const Account *Caller(Call &call);
    bool Reachable(Call &call, const QString &unit);

    static Who Person(const Call &call);
    void Audited(const Who &who, const QString &unit, QJsonObject entry);
    // Writes that who asked to change what on unit before anything is sent; when the log
    // cannot take it, reply gets 503 and nothing may be sent.
    bool Asked(const Who &who, const QString &unit, const QStringList &what, const Reply &reply);
    // Runs work on the unit's thread; finish gets its result here, or nothing and why not
    // (the unit is offline, too many requests wait for it, or who asked has gone). Each
    // person gets a fair share of the unit's queue.
    using Finish = std::function<void(const std::optional<std::any> &result, const QString &whyNot)>;
    void RunOnUnit(const QString &unit, const Who &who, std::function<std::any(CommandLayer &)> work, Finish finish);
    // The same for a request: an offline or overloaded unit is answered 409.
    void OnUnit(Call &call, const QString &unit, std::function<std::any(CommandLayer &)> work,
                std::function<void(const Answer &, const std::any &)> done);

    const ServiceConfig &config;
    Accounts &accounts;
    Sessions &sessions;
    AuditLog &audit;
    UnitFleet &units;
    Metrics &metrics;
    bool shuttingDown = false;
    QHash<quint64, Finish> waiting;
    QByteArray unitsAnswer;  // GET /units for a person who may see every unit
    EventStream events;
    LoginThrottle throttle;
    PasswordCheck checks;
    QTimer sessionCheck;
    quint64 lastAnswer = 0;
};
