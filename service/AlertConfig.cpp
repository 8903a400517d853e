#include "AlertConfig.h"

#include "ServiceConfig.h"

#include <QSysInfo>

namespace {

bool MailAddress(const QString &text)
{
    static const QString unfit = QStringLiteral("<>\r\n ,\"");
    if (text.count(QLatin1Char('@')) != 1 || text.startsWith(QLatin1Char('@')) || text.endsWith(QLatin1Char('@')))
        return false;
    for (QChar c : text)
        if (unfit.contains(c) || c.unicode() < 0x20)
            return false;
    return true;
}

QString PageUrl(const ServiceConfig &config)
{
    const QHostAddress &address = config.listenAddress;
    QString host = address == QHostAddress::Any || address == QHostAddress::AnyIPv4 || address == QHostAddress::AnyIPv6
        ? QSysInfo::machineHostName()
        : address.toString();
    if (address.protocol() == QAbstractSocket::IPv6Protocol && host == address.toString())
        host = QLatin1Char('[') + host + QLatin1Char(']');
    const QString scheme = config.tlsCertificate.isEmpty() ? QStringLiteral("http") : QStringLiteral("https");
    return QStringLiteral("%1://%2:%3/").arg(scheme, host).arg(config.listenPort);
}

} // namespace

QString ReadAlertsKey(AlertsConfig &alerts, const QString &key, const QString &value, const QDir &folder)
{
    if (key == QLatin1String("offline-after")) {
        bool ok = false;
        alerts.offlineAfter = value.toInt(&ok);
        if (!ok || alerts.offlineAfter < 1 || alerts.offlineAfter > 86400)
            return QStringLiteral("offline-after takes 1 to 86400 seconds");
    } else if (key == QLatin1String("webhook")) {
        alerts.webhook = QUrl(value, QUrl::StrictMode);
        if ((alerts.webhook.scheme() != QLatin1String("http") && alerts.webhook.scheme() != QLatin1String("https"))
            || alerts.webhook.host().isEmpty())
            return QStringLiteral("webhook takes http://HOST/PATH or https://HOST/PATH");
    } else if (key == QLatin1String("smtp")) {
        alerts.smtp = QUrl(value, QUrl::StrictMode);
        if ((alerts.smtp.scheme() != QLatin1String("smtp") && alerts.smtp.scheme() != QLatin1String("smtps"))
            || alerts.smtp.host().isEmpty())
            return QStringLiteral("smtp takes smtp://HOST:PORT or smtps://HOST:PORT");
        // A password in the address would be in every copy of the file.
        if (!alerts.smtp.userInfo().isEmpty())
            return QStringLiteral("smtp takes no user or password: use smtp-user and smtp-password-file");
    } else if (key == QLatin1String("smtp-user")) {
        alerts.smtpUser = value;
    } else if (key == QLatin1String("smtp-password-file")) {
        alerts.smtpPasswordFile = value.isEmpty() ? value : folder.absoluteFilePath(value);
    } else if (key == QLatin1String("mail-from")) {
        if (!MailAddress(value))
            return QStringLiteral("mail-from takes one address, such as quorin@venue1.example");
        alerts.mailFrom = value;
    } else if (key == QLatin1String("mail-to")) {
        alerts.mailTo.clear();
        for (const QString &address : value.split(QLatin1Char(','), Qt::SkipEmptyParts)) {
            if (!MailAddress(address.trimmed()))
                return QStringLiteral("\"%1\" is no mail address").arg(address.trimmed());
            alerts.mailTo << address.trimmed();
        }
    } else if (key == QLatin1String("venue")) {
        alerts.venue = value;
    } else if (key == QLatin1String("page-url")) {
        const QUrl url(value, QUrl::StrictMode);
        if ((url.scheme() != QLatin1String("http") && url.scheme() != QLatin1String("https")) || url.host().isEmpty())
            return QStringLiteral("page-url takes http://HOST:PORT/ or https://HOST:PORT/");
        alerts.pageUrl = value.endsWith(QLatin1Char('/')) ? value : value + QLatin1Char('/');
    } else {
        return QStringLiteral("[alerts] has no key \"%1\"").arg(key);
    }
    return {};
}

QString CompleteAlerts(ServiceConfig &config)
{
    AlertsConfig &alerts = config.alerts;
    if (alerts.smtp.isEmpty() && (!alerts.mailTo.isEmpty() || !alerts.mailFrom.isEmpty() || !alerts.smtpUser.isEmpty()))
        return QStringLiteral("mail-to, mail-from and smtp-user need smtp=");
    if (!alerts.smtp.isEmpty() && (alerts.mailTo.isEmpty() || alerts.mailFrom.isEmpty()))
        return QStringLiteral("smtp= needs mail-from= and mail-to=");
    if (alerts.smtpUser.isEmpty() != alerts.smtpPasswordFile.isEmpty())
        return QStringLiteral("smtp-user and smtp-password-file go together");
    if (alerts.venue.isEmpty())
        alerts.venue = config.mqtt.prefix.section(QLatin1Char('/'), -1);
    if (alerts.pageUrl.isEmpty())
        alerts.pageUrl = PageUrl(config);
    return {};
}
