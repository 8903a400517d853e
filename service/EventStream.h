#pragma once

#include "Accounts.h"

#include <QJsonObject>
#include <QList>
#include <QObject>
#include <QPointer>
#include <QTcpSocket>
#include <QTimer>

// Server-sent events for the open pages: a unit's state whenever it changes, sent to
// every page whose person may see that unit. A page reconnects by itself after a restart.
class EventStream : public QObject
{
    Q_OBJECT

public:
    static constexpr int MostListeners = 100;

    EventStream();

    // Answers the request on socket with the event stream's header and keeps it.
    void Add(QTcpSocket *socket, const Account &account);
    void Send(const QString &unit, const QJsonObject &data);

private:
    struct Listener
    {
        QPointer<QTcpSocket> socket;
        QStringList units;  // empty: every unit
    };
    void Write(Listener &listener, const QByteArray &bytes);

    QList<Listener> listeners;
    QTimer keepAlive;
};
