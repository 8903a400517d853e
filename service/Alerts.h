#pragma once

#include "Incidents.h"
#include "Mailer.h"

#include <QHash>
#include <QList>
#include <memory>

class AuditLog;
class ChangeCore;
class MqttBridge;
class UnitFleet;
class Webhook;
struct ServiceConfig;
struct UnitState;

// What the service watches for incidents, and where it says so: the units' links and
// drift, caps brought back against a unit's panel, the audit log, the broker; each alert
// goes to the webhook, by mail and on MQTT as [alerts] says.
class Alerts : public QObject
{
    Q_OBJECT

public:
    Alerts(const ServiceConfig &config, UnitFleet &fleet, ChangeCore &core, AuditLog &audit, QObject *parent = nullptr);
    ~Alerts() override;

    // Reads the mail password; false and why when it cannot.
    bool Start(QString *error);
    // The broker's reachability is an incident; alerts are published there.
    void Watch(MqttBridge &bridge);
    const Incidents &List() const { return incidents; }

private:
    void UnitChanged(const QString &unit, const UnitState &state);
    void CapEnforced(const QString &unit, const QString &cap);
    void Say(const Alert &alert, const QString &state);

    const ServiceConfig &config;
    AuditLog &audit;
    Incidents incidents;
    std::unique_ptr<Webhook> webhook;
    Mailer mailer;
    MqttBridge *bridge = nullptr;
    QHash<QString, QList<qint64>> capTimes;  // by unit: when a cap was brought back, in the last window
};
