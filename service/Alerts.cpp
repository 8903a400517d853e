#include "Alerts.h"

#include "AuditLog.h"
#include "ChangeCore.h"
#include "MqttBridge.h"
#include "ServiceConfig.h"
#include "UnitFleet.h"
#include "Webhook.h"

#include <QJsonDocument>
#include <QTimer>

namespace {
// A cap brought back more often than this within the window is fought over, not a slip.
constexpr int CapFightCount = 3;
constexpr qint64 CapWindowMs = 10 * 60 * 1000;

QString Settings(int count)
{
    return count == 1 ? QStringLiteral("1 protected setting") : QStringLiteral("%1 protected settings").arg(count);
}
} // namespace

Alerts::Alerts(const ServiceConfig &config, UnitFleet &fleet, ChangeCore &core, AuditLog &audit, QObject *parent)
    : QObject(parent), config(config), audit(audit), incidents(config.alerts.offlineAfter, config.alerts.venue, config.alerts.pageUrl)
{
    connect(&incidents, &Incidents::Begun, this, [this](const Alert &alert) { Say(alert, QStringLiteral("begun")); });
    connect(&incidents, &Incidents::Ended, this, [this](const Alert &alert) { Say(alert, QStringLiteral("ended")); });
    for (const QString &unit : fleet.Names()) {
        UnitChanged(unit, fleet.State(unit));
        // With enforce=true drift is written back at once; it was found all the same.
        connect(fleet.Worker(unit), &UnitWorker::DriftRepaired, this,
                [this](const QString &name, const QList<SettingDifference> &differences, bool written) {
                    incidents.Set(QStringLiteral("drift"), name, true,
                                  QStringLiteral("%1 differed from its approved settings in %2; %3")
                                      .arg(name, Settings(int(differences.size())),
                                           written ? QStringLiteral("they were written back")
                                                   : QStringLiteral("writing them back failed")));
                });
    }
    connect(&fleet, &UnitFleet::StateChanged, this, &Alerts::UnitChanged);
    connect(&core, &ChangeCore::Changed, this, [this](const QString &unit, const QJsonObject &entry) {
        if (entry[QStringLiteral("user")] == QLatin1String("cap") && entry.contains(QStringLiteral("cap"))
            && entry[QStringLiteral("result")] == QLatin1String("ok"))
            CapEnforced(unit, entry[QStringLiteral("cap")].toString());
    });
    this->audit.Watch([this](bool written, const QString &fault) {
        incidents.Set(QStringLiteral("audit"), QString(), !written,
                      QStringLiteral("the audit log cannot be written (%1): every change is refused").arg(fault));
    });
}

Alerts::~Alerts()
{
    audit.Watch({});
}

bool Alerts::Start(QString *error)
{
    if (!config.alerts.webhook.isEmpty())
        webhook = std::make_unique<Webhook>(config.alerts.webhook);
    return config.alerts.smtp.isEmpty() || mailer.Start(config.alerts, error);
}

void Alerts::Watch(MqttBridge &mqtt)
{
    bridge = &mqtt;
    const QString text = QStringLiteral("the MQTT broker %1:%2 cannot be reached").arg(config.mqtt.host).arg(config.mqtt.port);
    // Unreachable until it is first reached.
    incidents.Set(QStringLiteral("broker"), QString(), true, text);
    connect(bridge, &MqttBridge::BrokerChanged, this, [this, text](bool reachable) {
        incidents.Set(QStringLiteral("broker"), QString(), !reachable, text);
    });
}

void Alerts::UnitChanged(const QString &unit, const UnitState &state)
{
    incidents.Set(QStringLiteral("offline"), unit, state.link == UnitState::Link::Offline,
                  QStringLiteral("%1 is offline: %2").arg(unit, state.error), state.since);
    if (state.drift >= 0)
        incidents.Set(QStringLiteral("drift"), unit, state.drift > 0,
                      QStringLiteral("%1 differs from its approved settings in %2").arg(unit, Settings(state.drift)));
}

void Alerts::CapEnforced(const QString &unit, const QString &cap)
{
    const qint64 now = QDateTime::currentMSecsSinceEpoch();
    QList<qint64> &times = capTimes[unit];
    times.append(now);
    times.removeIf([now](qint64 t) { return now - t >= CapWindowMs; });
    incidents.Set(QStringLiteral("cap-fought"), unit, times.size() > CapFightCount,
                  QStringLiteral("the cap %1 was brought back on %2 %3 times within 10 minutes: someone works the panel against it")
                      .arg(cap, unit).arg(times.size()));
    // Counted again once the oldest has left the window.
    QTimer::singleShot(CapWindowMs + 10, this, [this, unit] {
        QList<qint64> &times = capTimes[unit];
        const qint64 now = QDateTime::currentMSecsSinceEpoch();
        times.removeIf([now](qint64 t) { return now - t >= CapWindowMs; });
        if (times.size() <= CapFightCount)
            incidents.Set(QStringLiteral("cap-fought"), unit, false, {});
    });
}

void Alerts::Say(const Alert &alert, const QString &state)
{
    const QByteArray json = QJsonDocument(alert.Json(state)).toJson(QJsonDocument::Compact);
    if (webhook)
        webhook->Post(json);
    if (bridge)
        bridge->PublishAlert(json);
    if (config.alerts.smtp.isEmpty())
        return;
    const QString where = alert.unit.isEmpty() ? alert.venue : alert.venue + QLatin1Char('/') + alert.unit;
    const QString time = QStringLiteral("yyyy-MM-dd HH:mm:ss");
    QString body = QStringLiteral("%1\n\nVenue: %2\nRoom: %3\nWhat: %4\nSince: %5\n")
                       .arg(alert.text, alert.venue, alert.unit.isEmpty() ? QStringLiteral("-") : alert.unit, alert.kind,
                            alert.since.toLocalTime().toString(time));
    if (alert.ended.isValid())
        body += QStringLiteral("Ended: %1\n").arg(alert.ended.toLocalTime().toString(time));
    body += QStringLiteral("Page: %1\n").arg(alert.link);
    mailer.Send(QStringLiteral("[%1] %2: %3").arg(where, state == QLatin1String("begun") ? QStringLiteral("alert") : QStringLiteral("over"),
                                                   alert.text),
                body);
}
