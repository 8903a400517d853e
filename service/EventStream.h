#pragma once

#include "Accounts.h"

#include <QJsonObject>
#include <QList>
#include <QObject>
#include <QPointer>
#include <QTcpSocket>
#include <QTimer>
#include <functional>

// Server-sent events for the open pages: a unit's state whenever it changes, sent to
// every page whose person may see that unit. A page reconnects by itself after a restart.
// Streams are bounded in all, per account and per session, and each ends with its session.
class EventStream : public QObject
{
    Q_OBJECT

public:
    static constexpr int MostListeners = 200;
    static constexpr int MostPerAccount = 32;
    static constexpr int MostPerSession = 4;

    EventStream();

    // Answers the request on socket with the event stream's header and keeps it; the
    // connection carries nothing else from now on. server stops reading it.
    void Add(QTcpSocket *socket, const Account &account, const QString &token, QObject *server);
    void Send(const QString &unit, const QJsonObject &data);
    // Ends every stream whose session is no longer live.
    void Prune(const std::function<bool(const QString &token)> &live);

private:
    struct Listener
    {
        QPointer<QTcpSocket> socket;
        QStringList units;  // empty: every unit
        QString user;
        QString token;
    };
    void Write(Listener &listener, const QByteArray &bytes);
    static void Refuse(QTcpSocket *socket, const QByteArray &why);
    void DropClosed();

    QList<Listener> listeners;
    QTimer keepAlive;
};
