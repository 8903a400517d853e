#pragma once

#include "ServiceConfig.h"

#include <QByteArray>
#include <QObject>
#include <QString>
#include <atomic>
#include <optional>

struct mosquitto;

// One connection to an MQTT broker. libmosquitto runs its own thread and reconnects with
// a growing pause while the broker is away; what it hears is handed to this object's
// thread. Whatever comes from the broker is a peer's input: a message over MostPayloadBytes,
// or beyond MostHanded waiting for this thread, is dropped.
class MqttClient : public QObject
{
    Q_OBJECT

public:
    static constexpr int MostPayloadBytes = 64 * 1024;
    static constexpr int MostHanded = 20000;
    static constexpr int KeepAliveSeconds = 30;

    struct Will
    {
        QString topic;
        QByteArray payload;
    };
    struct Session
    {
        QString id;
        bool clean = true;  // false: the broker keeps subscriptions and queued messages while away
        std::optional<Will> will;
    };

    explicit MqttClient(const MqttConfig &config, QObject *parent = nullptr);
    ~MqttClient() override;

    bool Start(const Session &session, QString *error);
    void Publish(const QString &topic, const QByteArray &payload, bool retain);
    void Subscribe(const QString &filter);
    bool IsConnected() const { return connected; }

signals:
    void Connected();
    void Disconnected();
    void Message(const QString &topic, const QByteArray &payload);

private:
    void Connect();

    MqttConfig config;
    mosquitto *client = nullptr;
    bool connected = false;
    std::atomic<int> handed{0};
    int firstPauseMs = 1000;
};
