#include "BoundedServer.h"

#include <QSslSocket>
#include <QTimer>
#include <sys/socket.h>

namespace {

constexpr int DrainMs = 2000;

QByteArray Refusal(int status, const char *reason, const char *text)
{
    const QByteArray body = QByteArrayLiteral("{\"error\":\"") + text + "\"}";
    return "HTTP/1.1 " + QByteArray::number(status) + ' ' + reason + "\r\nContent-Type: application/json\r\n"
        + "Content-Length: " + QByteArray::number(body.size()) + "\r\nConnection: close\r\n\r\n" + body;
}

// Follows the requests on one connection by their framing alone: where a header
// ends and how long the body after it is. It looks at the bytes before the HTTP
// server takes them and refuses a request that goes over a bound.
class RequestGuard : public QObject
{
public:
    explicit RequestGuard(QTcpSocket *socket) : QObject(socket), socket(socket)
    {
        idle.setSingleShot(true);
        idle.setInterval(BoundedServer::IdleMs);
        connect(&idle, &QTimer::timeout, socket, &QTcpSocket::abort);
        connect(socket, &QTcpSocket::readyRead, this, &RequestGuard::Look);
        connect(socket, &QTcpSocket::bytesWritten, &idle, qOverload<>(&QTimer::start));
        idle.start();
    }

private:
    void Look()
    {
        idle.start();
        // What the HTTP server left unread last time was looked at already.
        const QByteArray fresh = socket->peek(socket->bytesAvailable()).mid(qsizetype(unread));
        QMetaObject::invokeMethod(this, [this] { unread = socket->bytesAvailable(); }, Qt::QueuedConnection);
        qsizetype at = 0;
        while (at < fresh.size()) {
            if (bodyLeft > 0) {
                const qint64 taken = std::min<qint64>(bodyLeft, fresh.size() - at);
                bodyLeft -= taken;
                at += taken;
                continue;
            }
            header += fresh[at++];
            if (header.endsWith("\r\n\r\n")) {
                if (!HeaderEnded())
                    return;
            } else if (header.size() > BoundedServer::MostHeaderBytes) {
                return Refuse(Refusal(431, "Request Header Fields Too Large", "headers over 16 KB"));
            }
        }
    }

    bool HeaderEnded()
    {
        qint64 length = 0;
        for (const QByteArray &line : header.split('\n')) {
            const QByteArray field = line.trimmed().toLower();
            if (field.startsWith("transfer-encoding:")) {
                Refuse(Refusal(411, "Length Required", "a body needs its Content-Length"));
                return false;
            }
            if (field.startsWith("content-length:")) {
                bool ok = false;
                length = field.mid(15).trimmed().toLongLong(&ok);
                if (!ok || length < 0) {
                    Refuse(Refusal(400, "Bad Request", "bad Content-Length"));
                    return false;
                }
            }
        }
        if (length > BoundedServer::MostBodyBytes) {
            Refuse(Refusal(413, "Payload Too Large", "body over 1 MB"));
            return false;
        }
        header.clear();
        bodyLeft = length;
        return true;
    }

    // The answer goes out; what the peer still sends is read and dropped for a moment, so
    // that closing does not reset the connection before the peer has read the answer.
    void Refuse(const QByteArray &answer)
    {
        socket->readAll();  // nothing of it reaches the HTTP server
        disconnect(socket, &QTcpSocket::readyRead, this, &RequestGuard::Look);
        connect(socket, &QTcpSocket::readyRead, this, [this] {
            socket->readAll();
            if ((drained += 1) > 4096)
                socket->abort();
        });
        socket->write(answer);
        socket->flush();
        if (!qobject_cast<QSslSocket *>(socket))
            ::shutdown(int(socket->socketDescriptor()), SHUT_WR);
        idle.stop();
        QTimer::singleShot(DrainMs, socket, &QTcpSocket::abort);
    }

    QTcpSocket *socket;
    QTimer idle;
    QByteArray header;
    qint64 bodyLeft = 0;
    qint64 unread = 0;
    int drained = 0;  // reads after the refusal
};

} // namespace

BoundedServer::BoundedServer(std::optional<QSslConfiguration> tls, QObject *parent)
    : QTcpServer(parent), tls(std::move(tls))
{
}

void BoundedServer::incomingConnection(qintptr descriptor)
{
    QTcpSocket *socket = tls ? new QSslSocket(this) : new QTcpSocket(this);
    if (!socket->setSocketDescriptor(descriptor) || open >= MostConnections) {
        socket->abort();
        socket->deleteLater();
        return;
    }
    ++open;
    // Nothing a peer sends piles up beyond one whole request.
    socket->setReadBufferSize(MostHeaderBytes + MostBodyBytes);
    connect(socket, &QObject::destroyed, this, [this] { --open; });
    connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
    new RequestGuard(socket);
    if (auto *secure = qobject_cast<QSslSocket *>(socket)) {
        secure->setSslConfiguration(*tls);
        secure->startServerEncryption();
    }
    addPendingConnection(socket);
}
