#include "EventStream.h"

#include <QJsonDocument>

QList<QPair<QByteArray, QByteArray>> SecurityHeaders();

namespace {
// A comment now and then keeps the connection and the page's idea of it alive.
constexpr int KeepAliveMs = 15000;
}

EventStream::EventStream()
{
    keepAlive.setInterval(KeepAliveMs);
    connect(&keepAlive, &QTimer::timeout, this, [this] {
        for (Listener &listener : listeners)
            Write(listener, ": still here\n\n");
    });
    keepAlive.start();
}

void EventStream::Add(QTcpSocket *socket, const Account &account)
{
    listeners.removeIf([](const Listener &l) { return !l.socket || l.socket->state() != QAbstractSocket::ConnectedState; });
    QByteArray header = "HTTP/1.1 200 OK\r\nContent-Type: text/event-stream\r\n";
    for (const auto &[name, value] : SecurityHeaders())
        header += name + ": " + value + "\r\n";
    if (listeners.size() >= MostListeners) {
        socket->write("HTTP/1.1 503 Service Unavailable\r\nContent-Length: 0\r\nConnection: close\r\n\r\n");
        socket->disconnectFromHost();
        return;
    }
    listeners.append({socket, account.units});
    Write(listeners.last(), header + "\r\n: hello\n\n");
}

void EventStream::Send(const QString &unit, const QJsonObject &data)
{
    const QByteArray event = "event: unit\ndata: " + QJsonDocument(data).toJson(QJsonDocument::Compact) + "\n\n";
    for (Listener &listener : listeners)
        if (listener.units.isEmpty() || listener.units.contains(unit))
            Write(listener, event);
}

void EventStream::Write(Listener &listener, const QByteArray &bytes)
{
    // A page that reads nothing any more is let go rather than buffered for.
    if (listener.socket && listener.socket->state() == QAbstractSocket::ConnectedState)
        listener.socket->bytesToWrite() > 1024 * 1024 ? listener.socket->abort() : void(listener.socket->write(bytes));
}
