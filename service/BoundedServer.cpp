#include "BoundedServer.h"

#include <QMetaMethod>
#include <QSslSocket>
#include <QTimer>
#include <algorithm>
#include <functional>
#include <malloc.h>
#include <sys/socket.h>

namespace {

constexpr int DrainMs = 2000;
// A body may come as slowly as 8 KB/s once the head's time is over.
constexpr qint64 BodyBytesPerMs = 8;

QByteArray Refusal(int status, const char *reason, const char *text, const char *code)
{
    const QByteArray body = QByteArrayLiteral("{\"error\":\"") + text + "\",\"code\":\"" + code + "\"}";
    return "HTTP/1.1 " + QByteArray::number(status) + ' ' + reason + "\r\nContent-Type: application/json\r\n"
        + "Content-Length: " + QByteArray::number(body.size()) + "\r\nConnection: close\r\n\r\n" + body;
}

bool IsToken(const QByteArray &text)
{
    static const QByteArray marks = QByteArrayLiteral("!#$%&'*+-.^_`|~");
    return !text.isEmpty() && std::all_of(text.begin(), text.end(), [](char c) {
        return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || marks.contains(c);
    });
}

bool IsRequestLine(const QByteArray &line)
{
    static const QList<QByteArray> methods{"GET", "HEAD", "POST", "PUT", "DELETE", "OPTIONS", "PATCH"};
    const QList<QByteArray> parts = line.split(' ');
    return parts.size() == 3 && methods.contains(parts[0]) && parts[1].startsWith('/')
        && std::all_of(parts[1].begin(), parts[1].end(), [](char c) { return c > ' ' && c < 127; })
        && (parts[2] == "HTTP/1.1" || parts[2] == "HTTP/1.0");
}

bool IsFieldValue(const QByteArray &value)
{
    return std::none_of(value.begin(), value.end(), [](char c) {
        return (uchar(c) < ' ' && c != '\t') || uchar(c) == 127;
    });
}

// Peers are told apart by address; a peer with IPv6 has a whole /64 to choose from.
QHostAddress AddressKey(const QHostAddress &peer)
{
    bool v4 = false;
    const quint32 address = peer.toIPv4Address(&v4);
    if (v4)
        return QHostAddress(address);
    Q_IPV6ADDR v6 = peer.toIPv6Address();
    std::fill(std::begin(v6.c) + 8, std::end(v6.c), quint8(0));
    return QHostAddress(v6);
}

// Tells its guard when the HTTP server lets go of it: a request the server cannot parse
// makes it drop every connection to the socket's signals and leave it open, unread.
template <class Base>
class WatchedSocket : public Base
{
public:
    explicit WatchedSocket(QObject *parent) : Base(parent) {}
    std::function<void()> letGo;

protected:
    void disconnectNotify(const QMetaMethod &signal) override
    {
        if (!signal.isValid() && letGo)
            letGo();
    }
};

} // namespace

// Follows the requests on one connection by their framing alone: where a head ends
// and how long the body after it is. It looks at the bytes before the HTTP server
// takes them, refuses a request that breaks a rule or goes over a bound, and keeps
// the one clock that fits what the connection is doing.
class RequestGuard : public QObject
{
public:
    RequestGuard(QTcpSocket *socket, const BoundedServer::Bounds &bounds) : QObject(socket), socket(socket), bounds(bounds)
    {
        for (QTimer *clock : {&deadline, &idle}) {
            clock->setSingleShot(true);
            connect(clock, &QTimer::timeout, this, &RequestGuard::Close);
        }
        idle.setInterval(bounds.idleMs);
        connect(socket, &QTcpSocket::readyRead, this, &RequestGuard::Look);
        connect(socket, &QTcpSocket::bytesWritten, this, &RequestGuard::Answering);
        // The first head is due within the head's time of connecting (or of the TLS handshake's start).
        deadline.start(bounds.headMs);
    }

    // Closing it now loses no request on its way in and no awaited answer.
    bool Spare() const { return phase == Phase::Head || phase == Phase::Between; }
    void Close()
    {
        phase = Phase::Closed;
        socket->abort();
        socket->deleteLater();
    }
    void LetGo() { Refuse(400, "Bad Request", "unreadable request", "unreadable-request"); }

private:
    enum class Phase { Between, Head, Body, Waiting, Closed };

    void Look()
    {
        // What the HTTP server left unread last time was looked at already.
        const QByteArray fresh = socket->peek(socket->bytesAvailable()).mid(qsizetype(unread));
        QMetaObject::invokeMethod(this, [this] { unread = socket->bytesAvailable(); }, Qt::QueuedConnection);
        qsizetype at = 0;
        while (at < fresh.size() && phase != Phase::Closed) {
            if (phase == Phase::Body) {
                const qint64 taken = std::min<qint64>(bodyLeft, fresh.size() - at);
                at += taken;
                if ((bodyLeft -= taken) == 0)
                    Arrived();
                continue;
            }
            if (phase != Phase::Head) {
                // A head's time runs from its first byte, whatever comes after.
                phase = Phase::Head;
                idle.stop();
                deadline.start(bounds.headMs);
            }
            const qsizetype lf = fresh.indexOf('\n', at);
            const qsizetype end = lf < 0 ? fresh.size() : lf + 1;
            line.append(fresh.constData() + at, end - at);
            headBytes += end - at;
            at = end;
            if (headBytes > BoundedServer::MostHeaderBytes)
                return Refuse(431, "Request Header Fields Too Large", "headers over 16 KB", "headers-too-large");
            if (lf >= 0)
                TakeLine();
        }
    }

    void TakeLine()
    {
        if (!line.endsWith("\r\n") || line.count('\r') != 1)
            return Refuse(400, "Bad Request", "a line ends in CR LF", "bad-line-end");
        const QByteArray text = line.chopped(2);
        line.clear();
        if (!requestLine) {
            // An empty line before a request is allowed.
            if (!text.isEmpty() && !(requestLine = IsRequestLine(text)))
                Refuse(400, "Bad Request", "bad request line", "bad-request-line");
        } else if (text.isEmpty()) {
            HeadEnded();
        } else {
            TakeField(text);
        }
    }

    void TakeField(const QByteArray &text)
    {
        // A line folded onto the one before it is read one way by one parser and another
        // way by the next; neither way is taken.
        if (text.startsWith(' ') || text.startsWith('\t'))
            return Refuse(400, "Bad Request", "a header continues on the next line", "header-continued");
        const qsizetype colon = text.indexOf(':');
        const QByteArray name = text.left(colon).toLower(), value = text.mid(colon + 1);
        if (colon <= 0 || !IsToken(name) || !IsFieldValue(value))
            return Refuse(400, "Bad Request", "bad header line", "bad-header-line");
        if (name == "transfer-encoding")
            return Refuse(411, "Length Required", "a body needs its Content-Length", "length-required");
        if (name == "content-length") {
            const QByteArray digits = value.trimmed();
            if (length >= 0 || digits.isEmpty() || digits.size() > 18
                || !std::all_of(digits.begin(), digits.end(), [](char c) { return c >= '0' && c <= '9'; }))
                return Refuse(400, "Bad Request", "one Content-Length of digits", "bad-content-length");
            length = digits.toLongLong();
        }
    }

    void HeadEnded()
    {
        if (length > BoundedServer::MostBodyBytes)
            return Refuse(413, "Payload Too Large", "body over 1 MB", "body-too-large");
        bodyLeft = std::max<qint64>(length, 0);
        requestLine = false;
        length = -1;
        headBytes = 0;
        if (bodyLeft == 0)
            return Arrived();
        phase = Phase::Body;
        deadline.start(int(bounds.headMs + bodyLeft / BodyBytesPerMs));
    }

    // A whole request is with the HTTP server: its answer may wait for a unit.
    void Arrived()
    {
        phase = Phase::Waiting;
        deadline.start(bounds.answerMs);
    }

    // The answer's bytes go out, and those of an event stream keep coming. A second
    // request sent before the first one's answer waits only the idle time after it.
    void Answering()
    {
        if (phase == Phase::Waiting)
            phase = Phase::Between;
        if (phase == Phase::Between) {
            deadline.stop();
            idle.start();
        }
    }

    // The answer goes out; what the peer still sends is read and dropped for a moment, so
    // that closing does not reset the connection before the peer has read the answer.
    // The HTTP server reads no more of this connection.
    void Refuse(int status, const char *reason, const char *text, const char *code)
    {
        phase = Phase::Closed;
        deadline.stop();
        idle.stop();
        socket->readAll();
        QObject::disconnect(socket, &QTcpSocket::readyRead, nullptr, nullptr);
        QObject::disconnect(socket, &QTcpSocket::bytesWritten, this, nullptr);
        connect(socket, &QTcpSocket::readyRead, this, [this] {
            socket->readAll();
            if ((drained += 1) > 4096)
                Close();
        });
        socket->write(Refusal(status, reason, text, code));
        socket->flush();
        if (!qobject_cast<QSslSocket *>(socket))
            ::shutdown(int(socket->socketDescriptor()), SHUT_WR);
        QTimer::singleShot(DrainMs, this, &RequestGuard::Close);
    }

    QTcpSocket *socket;
    const BoundedServer::Bounds bounds;
    QTimer deadline;  // the head's, the body's, or the answer's
    QTimer idle;
    Phase phase = Phase::Head;
    QByteArray line;  // the head's line so far
    qint64 headBytes = 0;
    bool requestLine = false;
    qint64 length = -1;  // the head's Content-Length, if it has one
    qint64 bodyLeft = 0;
    qint64 unread = 0;
    int drained = 0;  // reads after the refusal
};

BoundedServer::BoundedServer(Bounds bounds, std::optional<QSslConfiguration> tls, QObject *parent)
    : QTcpServer(parent), bounds(bounds), tls(std::move(tls))
{
    // A burst of connections waits to be accepted rather than being dropped.
    setListenBacklogSize(512);
    // The heap keeps what a burst of connections freed unless asked to give it back.
    trim.setSingleShot(true);
    trim.setInterval(1000);
    connect(&trim, &QTimer::timeout, this, [] { malloc_trim(0); });
}

void BoundedServer::incomingConnection(qintptr descriptor)
{
    QTcpSocket *socket = nullptr;
    std::function<void()> *letGo = nullptr;
    if (tls) {
        auto *secure = new WatchedSocket<QSslSocket>(this);
        socket = secure;
        letGo = &secure->letGo;
    } else {
        auto *plain = new WatchedSocket<QTcpSocket>(this);
        socket = plain;
        letGo = &plain->letGo;
    }
    const bool connected = socket->setSocketDescriptor(descriptor);
    const QHostAddress peer = AddressKey(socket->peerAddress());
    if (!connected || held.value(peer).size() >= bounds.perAddress
        || (open >= bounds.connections && !MakeRoomFor(peer))) {
        socket->abort();
        socket->deleteLater();
        return;
    }
    ++open;
    // Nothing a peer sends piles up beyond one whole request.
    socket->setReadBufferSize(MostHeaderBytes + MostBodyBytes);
    connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
    auto *guard = new RequestGuard(socket, bounds);
    held[peer] << guard;
    connect(guard, &QObject::destroyed, this, [this, peer, guard] { Forget(peer, guard); });
    *letGo = [guard] { QMetaObject::invokeMethod(guard, &RequestGuard::LetGo, Qt::QueuedConnection); };
    if (auto *secure = qobject_cast<QSslSocket *>(socket)) {
        secure->setSslConfiguration(*tls);
        secure->startServerEncryption();
    }
    addPendingConnection(socket);
}

void BoundedServer::Forget(const QHostAddress &peer, RequestGuard *guard)
{
    const auto mine = held.find(peer);
    if (mine == held.end() || !mine->removeOne(guard))
        return;
    --open;
    if (mine->isEmpty())
        held.erase(mine);
    if (!trim.isActive())
        trim.start();
}

// With every place taken, a newcomer takes the place of a spare connection of the address
// holding the most, as long as that address would still hold more than the newcomer.
bool BoundedServer::MakeRoomFor(const QHostAddress &peer)
{
    const qsizetype mine = held.value(peer).size();
    auto most = held.end();
    for (auto it = held.begin(); it != held.end(); ++it)
        if (most == held.end() || it->size() > most->size())
            most = it;
    if (most == held.end() || most->size() <= mine + 1)
        return false;
    for (RequestGuard *guard : *most)
        if (guard->Spare()) {
            const QHostAddress key = most.key();
            Forget(key, guard);
            guard->Close();
            return true;
        }
    return false;
}
