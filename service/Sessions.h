#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QHash>
#include <QString>

class Accounts;

// Who is logged in, by token: tokens come from the system's random source and expire
// after 12 hours unused. Each session remembers the stamp of its account when it was
// opened: a changed account ends it. Only the SHA-256 of a token is kept, in memory and
// in the state file that carries the sessions across a restart.
class Sessions
{
public:
    static constexpr qint64 IdleSeconds = 12 * 3600;
    static constexpr int MostSessions = 10000;

    struct Session
    {
        QString user;
        QByteArray stamp;
        QDateTime lastUsed;
    };

    // Sessions kept in path (none: in memory only).
    explicit Sessions(const QString &path = {}) : path(path) {}
    // The sessions the file holds, less those expired or whose account is gone or changed.
    // A file that is damaged or not one of ours gives none, and false with why in *error.
    bool Load(const Accounts &accounts, QString *error);

    QString Open(const QString &user, const QByteArray &stamp);
    // The live session of token, touched now; nullptr when unknown or expired.
    const Session *Resolve(const QString &token);
    // Whether token is a live session, without touching it.
    bool Alive(const QString &token) const;
    void Close(const QString &token);
    // What a page must send beside the session cookie when it changes something: a foreign
    // page that makes the browser send the cookie cannot know it. Derived from the token,
    // so that it outlives a restart without being stored.
    QString Csrf(const QString &token) const;
    // Every session of this user, when the account changes or goes.
    void CloseAllOf(const QString &user);
    // Writes the sessions when they changed, and the times of use every minute or so.
    void Flush();
    // Writes them now, as the service leaves.
    void Save();

private:
    void DropExpired();
    static QString RandomToken();
    static QByteArray Key(const QString &token);

    QHash<QByteArray, Session> sessions;  // by the SHA-256 of the token
    QString path;
    bool changed = false;  // a session began or ended since the last write
    bool touched = false;  // one was used since
    QDateTime written;
    QString lastFault;     // said once, not on every write
};
