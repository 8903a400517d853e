#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QHash>
#include <QString>

// Who is logged in, by token: tokens come from the system's random source and expire
// after 12 hours unused. Each session remembers the stamp of its account when it was
// opened: a changed account ends it.
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
        QString csrf;
    };

    QString Open(const QString &user, const QByteArray &stamp);
    // The live session of token, touched now; nullptr when unknown or expired.
    const Session *Resolve(const QString &token);
    // Whether token is a live session, without touching it.
    bool Alive(const QString &token) const;
    void Close(const QString &token);
    // What a page must send beside the session cookie when it changes something: a foreign
    // page that makes the browser send the cookie cannot know it.
    QString Csrf(const QString &token) const { return sessions.value(token).csrf; }
    // Every session of this user, when the account changes or goes.
    void CloseAllOf(const QString &user);

private:
    void DropExpired();
    static QString RandomToken();

    QHash<QString, Session> sessions;
};
