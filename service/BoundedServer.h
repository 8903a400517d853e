#pragma once

#include <QHash>
#include <QHostAddress>
#include <QList>
#include <QSslConfiguration>
#include <QTcpServer>
#include <QTimer>
#include <optional>

class RequestGuard;

// The listening socket under the HTTP server, keeping what a network peer can make
// it hold bounded: connections at once, in all and from one address; the request line
// with its headers, in size and in time; a body (by its Content-Length; a body of
// unknown length is refused); and idle time. Each request is read here first, by
// stricter rules than the HTTP server's, so that both agree where it ends; a request
// over a bound or against a rule is answered here and its connection closed, before
// the HTTP server acts on it. With a TLS configuration every connection is encrypted.
class BoundedServer : public QTcpServer
{
    Q_OBJECT

public:
    static constexpr qint64 MostHeaderBytes = 16 * 1024;
    static constexpr qint64 MostBodyBytes = 1024 * 1024;

    struct Bounds
    {
        int connections = 256;
        int perAddress = 32;          // an IPv6 /64 counts as one address
        int headMs = 10000;           // the request line and headers, however slowly they come
        int idleMs = 30000;           // nothing on the way in either direction
        int answerMs = 10 * 60 * 1000;  // a request waiting for its unit
    };

    BoundedServer(Bounds bounds, std::optional<QSslConfiguration> tls, QObject *parent = nullptr);

protected:
    void incomingConnection(qintptr descriptor) override;

private:
    bool MakeRoomFor(const QHostAddress &peer);
    void Forget(const QHostAddress &peer, RequestGuard *guard);

    const Bounds bounds;
    std::optional<QSslConfiguration> tls;
    int open = 0;
    QHash<QHostAddress, QList<RequestGuard *>> held;  // each address's connections, oldest first
    QTimer trim;
};
