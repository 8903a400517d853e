#include "MqttClient.h"

#include <QFile>
#include <QTimer>
#include <algorithm>
#include <cstdio>
#include <mosquitto.h>

MqttClient::MqttClient(const MqttConfig &config, QObject *parent) : QObject(parent), config(config)
{
}

MqttClient::~MqttClient()
{
    if (!client)
        return;
    mosquitto_disconnect(client);
    mosquitto_loop_stop(client, false);
    mosquitto_destroy(client);
    mosquitto_lib_cleanup();
}

bool MqttClient::Start(const Session &session, QString *error)
{
    mosquitto_lib_init();
    client = mosquitto_new(session.id.toUtf8().constData(), session.clean, this);
    if (!client) {
        *error = QStringLiteral("cannot make an MQTT client");
        return false;
    }
    QByteArray password;
    if (!config.passwordFile.isEmpty()) {
        QFile file(config.passwordFile);
        if (!file.open(QIODevice::ReadOnly)) {
            *error = QStringLiteral("%1: %2").arg(config.passwordFile, file.errorString());
            return false;
        }
        password = file.readLine().trimmed();
    }
    const QByteArray user = config.username.toUtf8();
    if (!config.username.isEmpty())
        mosquitto_username_pw_set(client, user.constData(), password.isEmpty() ? nullptr : password.constData());
    if (session.will) {
        const QByteArray topic = session.will->topic.toUtf8();
        mosquitto_will_set(client, topic.constData(), int(session.will->payload.size()), session.will->payload.constData(), 1, true);
    }
    if (config.tls && mosquitto_tls_set(client, config.ca.isEmpty() ? nullptr : QFile::encodeName(config.ca).constData(),
                                        config.ca.isEmpty() ? "/etc/ssl/certs" : nullptr, nullptr, nullptr, nullptr) != MOSQ_ERR_SUCCESS) {
        *error = QStringLiteral("cannot use the CA certificate %1").arg(config.ca);
        return false;
    }
    mosquitto_reconnect_delay_set(client, 1, 30, true);
    mosquitto_connect_callback_set(client, [](mosquitto *, void *self, int rc) {
        auto *me = static_cast<MqttClient *>(self);
        if (rc == 0)
            QMetaObject::invokeMethod(me, [me] {
                me->connected = true;
                emit me->Connected();
            }, Qt::QueuedConnection);
    });
    mosquitto_disconnect_callback_set(client, [](mosquitto *, void *self, int) {
        auto *me = static_cast<MqttClient *>(self);
        QMetaObject::invokeMethod(me, [me] {
            me->connected = false;
            emit me->Disconnected();
        }, Qt::QueuedConnection);
    });
    mosquitto_message_callback_set(client, [](mosquitto *, void *self, const mosquitto_message *m) {
        auto *me = static_cast<MqttClient *>(self);
        if (m->payloadlen > MostPayloadBytes || me->handed >= MostHanded)
            return;
        ++me->handed;
        const QString topic = QString::fromUtf8(m->topic);
        const QByteArray payload(static_cast<const char *>(m->payload), m->payloadlen);
        QMetaObject::invokeMethod(me, [me, topic, payload] {
            --me->handed;
            emit me->Message(topic, payload);
        }, Qt::QueuedConnection);
    });
    Connect();
    return true;
}

// libmosquitto reconnects by itself only once a first connection has got going: a broker
// that refuses the very first attempt is tried again here, with a growing pause.
void MqttClient::Connect()
{
    if (mosquitto_connect_async(client, config.host.toUtf8().constData(), config.port, KeepAliveSeconds)
        != MOSQ_ERR_SUCCESS) {
        QTimer::singleShot(firstPauseMs, this, &MqttClient::Connect);
        firstPauseMs = std::min(firstPauseMs * 2, 30000);
        return;
    }
    if (mosquitto_loop_start(client) != MOSQ_ERR_SUCCESS)
        std::fprintf(stderr, "quorind: cannot start the MQTT client\n");
}

void MqttClient::Publish(const QString &topic, const QByteArray &payload, bool retain)
{
    if (!client)
        return;
    const QByteArray name = topic.toUtf8();
    mosquitto_publish(client, nullptr, name.constData(), int(payload.size()), payload.constData(), 1, retain);
}

void MqttClient::Subscribe(const QString &filter)
{
    if (client)
        mosquitto_subscribe(client, nullptr, filter.toUtf8().constData(), 1);
}
