#include "PortEntry.h"

#include <QHostAddress>
#include <QRegularExpression>

namespace {

bool Fail(QString *error, const QString &text)
{
    if (error)
        *error = text;
    return false;
}

// "HOST:PORT" after the scheme.
bool ParseHostAndPort(const QString &text, const QString &rest, PortEntry &entry, QString *error)
{
    QString host;
    QString port;
    if (rest.startsWith(QLatin1Char('['))) {
        const qsizetype close = rest.indexOf(QLatin1Char(']'));
        if (close < 0 || rest.mid(close + 1, 1) != QLatin1String(":"))
            return Fail(error, QStringLiteral("\"%1\": an IPv6 address goes in brackets, followed by :PORT").arg(text));
        host = rest.mid(1, close - 1);
        port = rest.mid(close + 2);
        if (QHostAddress(host).protocol() != QAbstractSocket::IPv6Protocol)
            return Fail(error, QStringLiteral("\"%1\": \"%2\" is no IPv6 address").arg(text, host));
    } else {
        const qsizetype colon = rest.lastIndexOf(QLatin1Char(':'));
        if (colon < 0)
            return Fail(error, QStringLiteral("\"%1\": the port number is missing (HOST:PORT)").arg(text));
        host = rest.left(colon);
        port = rest.mid(colon + 1);
        static const QRegularExpression hostName(QStringLiteral("^[A-Za-z0-9]([A-Za-z0-9.-]*[A-Za-z0-9])?$"));
        if (host.contains(QLatin1Char(':')))
            return Fail(error, QStringLiteral("\"%1\": put an IPv6 address in brackets, [ADDRESS]:PORT").arg(text));
        if (!hostName.match(host).hasMatch())
            return Fail(error, QStringLiteral("\"%1\": \"%2\" is no host name or address").arg(text, host));
    }
    bool ok = false;
    const uint number = port.toUInt(&ok);
    if (!ok || number < 1 || number > 65535 || port.startsWith(QLatin1Char('+')))
        return Fail(error, QStringLiteral("\"%1\": \"%2\" is no port number (1 to 65535)").arg(text, port));
    entry.host = host;
    entry.port = quint16(number);
    return true;
}

} // namespace

QString PortEntryForms()
{
    return QStringLiteral("a device path (/dev/ttyUSB0), tcp://HOST:PORT or rfc2217://HOST:PORT");
}

std::optional<PortEntry> ParsePortEntry(const QString &text, QString *error)
{
    PortEntry entry;
    const qsizetype scheme = text.indexOf(QLatin1String("://"));
    if (scheme < 0) {
        if (text.isEmpty()) {
            Fail(error, QStringLiteral("an empty port entry"));
            return std::nullopt;
        }
        // "host:4001" is a server without its kind, not a device.
        static const QRegularExpression hostAndPort(QStringLiteral("^[^/]+:\\d+$"));
        if (hostAndPort.match(text).hasMatch()) {
            Fail(error, QStringLiteral("\"%1\": say which kind of server, tcp://%1 or rfc2217://%1").arg(text));
            return std::nullopt;
        }
        entry.device = text;
        return entry;
    }
    const QString kind = text.left(scheme).toLower();
    if (kind == QLatin1String("tcp"))
        entry.kind = PortEntry::Kind::RawTcp;
    else if (kind == QLatin1String("rfc2217"))
        entry.kind = PortEntry::Kind::Rfc2217;
    else {
        Fail(error, QStringLiteral("\"%1\": unknown kind \"%2\"; use %3").arg(text, kind, PortEntryForms()));
        return std::nullopt;
    }
    if (!ParseHostAndPort(text, text.mid(scheme + 3), entry, error))
        return std::nullopt;
    return entry;
}

std::optional<QStringList> ParsePortList(const QString &text, QString *error)
{
    const bool commas = text.contains(QLatin1String("://")) || !text.contains(QLatin1Char(':'));
    QStringList entries;
    for (const QString &part : text.split(commas ? QLatin1Char(',') : QLatin1Char(':'))) {
        const QString entry = part.trimmed();
        if (entry.isEmpty())
            continue;
        // "host:4001" split at its colon leaves a bare number, never a device.
        static const QRegularExpression number(QStringLiteral("^\\d+$"));
        if (!commas && number.match(entry).hasMatch()) {
            Fail(error, QStringLiteral("\"%1\": say which kind of server, tcp://HOST:PORT or rfc2217://HOST:PORT")
                            .arg(text.trimmed()));
            return std::nullopt;
        }
        if (!ParsePortEntry(entry, error))
            return std::nullopt;
        entries << entry;
    }
    return entries;
}
