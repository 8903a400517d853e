#include "ServiceConfig.h"

#include "LiveConfig.h"
#include "PortEntry.h"
#include "RS232Port.h"
#include "UnitCommands.h"
#include "UnitName.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QRegularExpression>
#include <QSysInfo>
#include <QUrl>

namespace {

class Reader
{
public:
    Reader(const QString &path, QString *error) : path(path), error(error), folder(QFileInfo(path).absoluteDir()) {}

    bool Fail(int line, const QString &reason)
    {
        *error = QStringLiteral("%1:%2: %3").arg(path).arg(line).arg(reason);
        return false;
    }
    QString File(const QString &value) const { return value.isEmpty() ? value : folder.absoluteFilePath(value); }

    bool Service(ServiceConfig &config, int line, const QString &key, const QString &value);
    bool Unit(UnitConfig &unit, int line, const QString &key, const QString &value);
    bool Mqtt(MqttConfig &mqtt, int line, const QString &key, const QString &value);
    bool Chain(ChainConfig &chain, int line, const QString &key, const QString &value);
    bool Alerts(AlertsConfig &alerts, int line, const QString &key, const QString &value)
    {
        const QString fault = ReadAlertsKey(alerts, key, value, folder);
        return fault.isEmpty() || Fail(line, fault);
    }

private:
    QString path;
    QString *error;
    QDir folder;
};

std::optional<std::pair<QHostAddress, quint16>> ListenAddress(const QString &text)
{
    const qsizetype colon = text.lastIndexOf(QLatin1Char(':'));
    if (colon <= 0)
        return std::nullopt;
    QString host = text.left(colon);
    if (host.startsWith(QLatin1Char('[')) && host.endsWith(QLatin1Char(']')))
        host = host.mid(1, host.size() - 2);
    bool ok = false;
    const uint port = text.mid(colon + 1).toUInt(&ok);
    QHostAddress address;
    if (!ok || port == 0 || port > 65535 || !address.setAddress(host))
        return std::nullopt;
    return std::pair{address, quint16(port)};
}

std::optional<bool> Flag(const QString &value)
{
    if (value == QLatin1String("true") || value == QLatin1String("yes"))
        return true;
    if (value == QLatin1String("false") || value == QLatin1String("no"))
        return false;
    return std::nullopt;
}

bool Reader::Service(ServiceConfig &config, int line, const QString &key, const QString &value)
{
    if (key == QLatin1String("listen")) {
        const auto listen = ListenAddress(value);
        if (!listen)
            return Fail(line, QStringLiteral("\"%1\" is no address and port, such as 127.0.0.1:8417 or [::]:8417").arg(value));
        config.listenAddress = listen->first;
        config.listenPort = listen->second;
    } else if (key == QLatin1String("tls-certificate")) {
        config.tlsCertificate = File(value);
    } else if (key == QLatin1String("tls-key")) {
        config.tlsKey = File(value);
    } else if (key == QLatin1String("accounts")) {
        config.accounts = File(value);
    } else if (key == QLatin1String("audit")) {
        config.audit = File(value);
    } else if (key == QLatin1String("state")) {
        config.state = File(value);
    } else if (key == QLatin1String("drift-minutes")) {
        bool ok = false;
        config.driftMinutes = value.toInt(&ok);
        if (!ok || config.driftMinutes < 1 || config.driftMinutes > 24 * 60)
            return Fail(line, QStringLiteral("drift-minutes takes 1 to 1440"));
    } else if (key == QLatin1String("head-seconds") || key == QLatin1String("idle-seconds")) {
        bool ok = false;
        const int seconds = value.toInt(&ok);
        if (!ok || seconds < 1 || seconds > 3600)
            return Fail(line, QStringLiteral("%1 takes 1 to 3600").arg(key));
        (key == QLatin1String("head-seconds") ? config.headSeconds : config.idleSeconds) = seconds;
    } else if (key == QLatin1String("staff")) {
        config.staff.clear();
        for (const QString &name : value.split(QLatin1Char(','), Qt::SkipEmptyParts)) {
            const AnySetting setting = FindAnySetting(name);
            if (!setting)
                return Fail(line, QStringLiteral("no setting is named \"%1\"").arg(name.trimmed()));
            config.staff << setting.Name();
        }
    } else if (key == QLatin1String("metrics")) {
        if (value != QLatin1String("localhost") && value != QLatin1String("any"))
            return Fail(line, QStringLiteral("metrics takes localhost or any"));
        config.metricsFromAnywhere = value == QLatin1String("any");
    } else {
        return Fail(line, QStringLiteral("[service] has no key \"%1\"").arg(key));
    }
    return true;
}

bool Reader::Mqtt(MqttConfig &mqtt, int line, const QString &key, const QString &value)
{
    if (key == QLatin1String("url")) {
        const QUrl url(value);
        if ((url.scheme() != QLatin1String("mqtt") && url.scheme() != QLatin1String("mqtts")) || url.host().isEmpty())
            return Fail(line, QStringLiteral("url takes mqtt://HOST:PORT or mqtts://HOST:PORT"));
        mqtt.tls = url.scheme() == QLatin1String("mqtts");
        mqtt.host = url.host();
        mqtt.port = quint16(url.port(mqtt.tls ? 8883 : 1883));
    } else if (key == QLatin1String("ca")) {
        mqtt.ca = File(value);
    } else if (key == QLatin1String("username")) {
        mqtt.username = value;
    } else if (key == QLatin1String("password-file")) {
        mqtt.passwordFile = File(value);
    } else if (key == QLatin1String("client-id")) {
        mqtt.clientId = value;
    } else if (key == QLatin1String("prefix")) {
        if (value.isEmpty() || value.contains(QLatin1Char('#')) || value.contains(QLatin1Char('+')) || value.endsWith(QLatin1Char('/')))
            return Fail(line, QStringLiteral("prefix is a topic without wildcards or a trailing /"));
        mqtt.prefix = value;
    } else if (key == QLatin1String("role")) {
        if (value != QLatin1String("admin") && value != QLatin1String("staff") && value != QLatin1String("viewer"))
            return Fail(line, QStringLiteral("role takes admin, staff or viewer"));
        mqtt.role = value;
    } else if (key == QLatin1String("discovery")) {
        mqtt.discovery = value;
    } else {
        return Fail(line, QStringLiteral("[mqtt] has no key \"%1\"").arg(key));
    }
    return true;
}

bool Reader::Chain(ChainConfig &chain, int line, const QString &key, const QString &value)
{
    static const QStringList broker{QStringLiteral("url"), QStringLiteral("ca"), QStringLiteral("username"),
                                    QStringLiteral("password-file"), QStringLiteral("client-id")};
    if (broker.contains(key))
        return Mqtt(chain.broker, line, key, value);
    if (key != QLatin1String("prefixes"))
        return Fail(line, QStringLiteral("[chain] has no key \"%1\"").arg(key));
    chain.prefixes.clear();
    for (const QString &filter : value.split(QLatin1Char(','), Qt::SkipEmptyParts)) {
        const QString trimmed = filter.trimmed();
        if (!trimmed.endsWith(QLatin1String("/#")) || trimmed.size() < 3 || trimmed.chopped(1).contains(QLatin1Char('#')))
            return Fail(line, QStringLiteral("prefixes takes topic filters ending in /#, such as quorin/#"));
        chain.prefixes << trimmed;
    }
    if (chain.prefixes.isEmpty())
        return Fail(line, QStringLiteral("prefixes takes topic filters ending in /#, such as quorin/#"));
    return true;
}

bool Reader::Unit(UnitConfig &unit, int line, const QString &key, const QString &value)
{
    if (key == QLatin1String("port")) {
        QString reason;
        if (ComPortNumber(value) == 0 && !ParsePortEntry(value, &reason))
            return Fail(line, reason);
        unit.port = value;
    } else if (key == QLatin1String("golden")) {
        unit.golden = File(value);
        if (!QFileInfo(unit.golden).isFile())
            return Fail(line, QStringLiteral("no settings file %1").arg(unit.golden));
    } else if (key == QLatin1String("enforce")) {
        const std::optional<bool> on = Flag(value);
        if (!on)
            return Fail(line, QStringLiteral("enforce takes true or false"));
        unit.enforce = *on;
    } else {
        return Fail(line, QStringLiteral("a unit has no key \"%1\"").arg(key));
    }
    return true;
}

// A unit name that a topic cannot carry, or two that give one discovery id, would
// make a unit vanish from the broker or stand for another.
QString MqttNameFault(const ServiceConfig &config, const QHash<QString, int> &sectionLines, int *line)
{
    QHash<QString, QString> byId;
    for (const UnitConfig &unit : config.units) {
        *line = sectionLines.value(unit.name);
        if (unit.name.contains(QLatin1Char('+')) || unit.name.contains(QLatin1Char('#')))
            return QStringLiteral("[%1]: an MQTT topic cannot hold + or #").arg(unit.name);
        const QString id = MqttUniqueId(config.mqtt.prefix, unit.name);
        if (byId.contains(id))
            return QStringLiteral("[%1] and [%2] give one MQTT discovery id, %3").arg(byId[id], unit.name, id);
        byId.insert(id, unit.name);
    }
    return {};
}

} // namespace

QString MqttUniqueId(const QString &prefix, const QString &unit)
{
    static const QRegularExpression unfit(QStringLiteral("[^A-Za-z0-9_-]+"));
    return QString(prefix + QLatin1Char('_') + unit).replace(unfit, QStringLiteral("_"));
}

std::optional<ServiceConfig> ReadServiceConfig(const QString &path, QString *error)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text)) {
        *error = QStringLiteral("%1: %2").arg(path, file.errorString());
        return std::nullopt;
    }
    Reader reader(path, error);
    const auto fail = [&reader](int line, const QString &reason) {
        reader.Fail(line, reason);
        return std::optional<ServiceConfig>();
    };
    ServiceConfig config;
    QHash<QString, int> sectionLines;
    QString section;
    const QStringList lines = QString::fromUtf8(file.readAll()).split(QLatin1Char('\n'));
    for (int n = 1; n <= lines.size(); ++n) {
        const QString line = lines[n - 1].trimmed();
        if (line.isEmpty() || line.startsWith(QLatin1Char('#')) || line.startsWith(QLatin1Char(';')))
            continue;
        if (line.startsWith(QLatin1Char('[')) && line.endsWith(QLatin1Char(']'))) {
            section = line.mid(1, line.size() - 2).trimmed();
            if (sectionLines.contains(section))
                return fail(n, QStringLiteral("[%1] stands already on line %2").arg(section).arg(sectionLines[section]));
            sectionLines.insert(section, n);
            // Scenes, the schedule and caps are read apart, again at each reload.
            if (section == QLatin1String("service") || section == QLatin1String("alerts") || IsLiveSection(section))
                continue;
            if (section == QLatin1String("mqtt")) {
                config.mqtt.enabled = true;
                continue;
            }
            if (section == QLatin1String("chain")) {
                config.chain.enabled = true;
                continue;
            }
            if (const QString fault = UnitNameFault(section); !fault.isEmpty())
                return fail(n, fault);
            config.units.append({section, QString(), QString(), false});
            continue;
        }
        const qsizetype equals = line.indexOf(QLatin1Char('='));
        if (equals <= 0)
            return fail(n, QStringLiteral("KEY=VALUE or [SECTION] expected"));
        if (section.isEmpty())
            return fail(n, QStringLiteral("a key before any [section]"));
        if (IsLiveSection(section))
            continue;
        const QString key = line.left(equals).trimmed(), value = line.mid(equals + 1).trimmed();
        const bool ok = section == QLatin1String("service") ? reader.Service(config, n, key, value)
            : section == QLatin1String("mqtt")              ? reader.Mqtt(config.mqtt, n, key, value)
            : section == QLatin1String("chain")             ? reader.Chain(config.chain, n, key, value)
            : section == QLatin1String("alerts")            ? reader.Alerts(config.alerts, n, key, value)
                                                            : reader.Unit(config.units.last(), n, key, value);
        if (!ok)
            return std::nullopt;
    }
    for (const UnitConfig &unit : std::as_const(config.units))
        if (unit.port.isEmpty())
            return fail(sectionLines[unit.name], QStringLiteral("[%1] has no port=").arg(unit.name));
    if (config.mqtt.enabled && config.mqtt.host.isEmpty())
        return fail(sectionLines.value(QStringLiteral("mqtt")), QStringLiteral("[mqtt] has no url="));
    if (const int chain = sectionLines.value(QStringLiteral("chain")); config.chain.enabled) {
        if (config.chain.broker.host.isEmpty())
            return fail(chain, QStringLiteral("[chain] has no url="));
        if (!config.units.isEmpty() || config.mqtt.enabled)
            return fail(chain, QStringLiteral("a head office ([chain]) has no units and no [mqtt] of its own"));
    }
    if (config.mqtt.prefix.isEmpty())
        config.mqtt.prefix = QStringLiteral("quorin/") + QSysInfo::machineHostName();
    int line = 0;
    if (const QString fault = config.mqtt.enabled ? MqttNameFault(config, sectionLines, &line) : QString(); !fault.isEmpty())
        return fail(line, fault);
    if (config.tlsCertificate.isEmpty() != config.tlsKey.isEmpty())
        return fail(sectionLines.value(QStringLiteral("service")), QStringLiteral("tls-certificate and tls-key go together"));
    if (const QString fault = CompleteAlerts(config); !fault.isEmpty())
        return fail(sectionLines.value(QStringLiteral("alerts")), QStringLiteral("[alerts]: ") + fault);
    return config;
}
