#include "Sessions.h"

#include <QRandomGenerator>
#include <algorithm>

QString Sessions::RandomToken()
{
    QByteArray bytes(32, '\0');
    QRandomGenerator::system()->fillRange(reinterpret_cast<quint32 *>(bytes.data()), bytes.size() / 4);
    return QString::fromLatin1(bytes.toHex());
}

QString Sessions::Open(const QString &user, const QByteArray &stamp)
{
    DropExpired();
    if (sessions.size() >= MostSessions) {
        // The least recently used goes, rather than memory without end.
        const auto oldest = std::min_element(sessions.begin(), sessions.end(), [](const Session &a, const Session &b) {
            return a.lastUsed < b.lastUsed;
        });
        sessions.erase(oldest);
    }
    const QString token = RandomToken();
    sessions.insert(token, {user, stamp, QDateTime::currentDateTimeUtc(), RandomToken()});
    return token;
}

const Sessions::Session *Sessions::Resolve(const QString &token)
{
    const auto found = sessions.find(token);
    if (found == sessions.end())
        return nullptr;
    const QDateTime now = QDateTime::currentDateTimeUtc();
    if (found->lastUsed.secsTo(now) > IdleSeconds) {
        sessions.erase(found);
        return nullptr;
    }
    found->lastUsed = now;
    return &*found;
}

bool Sessions::Alive(const QString &token) const
{
    const auto found = sessions.constFind(token);
    return found != sessions.constEnd() && found->lastUsed.secsTo(QDateTime::currentDateTimeUtc()) <= IdleSeconds;
}

void Sessions::Close(const QString &token)
{
    sessions.remove(token);
}

void Sessions::CloseAllOf(const QString &user)
{
    sessions.removeIf([&](const auto &entry) { return entry.value().user == user; });
}

void Sessions::DropExpired()
{
    const QDateTime now = QDateTime::currentDateTimeUtc();
    sessions.removeIf([&](const auto &entry) { return entry.value().lastUsed.secsTo(now) > IdleSeconds; });
}
