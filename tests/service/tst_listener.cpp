#include "ServiceFixture.h"

#include <QTcpSocket>
#include <QtTest>
#include <memory>
#include <vector>

namespace {

using Sockets = std::vector<std::unique_ptr<QTcpSocket>>;

std::unique_ptr<QTcpSocket> Connect(quint16 port, const char *from = "127.0.0.1")
{
    auto socket = std::make_unique<QTcpSocket>();
    socket->bind(QHostAddress(QString::fromLatin1(from)));
    socket->connectToHost(QHostAddress::LocalHost, port);
    return socket;
}

// Everything the service says until it closes the connection, or until ms pass.
QByteArray ReadToClose(QTcpSocket &socket, int ms)
{
    QByteArray answer;
    [[maybe_unused]] const bool closed = QTest::qWaitFor([&] {
        answer += socket.readAll();
        return socket.state() == QAbstractSocket::UnconnectedState;
    }, ms);
    return answer + socket.readAll();
}

// What the service says until it has said needle, or until ms pass.
QByteArray ReadUntil(QTcpSocket &socket, const QByteArray &needle, int ms)
{
    QByteArray answer;
    [[maybe_unused]] const bool said = QTest::qWaitFor([&] { return (answer += socket.readAll()).contains(needle); }, ms);
    return answer;
}

QByteArray LoginBody()
{
    return QByteArrayLiteral(R"({"user":"ada","password":"venue-secret"}  )");
}

} // namespace

class TestListener : public QObject
{
    Q_OBJECT

private slots:
    void floodFromOtherAddressesLocksNobodyOut();
    void slowHeadsAndIdleConnectionsAreCut();
    void ambiguousRequestsAreRefusedBeforeTheServerActs();
    void queuedRequestOutlivesTheIdleTime();
};

// 300 idle and 256 trickling connections from one address, and 32 from each of seven
// more that fill every place: a newcomer from another address is still served at once.
void TestListener::floodFromOtherAddressesLocksNobodyOut()
{
    ServiceFixture f(0);
    QVERIFY(f.Start());
    Sockets others, idle, trickling;
    for (int a = 3; a <= 9; ++a)
        for (int i = 0; i < 32; ++i)
            others.push_back(Connect(f.port, QStringLiteral("127.0.0.%1").arg(a).toLatin1().constData()));
    for (int i = 0; i < 300; ++i)
        idle.push_back(Connect(f.port, "127.0.0.2"));
    for (int i = 0; i < 256; ++i)
        trickling.push_back(Connect(f.port, "127.0.0.2"));
    QTimer trickle;
    connect(&trickle, &QTimer::timeout, this, [&trickling] {
        for (auto &socket : trickling)
            if (socket->state() == QAbstractSocket::ConnectedState)
                socket->write("X");
    });
    trickle.start(300);
    QTest::qWait(1500);
    const auto held = [](const Sockets &sockets) {
        return std::count_if(sockets.begin(), sockets.end(),
                             [](const auto &s) { return s->state() == QAbstractSocket::ConnectedState; });
    };
    QVERIFY2(held(idle) + held(trickling) <= 32, "one address holds more than 32 connections");
    QVERIFY(held(others) >= 200);

    QElapsedTimer clock;
    clock.start();
    const auto client = Connect(f.port);
    client->write("GET /api/v1/units HTTP/1.1\r\nHost: x\r\n\r\n");
    const QByteArray answer = ReadUntil(*client, "\r\n\r\n", 5000);
    const qint64 served = clock.elapsed();
    qInfo("a client on 127.0.0.1 was served in %lld ms", served);
    QVERIFY2(answer.startsWith("HTTP/1.1 401"), answer.constData());
    QVERIFY(served < 1000);
}

// A head trickled a byte at a time is cut at its deadline; a keep-alive connection
// with nothing to do lives out its idle time, longer than a head's, and no more.
void TestListener::slowHeadsAndIdleConnectionsAreCut()
{
    ServiceFixture f(0, QStringLiteral("head-seconds=1\nidle-seconds=3"));
    QVERIFY(f.Start());
    QElapsedTimer clock;
    clock.start();
    const auto slow = Connect(f.port);
    QVERIFY(slow->waitForConnected(2000));
    slow->write("GET /api/v1/units HTTP/1.1\r\n");
    QTimer trickle;
    connect(&trickle, &QTimer::timeout, this, [&slow] { slow->write("X"); });
    trickle.start(100);
    QVERIFY(ReadToClose(*slow, 5000).isEmpty());
    QVERIFY2(clock.elapsed() >= 900 && clock.elapsed() < 2000, qPrintable(QString::number(clock.elapsed())));

    const auto kept = Connect(f.port);
    kept->write("GET /api/v1/units HTTP/1.1\r\nHost: x\r\n\r\n");
    QVERIFY(ReadUntil(*kept, "\r\n\r\n", 5000).startsWith("HTTP/1.1 401"));
    clock.start();
    QTest::qWait(2000);
    QCOMPARE(kept->state(), QAbstractSocket::ConnectedState);
    ReadToClose(*kept, 5000);
    QVERIFY2(clock.elapsed() >= 2500 && clock.elapsed() < 4500, qPrintable(QString::number(clock.elapsed())));
}

// Heads two parsers could read two ways are answered 400 and closed; the login inside
// never reaches the service, also when the head trickles in and the rest follows the refusal.
void TestListener::ambiguousRequestsAreRefusedBeforeTheServerActs()
{
    ServiceFixture f(0);
    QCOMPARE(f.User({QStringLiteral("add"), QStringLiteral("ada"), QStringLiteral("--role"), QStringLiteral("admin")}), 0);
    QVERIFY(f.Start());
    const QByteArray body = LoginBody();
    const QByteArray length = "Content-Length: " + QByteArray::number(body.size()) + "\r\n";
    const QByteArray line = "POST /api/v1/login HTTP/1.1\r\n", type = "Content-Type: application/json\r\n";
    const QList<QList<QByteArray>> heads{
        {line + type + length + "Content-Length: 0\r\n\r\n" + body},
        {line + type + "Content-Length: " + QByteArray::number(body.size()) + ", 0\r\n\r\n" + body},
        {line + type + "X-A: a\r\n Content-Length: 0\r\n" + length + "\r\n" + body},
        {line + type + length.chopped(2) + "\n\r\n" + body},
        {line + type + "Content-Length: 0\rX: " + length + "\r\n" + body},
        {"POST /api/v1/login  HTTP/1.1\r\n" + type + length + "\r\n" + body},
        {"POST /api/v1/login HTTP/1.1 x\r\n" + type + length + "\r\n" + body},
        {line + type + length, "Content-Length: 0\r\n", "\r\n" + body},
    };
    for (const QList<QByteArray> &pieces : heads) {
        const auto peer = Connect(f.port);
        QVERIFY(peer->waitForConnected(2000));
        for (const QByteArray &piece : pieces) {
            peer->write(piece);
            QTest::qWait(pieces.size() > 1 ? 300 : 0);
        }
        const QByteArray answer = ReadToClose(*peer, 5000);
        QVERIFY2(answer.startsWith("HTTP/1.1 400") && answer.count("HTTP/1.1") == 1 && !answer.contains("token")
                     && answer.contains("\"code\":\""),
                 (pieces.join() + "\n=> " + answer).constData());
        QCOMPARE(peer->state(), QAbstractSocket::UnconnectedState);
    }
    const auto peer = Connect(f.port);
    peer->write(line + type + length + "\r\n" + body);
    QVERIFY(ReadUntil(*peer, "token", 5000).contains("token"));
}

// Requests queued behind slow work on their unit wait for their answers, however long
// past the idle time.
void TestListener::queuedRequestOutlivesTheIdleTime()
{
    ServiceFixture f(1, QStringLiteral("idle-seconds=1"));
    QCOMPARE(f.User({QStringLiteral("add"), QStringLiteral("ada"), QStringLiteral("--role"), QStringLiteral("admin")}), 0);
    QVERIFY(f.Start());
    const QString admin = f.Login(QStringLiteral("ada"));
    QTRY_COMPARE_WITH_TIMEOUT(f.UnitState(admin, 0), QStringLiteral("online"), 10000);
    Sockets peers;
    QElapsedTimer clock;
    clock.start();
    for (int i = 0; i < 2; ++i) {
        peers.push_back(Connect(f.port));
        peers.back()->write("GET /api/v1/units/room1/backup HTTP/1.1\r\nAuthorization: Bearer " + admin.toLatin1()
                            + "\r\n\r\n");
    }
    for (auto &peer : peers) {
        const QByteArray answer = ReadUntil(*peer, "\r\n", 60000);
        QVERIFY2(answer.startsWith("HTTP/1.1 200"), answer.left(200).constData());
    }
    QVERIFY(clock.elapsed() > 2000);
}

QTEST_GUILESS_MAIN(TestListener)
#include "tst_listener.moc"
