#pragma once

#include <QSslConfiguration>
#include <QTcpServer>
#include <optional>

// The listening socket under the HTTP server, keeping what a network peer can make
// it hold bounded: connections at once, the request line with its headers, a body
// (by its Content-Length; a body of unknown length is refused), and idle time. A
// request over a bound is answered here and its connection closed; the HTTP server
// never sees it. With a TLS configuration every connection is encrypted.
class BoundedServer : public QTcpServer
{
    Q_OBJECT

public:
    static constexpr int MostConnections = 256;
    static constexpr qint64 MostHeaderBytes = 16 * 1024;
    static constexpr qint64 MostBodyBytes = 1024 * 1024;
    static constexpr int IdleMs = 30000;

    explicit BoundedServer(std::optional<QSslConfiguration> tls = std::nullopt, QObject *parent = nullptr);

protected:
    void incomingConnection(qintptr descriptor) override;

private:
    std::optional<QSslConfiguration> tls;
    int open = 0;
};
