#pragma once

#include "MqttClient.h"
#include "ServiceConfig.h"

#include <QDateTime>
#include <QHash>
#include <QJsonObject>
#include <QObject>
#include <deque>
#include <functional>
#include <optional>

class QTimer;

// What a head office knows of its venues, as their brokers bridge it here: each venue's
// status and bridge, each room's availability and state, the chain's recent audit, the alerts begun
// and not yet ended. A command goes to a venue as the venue's own message, carrying a
// request id that the venue's answer echoes. Everything heard is a venue's word: sizes are
// bounded, anything but the expected JSON is dropped.
class ChainFollower : public QObject
{
    Q_OBJECT

public:
    static constexpr int MostAudit = 10000;
    static constexpr int MostTopicChars = 512;
    static constexpr int MostEntryBytes = 4096;  // an audit line or an alert
    static constexpr int MostVenues = 1000;
    static constexpr int MostUnitsPerVenue = 256;
    static constexpr int MostOpenAlerts = 10000;
    static constexpr int MostRecentAlerts = 500;
    static constexpr int MostPending = 256;
    static constexpr int AnswerMs = 5000;

    struct Venue
    {
        QString prefix;
        bool online = false;   // its quorind's status
        bool bridged = true;   // its broker's bridge to this one, as the bridge's notification says
        bool Reached() const { return online && bridged; }
    };
    struct Unit
    {
        QString venue, name;
        bool available = false;  // as the venue says; shown online only while the venue is too
        bool shownOnline = false;
        QDateTime since;         // when it was last shown going online or offline
        QJsonObject state;       // the venue's state message
    };
    // The venue's answer, or nothing when none came within AnswerMs.
    using Answered = std::function<void(const std::optional<QJsonObject> &answer)>;

    explicit ChainFollower(const ChainConfig &config, QObject *parent = nullptr);
    bool Start(QString *error);

    // Every room, by id (VENUE/UNIT), in order.
    QStringList Ids() const;
    const Unit *Find(const QString &id) const
    {
        const auto it = units.constFind(id);
        return it == units.cend() ? nullptr : &*it;
    }
    bool VenueOnline(const QString &venue) const { return venues.value(venue).Reached(); }
    bool VenueBridged(const QString &venue) const { return venues.value(venue).bridged; }
    bool KnowsVenue(const QString &venue) const { return venues.contains(venue); }
    // The newest audit entries first, those of id, venue and user when given.
    QList<QJsonObject> Audit(int limit, const QString &id, const QString &venue, const QString &user) const;
    QList<QJsonObject> OpenAlerts() const { return openAlerts.values(); }
    const std::deque<QJsonObject> &RecentAlerts() const { return recentAlerts; }
    int OpenAlertsOn(const QString &id) const { return alertsOn.value(id); }

    // Publishes payload with a request id on the venue's PREFIX/tail; false when too many
    // commands wait already.
    bool Command(const QString &venue, const QString &tail, QJsonObject payload, Answered answered);

signals:
    void UnitChanged(const QString &id);

private:
    struct Pending
    {
        QString venue;
        Answered answered;
        QTimer *timer = nullptr;
    };
    void Connected();
    void Message(const QString &topic, const QByteArray &payload);
    void Heard(const QString &venue, const QString &prefix, const QStringList &rest, const QByteArray &payload);
    void Status(const QString &venue, const QString &what, const QByteArray &payload);
    void Alert(const QString &venue, QJsonObject alert);
    static std::optional<QJsonObject> Expected(const QString &what, const QByteArray &payload);
    void Answer(const QString &venue, const QByteArray &payload);
    Unit *UnitOf(const QString &venue, const QString &name);
    void Show(const QString &id);

    ChainConfig config;
    MqttClient client;
    QHash<QString, Venue> venues;
    QHash<QString, int> unitsIn;  // by venue
    QHash<QString, Unit> units;   // by id
    std::deque<QJsonObject> audit;
    QHash<QString, QJsonObject> openAlerts;  // by venue and the alert's id
    QHash<QString, int> alertsOn;            // open alerts by unit id
    std::deque<QJsonObject> recentAlerts;
    QHash<QString, Pending> pending;         // by request id
};
