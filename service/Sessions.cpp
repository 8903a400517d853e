#include "Sessions.h"

#include "Accounts.h"
#include "SessionFile.h"

#include <QCryptographicHash>
#include <QRandomGenerator>
#include <algorithm>
#include <cstdio>

namespace {
// Times of use are written now and then: a restart forgets at most this much of them.
constexpr qint64 TouchWriteSeconds = 60;
}

QString Sessions::RandomToken()
{
    QByteArray bytes(32, '\0');
    QRandomGenerator::system()->fillRange(reinterpret_cast<quint32 *>(bytes.data()), bytes.size() / 4);
    return QString::fromLatin1(bytes.toHex());
}

QByteArray Sessions::Key(const QString &token)
{
    return QCryptographicHash::hash(token.toLatin1(), QCryptographicHash::Sha256);
}

bool Sessions::Load(const Accounts &accounts, QString *error)
{
    std::optional<SessionTable> stored = ReadSessionFile(path, error);
    if (!stored)
        return false;
    sessions = std::move(*stored);
    // Those ended while the service was down leave the file at the next write.
    changed = sessions.removeIf([&](const auto &entry) {
        const Account *account = accounts.Find(entry.value().user);
        return !account || account->Stamp() != entry.value().stamp;
    }) > 0;
    DropExpired();
    return true;
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
    sessions.insert(Key(token), {user, stamp, QDateTime::currentDateTimeUtc()});
    changed = true;
    Flush();
    return token;
}

const Sessions::Session *Sessions::Resolve(const QString &token)
{
    const auto found = sessions.find(Key(token));
    if (found == sessions.end())
        return nullptr;
    const QDateTime now = QDateTime::currentDateTimeUtc();
    if (found->lastUsed.secsTo(now) > IdleSeconds) {
        sessions.erase(found);
        changed = true;
        return nullptr;
    }
    found->lastUsed = now;
    touched = true;
    return &*found;
}

bool Sessions::Alive(const QString &token) const
{
    const auto found = sessions.constFind(Key(token));
    return found != sessions.constEnd() && found->lastUsed.secsTo(QDateTime::currentDateTimeUtc()) <= IdleSeconds;
}

QString Sessions::Csrf(const QString &token) const
{
    if (!sessions.contains(Key(token)))
        return {};
    return QString::fromLatin1(QCryptographicHash::hash("csrf\n" + token.toLatin1(), QCryptographicHash::Sha256).toHex());
}

void Sessions::Close(const QString &token)
{
    if (sessions.remove(Key(token))) {
        changed = true;
        Flush();
    }
}

void Sessions::CloseAllOf(const QString &user)
{
    if (sessions.removeIf([&](const auto &entry) { return entry.value().user == user; }) > 0) {
        changed = true;
        Flush();
    }
}

void Sessions::Flush()
{
    if (changed || (touched && written.secsTo(QDateTime::currentDateTimeUtc()) >= TouchWriteSeconds))
        Save();
}

void Sessions::Save()
{
    if (path.isEmpty())
        return;
    QString fault;
    // A file that cannot be written is tried again at the next change or a minute on, not every second.
    changed = false;
    written = QDateTime::currentDateTimeUtc();
    if (WriteSessionFile(path, sessions, &fault))
        touched = false;
    else if (fault != lastFault)
        std::fprintf(stderr, "quorind: cannot keep the sessions across a restart: %s\n", qPrintable(fault));
    lastFault = fault;
}

void Sessions::DropExpired()
{
    const QDateTime now = QDateTime::currentDateTimeUtc();
    if (sessions.removeIf([&](const auto &entry) { return entry.value().lastUsed.secsTo(now) > IdleSeconds; }) > 0)
        changed = true;
}
