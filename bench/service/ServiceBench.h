#pragma once

// What the service benchmarks share: waiting with the event loop running, a free port and
// one HTTP request on a connection of its own.

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QHostAddress>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
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

// quorind started on config with an admin account "bench": the token of its session.
inline QByteArray StartWithAdmin(QProcess &service, const QString &quorind, const QString &config, quint16 port)
{
    QProcess add;
    add.start(quorind, {QStringLiteral("--config"), config, QStringLiteral("user"), QStringLiteral("add"),
                        QStringLiteral("bench"), QStringLiteral("--role"), QStringLiteral("admin")});
    add.write("bench-password\n");
    add.closeWriteChannel();
    add.waitForFinished();
    service.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    service.start(quorind, {QStringLiteral("--config"), config});
    service.waitForStarted();
    Wait(1000);
    return QJsonDocument::fromJson(Request(port, "POST", "/api/v1/login", {}, R"({"user":"bench","password":"bench-password"})"))
        [QStringLiteral("token")].toString().toLatin1();
}
