#include "AuditLog.h"

#include <QDateTime>
#include <QJsonDocument>
#include <unistd.h>

namespace {
// Only the end of a long log is read back for /audit.
constexpr qint64 TailBytes = 4 * 1024 * 1024;
}

bool AuditLog::Open(const QString &logPath, QString *error)
{
    path = logPath;
    file.setFileName(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Append)) {
        *error = QStringLiteral("%1: %2").arg(path, file.errorString());
        return false;
    }
    return true;
}

bool AuditLog::Append(QJsonObject entry)
{
    entry.insert(QStringLiteral("time"), QDateTime::currentDateTimeUtc().toString(Qt::ISODateWithMs));
    const QByteArray line = QJsonDocument(entry).toJson(QJsonDocument::Compact) + '\n';
    return file.write(line) == line.size() && file.flush() && ::fdatasync(file.handle()) == 0;
}

QList<QJsonObject> AuditLog::Recent(int limit, const QString &unit, const QString &user) const
{
    QFile reader(path);
    if (!reader.open(QIODevice::ReadOnly))
        return {};
    if (reader.size() > TailBytes)
        reader.seek(reader.size() - TailBytes);
    const QList<QByteArray> lines = reader.readAll().split('\n');
    QList<QJsonObject> found;
    for (auto line = lines.crbegin(); line != lines.crend() && found.size() < limit; ++line) {
        const QJsonObject entry = QJsonDocument::fromJson(*line).object();
        if (entry.isEmpty())
            continue;
        if ((unit.isEmpty() || entry[QStringLiteral("unit")].toString() == unit)
            && (user.isEmpty() || entry[QStringLiteral("user")].toString() == user))
            found.append(entry);
    }
    return found;
}
