#pragma once

// What the service benchmarks share: waiting with the event loop running, a free port and
// one HTTP request on a connection of its own.

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QHostAddress>
#include <QTcpServer>
#include <QTcpSocket>

inline void Wait(int ms)
{
    QElapsedTimer clock;
    clock.start();
    while (clock.elapsed() < ms)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
}

inline quint16 FreePort()
{
    QTcpServer probe;
    probe.listen(QHostAddress::LocalHost);
    return probe.serverPort();
}

// One request on a connection of its own; the body of the answer.
inline QByteArray Request(quint16 port, const QByteArray &method, const QByteArray &path, const QByteArray &token,
                          const QByteArray &body = {})
{
    QTcpSocket socket;
    socket.connectToHost(QHostAddress::LocalHost, port);
    if (!socket.waitForConnected(2000))
        return {};
    socket.write(method + ' ' + path + " HTTP/1.1\r\nHost: 127.0.0.1\r\nConnection: close\r\nAuthorization: Bearer "
                 + token + "\r\nContent-Type: application/json\r\nContent-Length: " + QByteArray::number(body.size())
                 + "\r\n\r\n" + body);
    QByteArray got;
    while (socket.waitForReadyRead(5000))
        got += socket.readAll();
    return got.mid(got.indexOf("\r\n\r\n") + 4);
}
