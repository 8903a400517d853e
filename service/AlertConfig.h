#pragma once

#include <QDir>
#include <QString>
#include <QStringList>
#include <QUrl>

struct ServiceConfig;

// The [alerts] section: how long a unit or the broker may be away before it is an incident,
// and where alerts go besides the API and MQTT. Incidents are kept without the section too.
struct AlertsConfig
{
    int offlineAfter = 60;  // seconds; an incident also ends only after this long clear
    QUrl webhook;
    QUrl smtp;              // smtp:// (STARTTLS when offered) or smtps://
    QString smtpUser;
    QString smtpPasswordFile;  // its first line is the password
    QString mailFrom;
    QStringList mailTo;
    QString venue;    // default: the last part of the MQTT prefix
    QString pageUrl;  // the page's address, ending in /; default: from the listen address
};

// One KEY=VALUE of [alerts]: empty when taken, the reason otherwise. Files are taken
// from folder.
QString ReadAlertsKey(AlertsConfig &alerts, const QString &key, const QString &value, const QDir &folder);
// The defaults that hang on the rest of the configuration filled in; the reason when the
// keys given do not go together.
QString CompleteAlerts(ServiceConfig &config);
