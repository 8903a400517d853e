#include "Api.h"

#include "AuditLog.h"
#include "BoundedServer.h"
#include "ChainApi.h"
#include "LiveSettings.h"
#include "Metrics.h"
#include "SceneRecall.h"
#include "Sessions.h"
#include "UnitFleet.h"

#include <QDateTime>
#include <QFile>
#include <QHttpServerRequest>
#include <QHttpServerResponder>
#include <QJsonArray>
#include <QJsonDocument>
#include <QTimer>
#include <QUrlQuery>

namespace {

const QByteArray CookieName = QByteArrayLiteral("quorin_session");

QString StateName(UnitState::Link link)
{
    return link == UnitState::Link::Online ? QStringLiteral("online")
        : link == UnitState::Link::Busy    ? QStringLiteral("busy")
                                           : QStringLiteral("offline");
}

// The session's token: from "Authorization: Bearer", or from the cookie a browser sends.
QString Token(const QHttpServerRequest &request, bool *fromCookie)
{
    *fromCookie = false;
    const QByteArray authorization = request.value("Authorization");
    if (authorization.startsWith("Bearer "))
        return QString::fromLatin1(authorization.mid(7).trimmed());
    for (const QByteArray &cookie : request.value("Cookie").split(';')) {
        const QByteArray pair = cookie.trimmed();
        if (pair.startsWith(CookieName + '=')) {
            *fromCookie = true;
            return QString::fromLatin1(pair.mid(CookieName.size() + 1));
        }
    }
    return {};
}

// The page's own files, compiled into the program: nothing is fetched from elsewhere.
const QHash<QString, QByteArray> PageFiles{{QStringLiteral("/"), "text/html; charset=utf-8"},
                                           {QStringLiteral("/app.js"), "text/javascript; charset=utf-8"},
                                           {QStringLiteral("/app.css"), "text/css; charset=utf-8"},
                                           {QStringLiteral("/texts.js"), "text/javascript; charset=utf-8"}};

QJsonValue Known(int value)
{
    return value >= 0 ? QJsonValue(value) : QJsonValue();
}

// A browser names the page that sent a request: only this service's own may log in.
bool SameOrigin(const QHttpServerRequest &request)
{
    const QByteArray origin = request.value("Origin");
    if (origin.isEmpty())
        return true;
    const QUrl url(QString::fromLatin1(origin));
    const QByteArray host = request.value("Host");
    const QString authority = url.host() + (url.port() >= 0 ? QStringLiteral(":%1").arg(url.port()) : QString());
    return !host.isEmpty() && authority.compare(QString::fromLatin1(host), Qt::CaseInsensitive) == 0;
}

} // namespace

// The live settings as far as known, each by its name, and the channels' power-on maxima.
QJsonObject LiveJson(const UnitState &state)
{
    QJsonObject live, maximum;
    for (int c = 0; c < 3; ++c) {
        live.insert(AllLiveSettings()[c].Name(), Known(state.volume[c]));
        maximum.insert(AllLiveSettings()[c].Name(), Known(state.maximum[c]));
    }
    live.insert(QStringLiteral("mute"), Known(state.mute));
    live.insert(QStringLiteral("key"), Known(state.key));
    live.insert(QStringLiteral("program"), Known(state.program));
    live.insert(QStringLiteral("maximum"), maximum);
    return live;
}

namespace {

bool FromThisMachine(const QHostAddress &address)
{
    return address.isLoopback() || address.toIPv4Address() == QHostAddress(QHostAddress::LocalHost).toIPv4Address();
}

} // namespace

QUrlQuery FormQuery(const QHttpServerRequest &request)
{
    return QUrlQuery(request.url().query(QUrl::FullyEncoded).replace(QLatin1Char('+'), QStringLiteral("%20")));
}

// Sent with every answer: no script or style but the page's own, no framing, no sniffing.
QList<QPair<QByteArray, QByteArray>> SecurityHeaders()
{
    return {{"Cache-Control", "no-store"},
            {"X-Content-Type-Options", "nosniff"},
            {"X-Frame-Options", "DENY"},
            {"Referrer-Policy", "no-referrer"},
            {"Content-Security-Policy", "default-src 'self'; script-src 'self'; style-src 'self'; img-src 'self' data:; "
                                        "connect-src 'self'; frame-ancestors 'none'; base-uri 'none'; form-action 'self'"}};
}

PendingAnswer::PendingAnswer(QHttpServerResponder &&responder, QTcpSocket *socket)
    : responder(std::move(responder)), socket(socket)
{
}

void PendingAnswer::Json(int status, const QJsonObject &body, const QList<QPair<QByteArray, QByteArray>> &headers)
{
    Bytes(status, QJsonDocument(body).toJson(QJsonDocument::Compact), QByteArrayLiteral("application/json"), headers);
}

void PendingAnswer::Bytes(int status, const QByteArray &body, const QByteArray &type,
                          const QList<QPair<QByteArray, QByteArray>> &headers)
{
    if (answered || !socket || socket->state() != QAbstractSocket::ConnectedState)
        return;
    answered = true;
    responder.writeStatusLine(static_cast<QHttpServerResponder::StatusCode>(status));
    responder.writeHeader("Content-Type", type);
    responder.writeHeader("Content-Length", QByteArray::number(body.size()));
    for (const auto &[name, value] : SecurityHeaders())
        responder.writeHeader(name, value);
    for (const auto &[name, value] : headers)
        responder.writeHeader(name, value);
    responder.writeBody(body);
}

Api::Api(const ServiceConfig &config, Accounts &accounts, Sessions &sessions, AuditLog &audit, UnitFleet &units,
         Metrics &metrics, ChangeCore &core, QObject *parent)
    : QAbstractHttpServer(parent), config(config), accounts(accounts), sessions(sessions), audit(audit), units(units),
      metrics(metrics), core(core)
{
    connect(&units, &UnitFleet::StateChanged, this, [this](const QString &name, const UnitState &state) {
        unitsAnswer.clear();
        events.Send(name, UnitJson(name, state));
    });
    // Account changes and expiry end sessions and their event streams even while nobody asks.
    sessionCheck.setInterval(1000);
    connect(&sessionCheck, &QTimer::timeout, this, &Api::CheckSessions);
    sessionCheck.start();
}

void Api::Follow(ChainApi &followed)
{
    chain = &followed;
    connect(chain, &ChainApi::UnitChanged, this, [this](const QString &id, const QJsonObject &unit) { events.Send(id, unit); });
}

void Api::CheckSessions()
{
    for (const QString &user : accounts.Refresh(config.accounts))
        sessions.CloseAllOf(user);
    events.Prune([this](const QString &token) { return sessions.Alive(token); });
    sessions.Flush();
}

bool Api::handleRequest(const QHttpServerRequest &request, QTcpSocket *socket)
{
    Call call{request, socket, std::make_shared<PendingAnswer>(makeResponder(request, socket), socket), {}, nullptr, {}};
    for (const QString &segment : request.url().path(QUrl::FullyEncoded).split(QLatin1Char('/'), Qt::SkipEmptyParts))
        call.path << QUrl::fromPercentEncoding(segment.toUtf8());
    for (const QString &user : accounts.Refresh(config.accounts))
        sessions.CloseAllOf(user);
    if (shuttingDown)
        call.answer->Error(503, QStringLiteral("the service is shutting down"), QStringLiteral("shutting-down"));
    else if (request.body().size() > BoundedServer::MostBodyBytes)
        call.answer->Error(413, QStringLiteral("body over 1 MB"), QStringLiteral("body-too-large"));
    else
        Route(call);
    return true;
}

void Api::missingHandler(const QHttpServerRequest &, QTcpSocket *)
{
}

void Api::Route(Call &call)
{
    const QStringList &p = call.path;
    using M = QHttpServerRequest::Method;
    if (p == QStringList{QStringLiteral("metrics")} && call.Is(M::Get)) {
        if (!config.metricsFromAnywhere && !FromThisMachine(call.request.remoteAddress()))
            return call.answer->Error(403, QStringLiteral("metrics are for this machine only"),
                                      QStringLiteral("metrics-local-only"));
        return call.answer->Bytes(200, metrics.Text(audit.Failures()), QByteArrayLiteral("text/plain; version=0.0.4"));
    }
    const QString path = call.request.url().path();
    if (PageFiles.contains(path) && call.Is(M::Get)) {
        QFile file(QStringLiteral(":/page") + (path == QLatin1String("/") ? QStringLiteral("/index.html") : path));
        file.open(QIODevice::ReadOnly);
        return call.answer->Bytes(200, file.readAll(), PageFiles.value(path));
    }
    if (p.size() < 3 || p[0] != QLatin1String("api") || p[1] != QLatin1String("v1"))
        return call.answer->Error(404, QStringLiteral("no such route"), QStringLiteral("no-such-route"));
    const QString what = p[2];
    if (what == QLatin1String("login") && p.size() == 3)
        return call.Is(M::Post) ? Login(call) : call.answer->Error(405, QStringLiteral("POST only"),
                                                                   QStringLiteral("method-not-allowed"));
    if (!Caller(call))
        return;
    if (what == QLatin1String("logout") && p.size() == 3)
        return call.Is(M::Post) ? Logout(call) : call.answer->Error(405, QStringLiteral("POST only"),
                                                                    QStringLiteral("method-not-allowed"));
    if (what == QLatin1String("session") && p.size() == 3)
        return call.Is(M::Get) ? Session(call) : call.answer->Error(405, QStringLiteral("GET only"),
                                                                    QStringLiteral("method-not-allowed"));
    if (what == QLatin1String("events") && p.size() == 3)
        return call.Is(M::Get) ? events.Add(call.socket, *call.account, call.token, this)
                               : call.answer->Error(405, QStringLiteral("GET only"),
                                                    QStringLiteral("method-not-allowed"));
    if (chain && chain->Route(call.request, p.mid(2), *call.account, call.answer))
        return;
    if (what == QLatin1String("units") && p.size() == 3)
        return call.Is(M::Get) ? ListUnits(call) : call.answer->Error(405, QStringLiteral("GET only"),
                                                                      QStringLiteral("method-not-allowed"));
    if (what == QLatin1String("units") && p.size() == 5)
        return UnitRoute(call, p[3], p[4]);
    if (what == QLatin1String("live-settings") && p.size() == 3)
        return call.Is(M::Get) ? call.answer->Json(200, LiveSettingsJson())
                               : call.answer->Error(405, QStringLiteral("GET only"), QStringLiteral("method-not-allowed"));
    if (what == QLatin1String("scenes") || what == QLatin1String("schedule"))
        return SceneRoute(call);
    if (what == QLatin1String("audit") && p.size() == 3)
        return call.Is(M::Get) ? Audit(call) : call.answer->Error(405, QStringLiteral("GET only"),
                                                                  QStringLiteral("method-not-allowed"));
    if (what == QLatin1String("alerts") && p.size() == 3)
        return call.Is(M::Get) ? ListAlerts(call) : call.answer->Error(405, QStringLiteral("GET only"),
                                                                       QStringLiteral("method-not-allowed"));
    call.answer->Error(404, QStringLiteral("no such route"), QStringLiteral("no-such-route"));
}

const Account *Api::Caller(Call &call)
{
    bool fromCookie = false;
    call.token = Token(call.request, &fromCookie);
    const Sessions::Session *session = call.token.isEmpty() ? nullptr : sessions.Resolve(call.token);
    call.account = session ? accounts.Find(session->user) : nullptr;
    if (call.account && call.account->Stamp() != session->stamp) {
        sessions.Close(call.token);
        call.account = nullptr;
    }
    if (!call.account) {
        call.answer->Error(401, QStringLiteral("log in first"), QStringLiteral("login-needed"));
        return nullptr;
    }
    // A browser sends the cookie for any page that asks it to; the page of this service
    // alone knows the session's CSRF token.
    if (fromCookie && !call.Is(QHttpServerRequest::Method::Get)
        && call.request.value("X-Quorin-CSRF") != sessions.Csrf(call.token).toLatin1()) {
        call.answer->Error(403, QStringLiteral("a change needs the page's CSRF token"), QStringLiteral("csrf-missing"));
        return nullptr;
    }
    return call.account;
}

void Api::Session(Call &call)
{
    call.answer->Json(200, {{QStringLiteral("user"), call.account->name},
                            {QStringLiteral("role"), RoleName(call.account->role)},
                            {QStringLiteral("csrf"), sessions.Csrf(call.token)},
                            // A head office sends only its admins' commands, to the venues.
                            {QStringLiteral("staff"), chain ? QJsonArray() : QJsonArray::fromStringList(config.staff)},
                            {QStringLiteral("chain"), chain != nullptr}});
}

void Api::Login(Call &call)
{
    if (!call.request.value("Content-Type").startsWith("application/json"))
        return call.answer->Error(415, QStringLiteral("a login is a JSON object"), QStringLiteral("login-not-json"));
    if (!SameOrigin(call.request))
        return call.answer->Error(403, QStringLiteral("a login comes from this service's own page"),
                                  QStringLiteral("foreign-origin"));
    const QJsonObject body = QJsonDocument::fromJson(call.request.body()).object();
    const QString user = body[QStringLiteral("user")].toString();
    const QString password = body[QStringLiteral("password")].toString();
    if (user.isEmpty() || password.isEmpty() || user.size() > 64 || password.size() > 1024)
        return call.answer->Error(400, QStringLiteral("user and password expected"),
                                  QStringLiteral("login-incomplete"));
    const QHostAddress from = call.request.remoteAddress();
    const Account *known = accounts.Find(user);
    // Names that no account has share one count, so that the slowing tells nothing either.
    const QString counted = known ? user : QStringLiteral("\n");
    const qint64 wait = throttle.Admit(from, counted, QDateTime::currentMSecsSinceEpoch());
    if (wait > 0)
        return call.answer->Error(429, QStringLiteral("too many tries: wait %1 s").arg((wait + 999) / 1000),
                                  QStringLiteral("too-many-tries"),
                                  {{"Retry-After", QByteArray::number((wait + 999) / 1000)}});
    const Answer answer = call.answer;
    const bool secure = !config.tlsCertificate.isEmpty();
    const std::optional<Account> account = known ? std::optional<Account>(*known) : std::nullopt;
    const bool started = checks.Start(account, password, [this, answer, account, from, counted, secure](bool right) {
        const Account *now = account ? accounts.Find(account->name) : nullptr;
        if (!right || !now || now->Stamp() != account->Stamp())
            return answer->Error(401, QStringLiteral("wrong user or password"), QStringLiteral("wrong-login"));
        throttle.Succeeded(from, counted);
        const QString token = sessions.Open(now->name, now->Stamp());
        QByteArray cookie = CookieName + '=' + token.toLatin1() + "; Path=/; HttpOnly; SameSite=Strict";
        if (secure)
            cookie += "; Secure";
        answer->Json(200, {{QStringLiteral("token"), token}, {QStringLiteral("user"), now->name},
                           {QStringLiteral("role"), RoleName(now->role)}, {QStringLiteral("csrf"), sessions.Csrf(token)}},
                     {{"Set-Cookie", cookie}});
    });
    if (!started)
        call.answer->Error(503, QStringLiteral("too many logins at once: try again"),
                           QStringLiteral("login-busy"), {{"Retry-After", "1"}});
}

void Api::Logout(Call &call)
{
    sessions.Close(call.token);
    events.Prune([this](const QString &token) { return sessions.Alive(token); });
    call.answer->Json(200, {{QStringLiteral("result"), QStringLiteral("ok")}},
                      {{"Set-Cookie", CookieName + "=; Path=/; HttpOnly; SameSite=Strict; Max-Age=0"}});
}

void Api::ListUnits(Call &call)
{
    // Asked often by every open page: the whole list is kept until a unit changes.
    const bool everyUnit = call.account->units.isEmpty();
    if (everyUnit && !unitsAnswer.isEmpty())
        return call.answer->Bytes(200, unitsAnswer, QByteArrayLiteral("application/json"));
    QJsonArray list;
    for (const QString &name : units.Names())
        if (call.account->MaySee(name))
            list.append(UnitJson(name, units.State(name)));
    const QByteArray answer = QJsonDocument(QJsonObject{{QStringLiteral("units"), list}}).toJson(QJsonDocument::Compact);
    if (everyUnit)
        unitsAnswer = answer;
    call.answer->Bytes(200, answer, QByteArrayLiteral("application/json"));
}

QJsonObject Api::UnitJson(const QString &name, const UnitState &state) const
{
    return {{QStringLiteral("name"), name},
            {QStringLiteral("port"), units.Worker(name)->Config().port},
            {QStringLiteral("state"), StateName(state.link)},
            {QStringLiteral("since"), state.since.toString(Qt::ISODate)},
            {QStringLiteral("drift"), Known(state.drift)},
            {QStringLiteral("model"), Known(state.model)},
            {QStringLiteral("error"), state.error.isEmpty() ? QJsonValue() : QJsonValue(state.error)},
            {QStringLiteral("golden"), units.Worker(name)->Golden().has_value()},
            {QStringLiteral("live"), LiveJson(state)},
            {QStringLiteral("cap"), CapJson(state.cap)},
            {QStringLiteral("scene"), SceneJson(state)}};
}

void Api::Audit(Call &call)
{
    if (!core.Admit(Person(call), Action::Audit, QString(), Replier(call.answer)))
        return;
    const QUrlQuery query = FormQuery(call.request);
    const int limit = std::clamp(query.queryItemValue(QStringLiteral("limit")).toInt(), 1, 1000);
    const std::optional<QList<QJsonObject>> recent = audit.Recent(
        query.hasQueryItem(QStringLiteral("limit")) ? limit : 200, query.queryItemValue(QStringLiteral("unit")),
        query.queryItemValue(QStringLiteral("user")));
    if (!recent)
        return call.answer->Error(503, QStringLiteral("the audit log is not a regular file that can be read"),
                                  QStringLiteral("audit-unreadable"));
    QJsonArray entries;
    for (const QJsonObject &entry : *recent)
        entries.append(entry);
    call.answer->Json(200, {{QStringLiteral("entries"), entries}});
}

void Api::UnitRoute(Call &call, const QString &unit, const QString &what)
{
    using M = QHttpServerRequest::Method;
    const Actor who = Person(call);
    if (!core.Admit(who, Action::ReadState, unit, Replier(call.answer)))
        return;
    if (what == QLatin1String("settings") && call.Is(M::Get))
        return GetSettings(call, who, unit);
    if (what == QLatin1String("settings") && call.Is(M::Post))
        return SetSettings(call, who, unit);
    if (what == QLatin1String("backup") && call.Is(M::Get))
        return Backup(call, who, unit);
    if (what == QLatin1String("restore") && call.Is(M::Post))
        return Restore(call, who, unit);
    if (what == QLatin1String("verify") && call.Is(M::Get))
        return Verify(call, who, unit);
    if (what == QLatin1String("repair") && call.Is(M::Post))
        return Repair(call, who, unit);
    call.answer->Error(404, QStringLiteral("no such route"), QStringLiteral("no-such-route"));
}

Actor Api::Person(const Call &call)
{
    auto left = std::make_shared<std::atomic<bool>>(false);
    connect(call.socket, &QTcpSocket::disconnected, call.socket, [left] { *left = true; });
    return {Actor::Kind::Person, call.account->name, call.request.remoteAddress().toString(), call.account->role,
            call.account->units, left};
}

ChangeCore::Reply Api::Replier(const Answer &answer)
{
    return [answer](int status, const QJsonObject &body) { answer->Json(status, body); };
}

void Api::OnUnit(const Answer &answer, const Actor &actor, Action action, const QString &unit, ChangeCore::Work work,
                 std::function<void(const Answer &, const std::any &)> done)
{
    core.Act(actor, action, unit, std::move(work),
             [answer, done](const std::optional<std::any> &result, const ChangeCore::WhyNot &whyNot) {
        if (!result)
            return answer->Json(409, whyNot.Json());
        done(answer, *result);
    }, Replier(answer));
}
