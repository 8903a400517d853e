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

void EventStream::DropClosed()
{
    listeners.removeIf([](const Listener &l) { return !l.socket || l.socket->state() != QAbstractSocket::ConnectedState; });
}

void EventStream::Refuse(QTcpSocket *socket, const QByteArray &why)
{
    const QByteArray body = "{\"error\":\"" + why + "\",\"code\":\"too-many-streams\"}";
    socket->write("HTTP/1.1 503 Service Unavailable\r\nContent-Type: application/json\r\nContent-Length: "
                  + QByteArray::number(body.size()) + "\r\nConnection: close\r\n\r\n" + body);
    socket->disconnectFromHost();
}

void EventStream::Add(QTcpSocket *socket, const Account &account, const QString &token, QObject *server)
{
    // Whatever else comes on this connection is not a request any more.
    QObject::disconnect(socket, &QTcpSocket::readyRead, server, nullptr);
    connect(socket, &QTcpSocket::readyRead, socket, [socket] { socket->readAll(); });
    DropClosed();
    const auto count = [this](auto same) { return std::count_if(listeners.cbegin(), listeners.cend(), same); };
    if (listeners.size() >= MostListeners)
        return Refuse(socket, "too many event streams");
    if (count([&](const Listener &l) { return l.user == account.name; }) >= MostPerAccount)
        return Refuse(socket, "too many event streams for this account");
    if (count([&](const Listener &l) { return l.token == token; }) >= MostPerSession)
        return Refuse(socket, "too many event streams for this session");
    QByteArray header = "HTTP/1.1 200 OK\r\nContent-Type: text/event-stream\r\n";
    for (const auto &[name, value] : SecurityHeaders())
        header += name + ": " + value + "\r\n";
    listeners.append({socket, account.units, account.name, token});
    Write(listeners.last(), header + "\r\n: hello\n\n");
}

void EventStream::Send(const QString &unit, const QJsonObject &data)
{
    const QByteArray event = "event: unit\ndata: " + QJsonDocument(data).toJson(QJsonDocument::Compact) + "\n\n";
    for (Listener &listener : listeners)
        if (listener.units.isEmpty() || listener.units.contains(unit))
            Write(listener, event);
}

void EventStream::Prune(const std::function<bool(const QString &token)> &live)
{
    for (Listener &listener : listeners)
        if (listener.socket && !live(listener.token))
            listener.socket->disconnectFromHost();
    DropClosed();
}

void EventStream::Write(Listener &listener, const QByteArray &bytes)
{
    // A page that reads nothing any more is let go rather than buffered for.
    if (listener.socket && listener.socket->state() == QAbstractSocket::ConnectedState)
        listener.socket->bytesToWrite() > 1024 * 1024 ? listener.socket->abort() : void(listener.socket->write(bytes));
}
