#pragma once

#include <QFile>
#include <QJsonObject>
#include <QList>
#include <QString>
#include <functional>
#include <optional>

// Every change sent to a unit, one JSON object a line, appended and flushed before
// the change is answered; what was asked is written before anything is sent, so that
// no change reaches a unit unless the log takes it. Holds no password or token, ever.
class AuditLog
{
public:
    bool Open(const QString &path, QString *error);
    // Adds "time" (local time with its offset, ISO 8601) to entry and writes it; false when it could not be
    // written, which is said on standard error.
    bool Append(QJsonObject entry);
    // The newest entries first, at most limit of them, those matching unit and user when
    // given; read from the end of a regular file only, nullopt for any other.
    std::optional<QList<QJsonObject>> Recent(int limit, const QString &unit = {}, const QString &user = {}) const;
    // Why the last Append failed.
    QString Fault() const { return fault; }
    // Lines that could not be written since the service started.
    quint64 Failures() const { return failures; }
    // watch hears when lines stop being written (with why) and when they are written again.
    void Watch(std::function<void(bool written, const QString &fault)> watch) { watcher = std::move(watch); }

private:
    QString path;
    QFile file;
    QString fault;
    quint64 failures = 0;
    bool failing = false;
    std::function<void(bool written, const QString &fault)> watcher;
};
