#pragma once

#include <QDateTime>
#include <QHash>
#include <QHostAddress>
#include <QString>

// Who is logged in, by token: tokens come from the system's random source and expire
// after 12 hours unused. Failed logins are counted per address, so that guessing slows down.
class Sessions
{
public:
    static constexpr qint64 IdleSeconds = 12 * 3600;
    static constexpr int MostSessions = 10000;

    QString Open(const QString &user);
    // The user of a live token, touched now; empty when unknown or expired.
    QString Resolve(const QString &token);
    void Close(const QString &token);
    // What a page must send beside the session cookie when it changes something: a foreign
    // page that makes the browser send the cookie cannot know it.
    QString Csrf(const QString &token) const { return sessions.value(token).csrf; }
    // Every session of this user, when the account changes or goes.
    void CloseAllOf(const QString &user);

    // How long to wait before answering a login from address: 0 for the first few tries.
    int LoginDelayMs(const QHostAddress &address) const;
    void LoginFailed(const QHostAddress &address);
    void LoginSucceeded(const QHostAddress &address);

private:
    struct Session
    {
        QString user;
        QDateTime lastUsed;
        QString csrf;
    };
    void DropExpired();
    static QString RandomToken();

    QHash<QString, Session> sessions;
    QHash<QString, int> failures;  // by address
};
