#pragma once

#include "AlertConfig.h"

#include <QHostAddress>
#include <QList>
#include <QString>
#include <QStringList>
#include <optional>

// One processor the service keeps connected, a section of the configuration.
struct UnitConfig
{
    QString name;    // the section's name: a unit name fit for a file name
    QString port;    // any port entry quorinctl takes
    QString golden;  // the approved settings file, or empty
    bool enforce = false;
};

// The [mqtt] section: the broker the service publishes to and takes commands from.
struct MqttConfig
{
    bool enabled = false;  // there is a [mqtt] section
    QString host;
    quint16 port = 1883;
    bool tls = false;      // mqtts://
    QString ca;            // the broker's CA certificate (PEM), for mqtts
    QString username;
    QString passwordFile;  // its first line is the password
    QString clientId;
    QString prefix;        // topics begin with it: quorin/VENUE
    QString role = QStringLiteral("staff");  // the rights of commands that come over MQTT
    QString discovery = QStringLiteral("homeassistant");  // empty: no discovery
};

// The [chain] section: a head office with no units of its own, following its venues on
// the broker their brokers bridge to.
struct ChainConfig
{
    bool enabled = false;
    MqttConfig broker;                                 // url, ca, username, password-file, client-id
    QStringList prefixes{QStringLiteral("quorin/#")};  // each FILTER/#: a venue's prefix below FILTER names it
};

// quorind's configuration file: [service] and a section per unit.
struct ServiceConfig
{
    QHostAddress listenAddress = QHostAddress::LocalHost;
    quint16 listenPort = 8417;
    QString tlsCertificate;  // PEM; with tlsKey, HTTPS only
    QString tlsKey;
    QString accounts = QStringLiteral("/var/lib/quorind/accounts.json");
    QString audit = QStringLiteral("/var/log/quorind/audit.log");
    QString state = QStringLiteral("/var/lib/quorind");  // what outlives a restart: the sessions
    int driftMinutes = 30;
    // A request's line and headers arrive within headSeconds; a connection with nothing
    // under way is closed after idleSeconds.
    int headSeconds = 10;
    int idleSeconds = 30;
    // What staff may change; everything else is protected against drift.
    QStringList staff{QStringLiteral("MUS volume"), QStringLiteral("MIC volume"), QStringLiteral("KTV volume"),
                      QStringLiteral("key"),        QStringLiteral("mute"),       QStringLiteral("program")};
    // /metrics answers localhost only, unless this is set.
    bool metricsFromAnywhere = false;
    QList<UnitConfig> units;
    MqttConfig mqtt;
    ChainConfig chain;
    AlertsConfig alerts;
};

// The id a unit's entities take in home automation discovery.
QString MqttUniqueId(const QString &prefix, const QString &unit);

// The file at path, or nothing with "FILE:LINE: reason" in *error. Relative file
// names in it are taken from the file's own folder.
std::optional<ServiceConfig> ReadServiceConfig(const QString &path, QString *error);
