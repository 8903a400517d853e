#include "Sessions.h"

#include <QRandomGenerator>
#include <algorithm>

namespace {
constexpr int FreeTries = 3;
constexpr int MostDelayMs = 10000;
constexpr int MostAddresses = 10000;
}

QString Sessions::RandomToken()
{
    QByteArray bytes(32, '\0');
    QRandomGenerator::system()->fillRange(reinterpret_cast<quint32 *>(bytes.data()), bytes.size() / 4);
    return QString::fromLatin1(bytes.toHex());
}

QString Sessions::Open(const QString &user)
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
    sessions.insert(token, {user, QDateTime::currentDateTimeUtc(), RandomToken()});
    return token;
}

QString Sessions::Resolve(const QString &token)
{
    const auto found = sessions.find(token);
    if (found == sessions.end())
        return {};
    const QDateTime now = QDateTime::currentDateTimeUtc();
    if (found->lastUsed.secsTo(now) > IdleSeconds) {
        sessions.erase(found);
        return {};
    }
    found->lastUsed = now;
    return found->user;
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

int Sessions::LoginDelayMs(const QHostAddress &address) const
{
    const int failed = failures.value(address.toString());
    return failed <= FreeTries ? 0 : std::min(MostDelayMs, 500 << std::min(failed - FreeTries - 1, 5));
}

void Sessions::LoginFailed(const QHostAddress &address)
{
    if (failures.size() >= MostAddresses && !failures.contains(address.toString()))
        failures.clear();
    ++failures[address.toString()];
}

void Sessions::LoginSucceeded(const QHostAddress &address)
{
    failures.remove(address.toString());
}
