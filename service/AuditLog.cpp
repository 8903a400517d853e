#include "AuditLog.h"

#include <QDateTime>
#include <QFileInfo>
#include <QJsonDocument>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <sys/stat.h>
#include <unistd.h>

namespace {
// Only the end of a long log is read back for /audit.
constexpr qint64 TailBytes = 4 * 1024 * 1024;

// The service machine's local time with its offset, as the people of the venue read it.
QString LocalTime(const QDateTime &when)
{
    const QDateTime local = when.toLocalTime();
    return local.toOffsetFromUtc(local.offsetFromUtc()).toString(Qt::ISODateWithMs);
}

} // namespace

bool AuditLog::Open(const QString &logPath, QString *error)
{
    path = logPath;
    file.setFileName(path);
    // A device such as a pipe to a logger cannot be appended to; it is written to.
    const bool regular = !QFileInfo::exists(path) || QFileInfo(path).isFile();
    if (!file.open(QIODevice::WriteOnly | QIODevice::Unbuffered | (regular ? QIODevice::Append : QIODevice::NotOpen))) {
        *error = QStringLiteral("%1: %2").arg(path, file.errorString());
        return false;
    }
    // Who changed what is for the service and its administrators' group alone.
    if (regular)
        ::fchmod(file.handle(), S_IRUSR | S_IWUSR | S_IRGRP);
    return true;
}

bool AuditLog::Append(QJsonObject entry)
{
    entry.insert(QStringLiteral("time"), LocalTime(QDateTime::currentDateTime()));
    const QByteArray line = QJsonDocument(entry).toJson(QJsonDocument::Compact) + '\n';
    errno = 0;
    const bool written = file.write(line) == line.size() && file.flush() && ::fdatasync(file.handle()) == 0;
    if (!written) {
        fault = errno ? QString::fromLocal8Bit(std::strerror(errno)) : file.errorString();
        ++failures;
        std::fprintf(stderr, "quorind: cannot write the audit log %s: %s\n", qPrintable(path), qPrintable(fault));
    }
    if (written == failing && watcher) {
        failing = !written;
        watcher(written, fault);
    }
    return written;
}

std::optional<QList<QJsonObject>> AuditLog::Recent(int limit, const QString &unit, const QString &user) const
{
    QFile reader(path);
    if (!QFileInfo(path).isFile() || !reader.open(QIODevice::ReadOnly))
        return std::nullopt;
    if (reader.size() > TailBytes)
        reader.seek(reader.size() - TailBytes);
    const QList<QByteArray> lines = reader.read(TailBytes).split('\n');
    QList<QJsonObject> found;
    for (auto line = lines.crbegin(); line != lines.crend() && found.size() < limit; ++line) {
        QJsonObject entry = QJsonDocument::fromJson(*line).object();
        // A change asked for has its result on a later line.
        if (entry.isEmpty() || entry[QStringLiteral("result")] == QLatin1String("asked"))
            continue;
        if ((!unit.isEmpty() && entry[QStringLiteral("unit")].toString() != unit)
            || (!user.isEmpty() && entry[QStringLiteral("user")].toString() != user))
            continue;
        // Lines written in UTC before are given as the newer ones.
        const QDateTime time = QDateTime::fromString(entry[QStringLiteral("time")].toString(), Qt::ISODateWithMs);
        if (time.isValid())
            entry[QStringLiteral("time")] = LocalTime(time);
        found.append(entry);
    }
    return found;
}
