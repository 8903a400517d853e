#include "ChainApi.h"

#include "AuditLog.h"
#include "LiveSettings.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QUrlQuery>
#include <memory>

namespace {

void Fail(const Answer &answer, int status, const QString &text, const QString &code)
{
    answer->Json(status, {{QStringLiteral("error"), text}, {QStringLiteral("code"), code}});
}

QJsonValue NumberOr(const QJsonValue &value)
{
    return value.isDouble() ? value : QJsonValue();
}

QJsonValue ObjectOr(const QJsonValue &value)
{
    return value.isObject() ? value : QJsonValue();
}

// The live settings as the API shows them, from the venue's state message, which words
// mute, key and program for home automation.
QJsonObject LiveFrom(const QJsonObject &state)
{
    QJsonObject live, maximum;
    for (int c = 0; c < 3; ++c) {
        const QString name = AllLiveSettings()[c].Name();
        live.insert(name, NumberOr(state[name]));
        maximum.insert(name, NumberOr(state[QStringLiteral("maximum")][name]));
    }
    const QString mute = state[QStringLiteral("mute")].toString();
    live.insert(QStringLiteral("mute"), mute == QLatin1String("ON") ? QJsonValue(1)
                                            : mute == QLatin1String("OFF") ? QJsonValue(0) : QJsonValue());
    for (const char *name : {"key", "program"}) {
        const QString setting = QLatin1String(name);
        const std::optional<quint8> raw = state[setting].isString()
            ? FindLiveSetting(setting)->Parse(state[setting].toString()) : std::nullopt;
        live.insert(setting, raw ? QJsonValue(*raw) : QJsonValue());
    }
    live.insert(QStringLiteral("maximum"), maximum);
    return live;
}

QByteArray Compact(const QJsonObject &object)
{
    return QJsonDocument(object).toJson(QJsonDocument::Compact);
}

// A venue's answer as its HTTP status and body; a status no HTTP answer has is the venue's fault.
std::pair<int, QJsonObject> Unwrapped(QJsonObject answer)
{
    const int status = answer.take(QStringLiteral("status")).toInt();
    answer.remove(QStringLiteral("request"));
    return {status >= 200 && status <= 599 ? status : 502, answer};
}

QJsonObject NoAnswer(const QString &venue)
{
    return {{QStringLiteral("status"), 504},
            {QStringLiteral("error"), QStringLiteral("%1 did not answer within %2 s").arg(venue).arg(ChainFollower::AnswerMs / 1000)},
            {QStringLiteral("code"), QStringLiteral("venue-no-answer")}};
}

QJsonObject Offline(const QString &venue)
{
    return {{QStringLiteral("status"), 409},
            {QStringLiteral("error"), QStringLiteral("%1 is offline: nothing was sent").arg(venue)},
            {QStringLiteral("code"), QStringLiteral("venue-offline")}};
}

bool Admin(const Account &account, const Answer &answer)
{
    if (account.role == Role::Admin)
        return true;
    Fail(answer, 403, QStringLiteral("at the head office only admins see the audit and alerts and send commands"),
         QStringLiteral("head-office-admins-only"));
    return false;
}

} // namespace

ChainApi::ChainApi(const ChainConfig &config, AuditLog &audit, QObject *parent)
    : QObject(parent), follower(config), audit(audit)
{
    connect(&follower, &ChainFollower::UnitChanged, this, [this](const QString &id) {
        unitsAnswer[0].clear();
        unitsAnswer[1].clear();
        // Open alerts are for admins' eyes; the stream goes to everyone.
        emit UnitChanged(id, UnitJson(id, false));
    });
}

bool ChainApi::Route(const QHttpServerRequest &request, const QStringList &path, const Account &account,
                     const Answer &answer)
{
    using M = QHttpServerRequest::Method;
    const QString what = path.value(0);
    const auto method = [&](M wanted) {
        if (request.method() != wanted)
            Fail(answer, 405, wanted == M::Get ? QStringLiteral("GET only") : QStringLiteral("POST only"),
                 QStringLiteral("method-not-allowed"));
        return request.method() == wanted;
    };
    if (what == QLatin1String("units") && path.size() == 1) {
        if (method(M::Get))
            ListUnits(account, answer);
    } else if (what == QLatin1String("units") && path.size() == 3) {
        if (!follower.Find(path[1]))
            Fail(answer, 404, QStringLiteral("no room is named \"%1\"").arg(path[1]), QStringLiteral("no-such-unit"));
        else if (path[2] == QLatin1String("settings") && request.method() == M::Post)
            SetSettings(request, account, path[1], answer);
        else
            Fail(answer, 404, QStringLiteral("this is done on the venue's own service"), QStringLiteral("venue-only"));
    } else if (what == QLatin1String("audit") && path.size() == 1) {
        if (method(M::Get) && Admin(account, answer))
            Audit(request, answer);
    } else if (what == QLatin1String("alerts") && path.size() == 1) {
        if (method(M::Get) && Admin(account, answer))
            Alerts(answer);
    } else if (what == QLatin1String("scenes") && path.size() == 3 && path[2] == QLatin1String("recall")) {
        if (method(M::Post) && Admin(account, answer))
            RecallScene(request, account, path[1], answer);
    } else {
        return false;
    }
    return true;
}

QJsonObject ChainApi::UnitJson(const QString &id, bool admin) const
{
    const ChainFollower::Unit &unit = *follower.Find(id);
    const QJsonObject &state = unit.state;
    const QString error = !follower.VenueBridged(unit.venue) ? QStringLiteral("the venue's broker is cut off")
        : !follower.VenueOnline(unit.venue)                  ? QStringLiteral("the venue is offline")
        : !unit.available                                    ? QStringLiteral("offline at the venue")
                                                             : QString();
    QJsonObject json{{QStringLiteral("name"), unit.name},
                     {QStringLiteral("venue"), unit.venue},
                     {QStringLiteral("id"), id},
                     {QStringLiteral("state"), unit.shownOnline ? QStringLiteral("online") : QStringLiteral("offline")},
                     {QStringLiteral("since"), unit.since.toString(Qt::ISODate)},
                     {QStringLiteral("drift"), NumberOr(state[QStringLiteral("drift")])},
                     {QStringLiteral("model"), state[QStringLiteral("model")].isString() ? state[QStringLiteral("model")] : QJsonValue()},
                     {QStringLiteral("error"), error.isEmpty() ? QJsonValue() : QJsonValue(error)},
                     {QStringLiteral("golden"), false},
                     {QStringLiteral("live"), LiveFrom(state)},
                     {QStringLiteral("scene"), ObjectOr(state[QStringLiteral("scene")])},
                     {QStringLiteral("cap"), ObjectOr(state[QStringLiteral("cap")])}};
    if (admin)
        json.insert(QStringLiteral("alerts"), follower.OpenAlertsOn(id));
    return json;
}

void ChainApi::ListUnits(const Account &account, const Answer &answer)
{
    const bool admin = account.role == Role::Admin;
    QByteArray &kept = unitsAnswer[admin];
    if (kept.isEmpty()) {
        QJsonArray list;
        for (const QString &id : follower.Ids())
            list.append(UnitJson(id, admin));
        kept = Compact({{QStringLiteral("units"), list}});
    }
    answer->Bytes(200, kept, QByteArrayLiteral("application/json"));
}

void ChainApi::Audit(const QHttpServerRequest &request, const Answer &answer)
{
    const QUrlQuery query = FormQuery(request);
    const int limit = query.hasQueryItem(QStringLiteral("limit"))
        ? std::clamp(query.queryItemValue(QStringLiteral("limit")).toInt(), 1, 1000) : 200;
    QJsonArray entries;
    for (const QJsonObject &entry : follower.Audit(limit, query.queryItemValue(QStringLiteral("unit"), QUrl::FullyDecoded),
                                                   query.queryItemValue(QStringLiteral("venue"), QUrl::FullyDecoded),
                                                   query.queryItemValue(QStringLiteral("user"), QUrl::FullyDecoded)))
        entries.append(entry);
    answer->Json(200, {{QStringLiteral("entries"), entries}});
}

void ChainApi::Alerts(const Answer &answer)
{
    QList<QJsonObject> open = follower.OpenAlerts();
    std::sort(open.begin(), open.end(), [](const QJsonObject &a, const QJsonObject &b) {
        return a[QStringLiteral("since")].toString() > b[QStringLiteral("since")].toString();
    });
    QJsonArray openList, recentList;
    for (const QJsonObject &alert : open)
        openList.append(alert);
    for (const QJsonObject &alert : follower.RecentAlerts())
        recentList.append(alert);
    answer->Json(200, {{QStringLiteral("open"), openList}, {QStringLiteral("recent"), recentList}});
}

bool ChainApi::Asked(const QHttpServerRequest &request, const Account &account, const QString &unit, const QString &what,
                     const Answer &answer)
{
    if (audit.Append({{QStringLiteral("user"), account.name},
                      {QStringLiteral("address"), request.remoteAddress().toString()},
                      {QStringLiteral("unit"), unit},
                      {QStringLiteral("setting"), what},
                      {QStringLiteral("result"), QStringLiteral("asked")}}))
        return true;
    Fail(answer, 503, QStringLiteral("nothing was sent: the audit log cannot be written (%1)").arg(audit.Fault()),
         QStringLiteral("audit-unwritable"));
    return false;
}

// The venue applies the change with its own MQTT role and caps, and its answer is this one.
void ChainApi::SetSettings(const QHttpServerRequest &request, const Account &account, const QString &id,
                           const Answer &answer)
{
    if (!Admin(account, answer))
        return;
    const ChainFollower::Unit &unit = *follower.Find(id);
    const QJsonDocument body = QJsonDocument::fromJson(request.body());
    if (!body.isObject() || body.object().isEmpty() || request.body().size() > MqttClient::MostPayloadBytes)
        return Fail(answer, 400, QStringLiteral("a JSON object of settings and values expected"),
                    QStringLiteral("settings-expected"));
    if (!follower.VenueOnline(unit.venue))
        return answer->Json(409, Offline(unit.venue));
    const QString what = body.object().keys().join(QStringLiteral(", "));
    if (!Asked(request, account, id, what, answer))
        return;
    const QString user = account.name, address = request.remoteAddress().toString(), venue = unit.venue;
    const bool sent = follower.Command(venue, unit.name + QStringLiteral("/set"), body.object(),
                                       [this, answer, user, address, id, what, venue](const std::optional<QJsonObject> &reply) {
        const auto [status, json] = reply ? Unwrapped(*reply) : Unwrapped(NoAnswer(venue));
        audit.Append({{QStringLiteral("user"), user}, {QStringLiteral("address"), address}, {QStringLiteral("unit"), id},
                      {QStringLiteral("setting"), what},
                      {QStringLiteral("result"), reply ? QStringLiteral("answered") : QStringLiteral("no-answer")},
                      {QStringLiteral("status"), status}});
        answer->Json(status, json);
    });
    if (!sent)
        Fail(answer, 503, QStringLiteral("too many commands wait for the venues' answers"), QStringLiteral("too-many-commands"));
}

// {"units": ["venue1/room7"]} or {"venues": ["venue1"]}: each venue recalls the scene on
// its own units, and the results are gathered by room.
void ChainApi::RecallScene(const QHttpServerRequest &request, const Account &account, const QString &scene,
                           const Answer &answer)
{
    if (scene.isEmpty() || scene.contains(QLatin1Char('/')) || scene.contains(QLatin1Char('+')) || scene.contains(QLatin1Char('#')))
        return Fail(answer, 404, QStringLiteral("no scene is named \"%1\"").arg(scene), QStringLiteral("no-such-scene"));
    const QJsonObject body = QJsonDocument::fromJson(request.body()).object();
    QMap<QString, QStringList> rooms;  // by venue; empty: every unit of the scene
    QStringList targets;
    for (const QJsonValue &venue : body[QStringLiteral("venues")].toArray()) {
        if (!follower.KnowsVenue(venue.toString()))
            return Fail(answer, 404, QStringLiteral("no venue is named \"%1\"").arg(venue.toString()), QStringLiteral("no-such-venue"));
        rooms[venue.toString()].clear();
        targets << venue.toString();
    }
    for (const QJsonValue &id : body[QStringLiteral("units")].toArray()) {
        const ChainFollower::Unit *unit = follower.Find(id.toString());
        if (!unit)
            return Fail(answer, 404, QStringLiteral("no room is named \"%1\"").arg(id.toString()), QStringLiteral("no-such-unit"));
        if (!targets.contains(unit->venue))
            rooms[unit->venue] << unit->name;
        targets << id.toString();
    }
    if (rooms.isEmpty())
        return Fail(answer, 400, QStringLiteral("name the venues or the rooms: {\"venues\": [...]} or {\"units\": [...]}"),
                    QStringLiteral("venues-or-units-expected"));
    const QString what = QStringLiteral("recall-scene ") + scene;
    if (!Asked(request, account, targets.join(QStringLiteral(", ")), what, answer))
        return;
    struct Gathered
    {
        int left = 0;
        QJsonObject results;
    };
    auto gathered = std::make_shared<Gathered>();
    gathered->left = int(rooms.size());
    const QString user = account.name, address = request.remoteAddress().toString(), all = targets.join(QStringLiteral(", "));
    const auto add = [this, gathered, answer, user, address, all, what](const QString &venue, const QJsonObject &reply) {
        const QJsonObject results = reply[QStringLiteral("results")].toObject();
        if (results.isEmpty())
            gathered->results.insert(venue, reply);
        for (auto it = results.begin(); it != results.end(); ++it)
            gathered->results.insert(venue + QLatin1Char('/') + it.key(), it.value());
        if (--gathered->left > 0)
            return;
        audit.Append({{QStringLiteral("user"), user}, {QStringLiteral("address"), address}, {QStringLiteral("unit"), all},
                      {QStringLiteral("setting"), what}, {QStringLiteral("result"), QStringLiteral("answered")}});
        answer->Json(200, {{QStringLiteral("results"), gathered->results}});
    };
    for (auto it = rooms.cbegin(); it != rooms.cend(); ++it) {
        const QString venue = it.key();
        QJsonObject payload;
        if (!it->isEmpty())
            payload.insert(QStringLiteral("units"), QJsonArray::fromStringList(*it));
        if (!follower.VenueOnline(venue)) {
            add(venue, Offline(venue));
        } else if (!follower.Command(venue, QStringLiteral("scenes/%1/recall").arg(scene), payload,
                                     [add, venue](const std::optional<QJsonObject> &reply) {
                                         QJsonObject json = reply.value_or(NoAnswer(venue));
                                         json.remove(QStringLiteral("request"));
                                         add(venue, json);
                                     })) {
            add(venue, {{QStringLiteral("status"), 503}, {QStringLiteral("error"), QStringLiteral("too many commands wait")},
                        {QStringLiteral("code"), QStringLiteral("too-many-commands")}});
        }
    }
}
