#include "ChainFollower.h"

#include "UnitName.h"

#include <QJsonDocument>
#include <QSysInfo>
#include <QTimer>
#include <QUuid>

namespace {

std::optional<QJsonObject> JsonObject(const QByteArray &payload)
{
    const QJsonDocument document = QJsonDocument::fromJson(payload);
    return document.isObject() ? std::optional(document.object()) : std::nullopt;
}

QString IdOf(const QString &venue, const QString &unit)
{
    return venue + QLatin1Char('/') + unit;
}

} // namespace

ChainFollower::ChainFollower(const ChainConfig &config, QObject *parent)
    : QObject(parent), config(config), client(config.broker)
{
    connect(&client, &MqttClient::Connected, this, &ChainFollower::Connected);
    connect(&client, &MqttClient::Message, this, &ChainFollower::Message);
}

bool ChainFollower::Start(QString *error)
{
    // A session the broker keeps: what venues say while this service restarts waits for it.
    const QString id = config.broker.clientId.isEmpty() ? QStringLiteral("quorind-chain-") + QSysInfo::machineHostName()
                                                        : config.broker.clientId;
    return client.Start({id, false, std::nullopt}, error);
}

void ChainFollower::Connected()
{
    for (const QString &filter : std::as_const(config.prefixes))
        client.Subscribe(filter);
}

QStringList ChainFollower::Ids() const
{
    QStringList ids = units.keys();
    ids.sort();
    return ids;
}

// PREFIX/status, PREFIX/alerts, PREFIX/UNIT/(availability|state|audit|result) and
// PREFIX/scenes/NAME/result, where PREFIX is FILTER/VENUE (a venue may have several levels),
// and the bridge's notification FILTER/bridges/VENUE.
void ChainFollower::Message(const QString &topic, const QByteArray &payload)
{
    for (const QString &filter : std::as_const(config.prefixes)) {
        const QString base = filter.chopped(1);
        if (!topic.startsWith(base))
            continue;
        const QStringList rest = topic.mid(base.size()).split(QLatin1Char('/'));
        if (rest.size() < 2 || rest.contains(QString()) || topic.size() > MostTopicChars)
            return;
        // Outside the venue's prefix, lest the venue's broker send its own retained copy back.
        if (rest.first() == QLatin1String("bridges")) {
            const QString venue = rest.mid(1).join(QLatin1Char('/'));
            return Heard(venue, base + venue, {QStringLiteral("bridge")}, payload);
        }
        const QString &last = rest.last();
        static const QStringList heard{QStringLiteral("status"), QStringLiteral("alerts"), QStringLiteral("availability"),
                                       QStringLiteral("state"), QStringLiteral("audit"), QStringLiteral("result")};
        // Commands, this service's own among them, and whatever else is not a venue's to say.
        if (!heard.contains(last))
            return;
        const int venueLevels = last == QLatin1String("status") || last == QLatin1String("alerts") ? rest.size() - 1
                                                                                                  : rest.size() - 2;
        if (venueLevels < 1)
            return;
        const QString venue = rest.mid(0, venueLevels).join(QLatin1Char('/'));
        return Heard(venue, base + venue, rest.mid(venueLevels), payload);
    }
}

// Only what a venue says in the expected form makes a venue or a room known here.
std::optional<QJsonObject> ChainFollower::Expected(const QString &what, const QByteArray &payload)
{
    static const QHash<QString, QList<QByteArray>> words{{QStringLiteral("status"), {"online", "offline"}},
                                                         {QStringLiteral("availability"), {"online", "offline"}},
                                                         {QStringLiteral("bridge"), {"1", "0"}}};
    if (words.contains(what))
        return words[what].contains(payload) ? std::optional(QJsonObject()) : std::nullopt;
    if (what != QLatin1String("state") && payload.size() > MostEntryBytes)
        return std::nullopt;
    return JsonObject(payload);
}

void ChainFollower::Heard(const QString &venue, const QString &prefix, const QStringList &rest, const QByteArray &payload)
{
    const QString &what = rest.last();
    if (what == QLatin1String("result"))
        return Answer(venue, payload);
    std::optional<QJsonObject> json = Expected(what, payload);
    if (!json)
        return;
    // Retained messages come in any order: a room may be heard of before its venue's status.
    if (!venues.contains(venue)) {
        if (venues.size() >= MostVenues)
            return;
        venues[venue].prefix = prefix;
    }
    if (what == QLatin1String("status") || what == QLatin1String("bridge"))
        return Status(venue, what, payload);
    if (what == QLatin1String("alerts"))
        return Alert(venue, *json);
    Unit *unit = UnitOf(venue, rest.first());
    if (!unit)
        return;
    const QString id = IdOf(venue, unit->name);
    if (what == QLatin1String("availability")) {
        unit->available = payload == "online";
        Show(id);
    } else if (what == QLatin1String("state")) {
        unit->state = *json;
        Show(id);
    } else {
        json->insert(QStringLiteral("venue"), venue);
        json->insert(QStringLiteral("id"), id);
        // The venue's message says when it was done only if the venue wrote it in.
        if (!json->contains(QStringLiteral("time")))
            json->insert(QStringLiteral("time"), QDateTime::currentDateTimeUtc().toString(Qt::ISODateWithMs));
        audit.push_front(*json);
        if (audit.size() > MostAudit)
            audit.pop_back();
    }
}

// The venue's quorind says online or offline (its last will); the venue broker's bridge 1 or 0
// (the will it left with this broker, given when the bridge is cut).
void ChainFollower::Status(const QString &venue, const QString &what, const QByteArray &payload)
{
    Venue &v = venues[venue];
    (what == QLatin1String("status") ? v.online : v.bridged) = payload == "online" || payload == "1";
    for (auto it = units.cbegin(); it != units.cend(); ++it)
        if (it->venue == venue)
            Show(it.key());
}

ChainFollower::Unit *ChainFollower::UnitOf(const QString &venue, const QString &name)
{
    const QString id = IdOf(venue, name);
    if (units.contains(id))
        return &units[id];
    if (!UnitNameFault(name).isEmpty() || name.contains(QLatin1Char('+')) || name.contains(QLatin1Char('#'))
        || unitsIn.value(venue) >= MostUnitsPerVenue)
        return nullptr;
    ++unitsIn[venue];
    Unit &unit = units[id];
    unit.venue = venue;
    unit.name = name;
    unit.since = QDateTime::currentDateTimeUtc();
    return &unit;
}

void ChainFollower::Show(const QString &id)
{
    Unit &unit = units[id];
    const bool online = unit.available && venues.value(unit.venue).Reached();
    if (online != unit.shownOnline) {
        unit.shownOnline = online;
        unit.since = QDateTime::currentDateTimeUtc();
    }
    emit UnitChanged(id);
}

// One message for each alert as it begins and as it ends.
void ChainFollower::Alert(const QString &venue, QJsonObject alert)
{
    if (!alert.contains(QStringLiteral("id")))
        return;
    alert.insert(QStringLiteral("venue"), venue);
    const QString key = venue + QLatin1Char('\n') + alert.value(QStringLiteral("id")).toVariant().toString();
    const QString unit = alert.value(QStringLiteral("unit")).toString();
    const QString id = unit.isEmpty() ? QString() : IdOf(venue, unit);
    const QString state = alert.value(QStringLiteral("state")).toString();
    if (state == QLatin1String("begun") && !openAlerts.contains(key) && openAlerts.size() < MostOpenAlerts) {
        openAlerts.insert(key, alert);
        if (!id.isEmpty())
            ++alertsOn[id];
    } else if (state == QLatin1String("ended") && openAlerts.remove(key)) {
        if (!id.isEmpty() && --alertsOn[id] <= 0)
            alertsOn.remove(id);
        recentAlerts.push_front(alert);
        if (recentAlerts.size() > MostRecentAlerts)
            recentAlerts.pop_back();
    } else {
        return;
    }
    if (units.contains(id))
        emit UnitChanged(id);
}

QList<QJsonObject> ChainFollower::Audit(int limit, const QString &id, const QString &venue, const QString &user) const
{
    QList<QJsonObject> found;
    for (auto it = audit.cbegin(); it != audit.cend() && found.size() < limit; ++it)
        if ((id.isEmpty() || (*it)[QStringLiteral("id")].toString() == id)
            && (venue.isEmpty() || (*it)[QStringLiteral("venue")].toString() == venue)
            && (user.isEmpty() || (*it)[QStringLiteral("user")].toString() == user))
            found.append(*it);
    return found;
}

bool ChainFollower::Command(const QString &venue, const QString &tail, QJsonObject payload, Answered answered)
{
    if (pending.size() >= MostPending || !venues.contains(venue))
        return false;
    const QString request = QUuid::createUuid().toString(QUuid::WithoutBraces);
    payload.insert(QStringLiteral("request"), request);
    auto *timer = new QTimer(this);
    timer->setSingleShot(true);
    connect(timer, &QTimer::timeout, this, [this, request] {
        const Pending gone = pending.take(request);
        gone.timer->deleteLater();
        gone.answered(std::nullopt);
    });
    pending.insert(request, {venue, std::move(answered), timer});
    timer->start(AnswerMs);
    client.Publish(venues[venue].prefix + QLatin1Char('/') + tail, QJsonDocument(payload).toJson(QJsonDocument::Compact),
                   false);
    return true;
}

// Only the venue a command went to may answer it.
void ChainFollower::Answer(const QString &venue, const QByteArray &payload)
{
    const std::optional<QJsonObject> answer = JsonObject(payload);
    const QString request = answer ? answer->value(QStringLiteral("request")).toString() : QString();
    const auto it = pending.constFind(request);
    if (request.isEmpty() || it == pending.cend())
        return;
    // PREFIX/scenes/NAME/result names one more level than PREFIX/UNIT/result.
    if (it->venue != venue && it->venue + QStringLiteral("/scenes") != venue)
        return;
    const Pending done = pending.take(request);
    delete done.timer;
    done.answered(*answer);
}
