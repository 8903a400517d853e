#include "SessionFile.h"

#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSaveFile>
#include <sys/stat.h>
#include <unistd.h>

namespace {

const QString Mark = QStringLiteral("quorind-sessions");
constexpr int Version = 1;
// Far above what MostSessions sessions take, far below what would hurt to read.
constexpr qint64 MostBytes = 8 * 1024 * 1024;
constexpr int KeyBytes = 32;

} // namespace

std::optional<SessionTable> ReadSessionFile(const QString &path, QString *error)
{
    const auto refuse = [&](const QString &why) {
        *error = QStringLiteral("%1: %2").arg(path, why);
        return std::optional<SessionTable>();
    };
    const QFileInfo info(path);
    if (!info.exists() && !info.isSymLink())
        return SessionTable();
    // Whoever else could write it could log themselves in.
    if (info.isSymLink() || !info.isFile())
        return refuse(QStringLiteral("not a regular file"));
    if (info.ownerId() != ::geteuid() || (info.permissions() & (QFile::WriteGroup | QFile::WriteOther)))
        return refuse(QStringLiteral("not owned and written by this service alone"));
    if (info.size() > MostBytes)
        return refuse(QStringLiteral("over %1 bytes").arg(MostBytes));
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return refuse(file.errorString());
    QJsonParseError parse;
    const QJsonObject root = QJsonDocument::fromJson(file.read(MostBytes), &parse).object();
    if (parse.error != QJsonParseError::NoError || root[Mark].toInt() != Version || !root[QStringLiteral("sessions")].isArray())
        return refuse(QStringLiteral("not a sessions file of this service"));
    const QJsonArray list = root[QStringLiteral("sessions")].toArray();
    if (list.size() > Sessions::MostSessions)
        return refuse(QStringLiteral("more than %1 sessions").arg(Sessions::MostSessions));
    SessionTable sessions;
    for (const QJsonValue &value : list) {
        const QJsonObject o = value.toObject();
        const QByteArray key = QByteArray::fromHex(o[QStringLiteral("token-sha256")].toString().toLatin1());
        const Sessions::Session session{o[QStringLiteral("user")].toString(),
                                        QByteArray::fromHex(o[QStringLiteral("stamp")].toString().toLatin1()),
                                        QDateTime::fromMSecsSinceEpoch(qint64(o[QStringLiteral("used")].toDouble()), Qt::UTC)};
        if (key.size() != KeyBytes || session.user.isEmpty() || session.stamp.isEmpty() || sessions.contains(key))
            return refuse(QStringLiteral("a session is damaged"));
        sessions.insert(key, session);
    }
    return sessions;
}

bool WriteSessionFile(const QString &path, const SessionTable &sessions, QString *error)
{
    QJsonArray list;
    for (auto it = sessions.cbegin(); it != sessions.cend(); ++it)
        list.append(QJsonObject{{QStringLiteral("token-sha256"), QString::fromLatin1(it.key().toHex())},
                                {QStringLiteral("user"), it->user},
                                {QStringLiteral("stamp"), QString::fromLatin1(it->stamp.toHex())},
                                {QStringLiteral("used"), double(it->lastUsed.toMSecsSinceEpoch())}});
    QSaveFile file(path);
    const bool saved = file.open(QIODevice::WriteOnly) && ::fchmod(file.handle(), S_IRUSR | S_IWUSR) == 0
        && file.write(QJsonDocument(QJsonObject{{Mark, Version}, {QStringLiteral("sessions"), list}}).toJson(QJsonDocument::Compact)) >= 0
        && file.commit();
    if (!saved)
        *error = QStringLiteral("%1: %2").arg(path, file.errorString());
    return saved;
}
