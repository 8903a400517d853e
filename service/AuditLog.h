#pragma once

#include <QFile>
#include <QJsonObject>
#include <QList>
#include <QString>

// Every change sent to a unit, one JSON object a line, appended and flushed before
// the change is answered. Holds no password or token, ever.
class AuditLog
{
public:
    bool Open(const QString &path, QString *error);
    // Adds "time" (UTC, ISO 8601) to entry and writes it; false when it could not be written.
    bool Append(QJsonObject entry);
    // The newest entries first, at most limit of them, those matching unit and user when given.
    QList<QJsonObject> Recent(int limit, const QString &unit = {}, const QString &user = {}) const;

private:
    QString path;
    QFile file;
};
