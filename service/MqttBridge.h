#pragma once

#include "MqttClient.h"
#include "ServiceConfig.h"
#include "UnitWorker.h"

#include <QByteArray>
#include <QHash>
#include <QObject>
#include <QString>

class ChangeCore;
class LiveConfigStore;
class SceneRecall;
class UnitFleet;

// The venue on an MQTT broker: quorind's own status (the broker's last will says offline),
// each unit's availability and state (retained), every change made (one message each),
// commands on PREFIX/UNIT/set applied with the rights of the configured role, and the
// discovery messages home automation lists the rooms by.
class MqttBridge : public QObject
{
    Q_OBJECT

public:
    MqttBridge(const MqttConfig &config, UnitFleet &units, ChangeCore &core, QObject *parent = nullptr);
    ~MqttBridge() override;

    // Scene recalls on PREFIX/scenes/NAME/recall, answered on PREFIX/scenes/NAME/result,
    // and a discovery scene entity for each scene, said again when a reload replaces them.
    void Attach(SceneRecall &recall, const LiveConfigStore &live);
    // Connects, and keeps reconnecting with a growing pause while the broker is away.
    bool Start(QString *error);
    // An alert, on PREFIX/alerts.
    void PublishAlert(const QByteArray &json) { Publish(config.prefix + QStringLiteral("/alerts"), json, false); }

signals:
    void BrokerChanged(bool reachable);

private:
    void Connected();
    void Message(const QString &topic, const QByteArray &payload);
    void UnitChanged(const QString &unit, const UnitState &state);
    void PublishUnit(const QString &unit, const UnitState &state, bool always);
    void PublishDiscovery(const QString &unit, const UnitState &state);
    void Publish(const QString &topic, const QByteArray &payload, bool retain);
    void RecallMessage(const QString &scene, const QByteArray &payload);
    void PublishSceneDiscovery();
    QString UniqueId(const QString &unit) const;

    MqttConfig config;
    UnitFleet &units;
    ChangeCore &core;
    SceneRecall *scenes = nullptr;
    const LiveConfigStore *live = nullptr;
    QStringList sceneEntities;  // the discovery topics of the scenes said last
    MqttClient client;
    QHash<QString, QByteArray> lastState;         // what each unit's state topic holds
    QHash<QString, QByteArray> lastAvailability;
    QHash<QString, QByteArray> lastDiscovery;     // the maxima it was published with
};
