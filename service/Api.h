#pragma once

#include "Accounts.h"
#include "ChangeCore.h"
#include "EventStream.h"
#include "LoginThrottle.h"
#include "PasswordCheck.h"
#include "ServiceConfig.h"

#include <QAbstractHttpServer>
#include <QHttpServerRequest>
#include <QHttpServerResponder>
#include <any>
#include <functional>
#include <QJsonObject>
#include <QPointer>
#include <QTcpSocket>
#include <QTimer>
#include <QUrlQuery>
#include <memory>

class AuditLog;
class ChainApi;
class Incidents;
class Metrics;
class SceneRecall;
class Scheduler;
class Sessions;
class UnitFleet;

// One answer still to give, kept while a unit works on the request. Answering a
// peer that has gone writes nothing.
class PendingAnswer
{
public:
    PendingAnswer(QHttpServerResponder &&responder, QTcpSocket *socket);
    void Json(int status, const QJsonObject &body, const QList<QPair<QByteArray, QByteArray>> &headers = {});
    // An error in English for scripts, with a stable code for a page to word in its language.
    void Error(int status, const QString &text, const QString &code,
               const QList<QPair<QByteArray, QByteArray>> &headers = {})
    {
        Json(status, {{QStringLiteral("error"), text}, {QStringLiteral("code"), code}}, headers);
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
// Every live setting with its values as shown: {"settings": [{"name", "kind", "values": [{"value", "shown"}]}]}.
QJsonObject LiveSettingsJson();
// A query as HTML forms and most clients send it: "+" stands for a space.
QUrlQuery FormQuery(const QHttpServerRequest &request);
// The headers every answer carries.
QList<QPair<QByteArray, QByteArray>> SecurityHeaders();

// The HTTP JSON API under /api/v1 and /metrics. Every route checks the session, then
// hands what a person asks of a unit to the change core, which refuses whatever their
// role may not do before anything is sent.
class Api : public QAbstractHttpServer
{
    Q_OBJECT

public:
    Api(const ServiceConfig &config, Accounts &accounts, Sessions &sessions, AuditLog &audit, UnitFleet &units,
        Metrics &metrics, ChangeCore &core, QObject *parent = nullptr);

    // A head office: the venues' rooms, audit and commands are the chain's to answer.
    void Follow(ChainApi &chain);
    // The scenes and the schedule, for /scenes and /schedule.
    void Attach(SceneRecall &recall, const Scheduler &schedule)
    {
        scenes = &recall;
        scheduler = &schedule;
    }
    // From now on every request is answered 503.
    void ShutDown() { shuttingDown = true; }
    // Requests a unit works on still; their results are audited and answered on arrival.
    bool Waiting() const { return core.Waiting(); }
    // GET /alerts lists these.
    void ShowAlerts(const Incidents &list) { incidents = &list; }

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
    void ListAlerts(Call &call);
    void UnitRoute(Call &call, const QString &unit, const QString &what);
    void GetSettings(Call &call, const Actor &who, const QString &unit);
    void SetSettings(Call &call, const Actor &who, const QString &unit);
    void Backup(Call &call, const Actor &who, const QString &unit);
    void Restore(Call &call, const Actor &who, const QString &unit);
    void Verify(Call &call, const Actor &who, const QString &unit);
    void Repair(Call &call, const Actor &who, const QString &unit);
    void SceneRoute(Call &call);
    const Account *Caller(Call &call);

    // The person who asked, as the core knows them.
    static Actor Person(const Call &call);
    static ChangeCore::Reply Replier(const Answer &answer);
    // Action by actor on unit through the core: a refusal answered as the core words it,
    // an offline or overloaded unit 409, done given the result otherwise.
    void OnUnit(const Answer &answer, const Actor &actor, Action action, const QString &unit, ChangeCore::Work work,
                std::function<void(const Answer &, const std::any &)> done);

    const ServiceConfig &config;
    Accounts &accounts;
    Sessions &sessions;
    AuditLog &audit;
    UnitFleet &units;
    Metrics &metrics;
    ChangeCore &core;
    const Incidents *incidents = nullptr;
    SceneRecall *scenes = nullptr;
    const Scheduler *scheduler = nullptr;
    bool shuttingDown = false;
    ChainApi *chain = nullptr;
    QByteArray unitsAnswer;  // GET /units for a person who may see every unit
    EventStream events;
    LoginThrottle throttle;
    PasswordCheck checks;
    QTimer sessionCheck;
};
