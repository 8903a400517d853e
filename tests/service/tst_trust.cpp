#include "ServiceFixture.h"

#include "FactorySettings.h"
#include "NamedSettings.h"

#include <QFileInfo>
#include <QTcpSocket>
#include <QtTest>
#include <memory>
#include <vector>

namespace {

// How many of one person's jobs a unit holds at once, the running one included.
constexpr int UnitQueueShare = 4;

QByteArray LoginRequest(const QByteArray &user, const QByteArray &password)
{
    const QByteArray body = "{\"user\":\"" + user + "\",\"password\":\"" + password + "\"}";
    return "POST /api/v1/login HTTP/1.1\r\nHost: 127.0.0.1\r\nContent-Type: application/json\r\nContent-Length: "
        + QByteArray::number(body.size()) + "\r\n\r\n" + body;
}

QByteArray Get(const QString &path, const QString &token)
{
    return "GET " + path.toUtf8() + " HTTP/1.1\r\nHost: 127.0.0.1\r\nAuthorization: Bearer " + token.toLatin1() + "\r\n\r\n";
}

std::unique_ptr<QTcpSocket> Open(quint16 port, const QByteArray &request, const QHostAddress &from = {})
{
    auto peer = std::make_unique<QTcpSocket>();
    if (!from.isNull())
        peer->bind(from);
    peer->connectToHost(QHostAddress::LocalHost, port);
    peer->waitForConnected(2000);
    peer->write(request);
    return peer;
}

// quorind's exit status and what it said, for a configuration that must not start.
std::pair<int, QString> Refused(const QString &config)
{
    QTemporaryDir dir;
    QFile file(dir.filePath(QStringLiteral("quorind.conf")));
    file.open(QIODevice::WriteOnly);
    file.write(config.toUtf8());
    file.close();
    QProcess service;
    service.start(QStringLiteral(QUORIND), {QStringLiteral("--config"), file.fileName()});
    service.waitForFinished(10000);
    return {service.exitCode(), QString::fromUtf8(service.readAllStandardError())};
}

} // namespace

// Attacks from the venue network and from people with little right.
class TestTrust : public QObject
{
    Q_OBJECT

private slots:
    void guessingStallsNobodyAndClearsNothing();
    void sessionsAndStreamsEndWithTheirAccount();
    void queueIsSharedAndLeftJobsAreDropped();
    void noAuditLineNoChange();
    void smallerDoorsAreShut();
};

void TestTrust::guessingStallsNobodyAndClearsNothing()
{
    ServiceFixture f(1);
    QCOMPARE(f.User({QStringLiteral("add"), QStringLiteral("ada"), QStringLiteral("--role"), QStringLiteral("admin")}), 0);
    QCOMPARE(f.User({QStringLiteral("add"), QStringLiteral("vic"), QStringLiteral("--role"), QStringLiteral("viewer")}), 0);
    QVERIFY(f.Start());
    const QString admin = f.Login(QStringLiteral("ada"));
    QVERIFY(!admin.isEmpty());

    std::vector<std::unique_ptr<QTcpSocket>> guesses;
    for (int i = 0; i < 100; ++i)
        guesses.push_back(Open(f.port, LoginRequest("ada", "guess" + QByteArray::number(i)), QHostAddress(QStringLiteral("127.0.0.2"))));
    QElapsedTimer clock;
    clock.start();
    QCOMPARE(f.Call("GET", QStringLiteral("/api/v1/units"), {}, admin).status, 200);
    const qint64 answeredMs = clock.elapsed();
    qInfo("GET /units during 100 parallel wrong logins: %lld ms", answeredMs);
    QVERIFY2(answeredMs < 500, qPrintable(QString::number(answeredMs)));

    // Only the first few guesses are checked at all.
    int checked = 0;
    for (auto &peer : guesses) {
        QTRY_VERIFY_WITH_TIMEOUT(peer->bytesAvailable() > 0 || peer->state() != QAbstractSocket::ConnectedState, 20000);
        checked += peer->readAll().startsWith("HTTP/1.1 401");
    }
    QVERIFY2(checked >= 1 && checked <= 4, qPrintable(QString::number(checked)));
    // Another account's success clears nothing: ada is still slowed.
    QVERIFY(!f.Login(QStringLiteral("vic")).isEmpty());
    auto first = Open(f.port, LoginRequest("ada", "guess")), second = Open(f.port, LoginRequest("ada", "guess"));
    QTRY_VERIFY_WITH_TIMEOUT(first->bytesAvailable() > 0 && second->bytesAvailable() > 0, 20000);
    QVERIFY((first->readAll() + second->readAll()).contains("HTTP/1.1 429"));
}

void TestTrust::sessionsAndStreamsEndWithTheirAccount()
{
    ServiceFixture f(1);
    QCOMPARE(f.User({QStringLiteral("add"), QStringLiteral("desk"), QStringLiteral("--role"), QStringLiteral("staff")}), 0);
    QCOMPARE(f.User({QStringLiteral("add"), QStringLiteral("vic"), QStringLiteral("--role"), QStringLiteral("viewer")}), 0);
    QVERIFY(f.Start());
    const QString desk = f.Login(QStringLiteral("desk")), vic = f.Login(QStringLiteral("vic"));

    // One stream per connection: a request pipelined behind it is never answered.
    auto stream = Open(f.port, Get(QStringLiteral("/api/v1/events"), desk) + Get(QStringLiteral("/api/v1/units"), desk));
    QTRY_VERIFY(stream->bytesAvailable() > 0);
    QTest::qWait(300);
    const QByteArray said = stream->readAll();
    QVERIFY(said.startsWith("HTTP/1.1 200") && said.count("HTTP/1.1") == 1);
    // A session holds a few streams, not every place.
    std::vector<std::unique_ptr<QTcpSocket>> more;
    for (int i = 0; i < 4; ++i)
        more.push_back(Open(f.port, Get(QStringLiteral("/api/v1/events"), desk)));
    QTRY_VERIFY(more.back()->bytesAvailable() > 0);
    QVERIFY(more.back()->readAll().startsWith("HTTP/1.1 503"));

    // A new password ends the session and its streams.
    QCOMPARE(f.User({QStringLiteral("passwd"), QStringLiteral("desk")}, "another-secret"), 0);
    QTRY_VERIFY_WITH_TIMEOUT(stream->state() == QAbstractSocket::UnconnectedState, 3000);
    QCOMPARE(f.Call("GET", QStringLiteral("/api/v1/units"), {}, desk).status, 401);

    // A viewer removed and added again as an admin does not keep the old token.
    auto viewerStream = Open(f.port, Get(QStringLiteral("/api/v1/events"), vic));
    QTRY_VERIFY(viewerStream->bytesAvailable() > 0);
    QCOMPARE(f.User({QStringLiteral("del"), QStringLiteral("vic")}), 0);
    QCOMPARE(f.User({QStringLiteral("add"), QStringLiteral("vic"), QStringLiteral("--role"), QStringLiteral("admin")}), 0);
    QCOMPARE(f.Call("GET", QStringLiteral("/api/v1/audit"), {}, vic).status, 401);
    QTRY_VERIFY_WITH_TIMEOUT(viewerStream->state() == QAbstractSocket::UnconnectedState, 3000);

    // Logging out ends the streams of that session.
    const QString again = f.Login(QStringLiteral("vic"));
    auto third = Open(f.port, Get(QStringLiteral("/api/v1/events"), again));
    QTRY_VERIFY(third->bytesAvailable() > 0);
    QCOMPARE(f.Call("POST", QStringLiteral("/api/v1/logout"), {}, again).status, 200);
    QTRY_VERIFY_WITH_TIMEOUT(third->state() == QAbstractSocket::UnconnectedState, 3000);
}

void TestTrust::queueIsSharedAndLeftJobsAreDropped()
{
    ServiceFixture f(1);
    QCOMPARE(f.User({QStringLiteral("add"), QStringLiteral("ada"), QStringLiteral("--role"), QStringLiteral("admin")}), 0);
    QCOMPARE(f.User({QStringLiteral("add"), QStringLiteral("vic"), QStringLiteral("--role"), QStringLiteral("viewer")}), 0);
    QVERIFY(f.Start());
    const QString admin = f.Login(QStringLiteral("ada")), viewer = f.Login(QStringLiteral("vic"));
    QTRY_VERIFY_WITH_TIMEOUT(f.UnitState(admin, 0) == QLatin1String("online"), 10000);

    // A viewer's many backups: a few wait, the rest are refused, and the admin's change goes next.
    std::vector<std::unique_ptr<QTcpSocket>> backups;
    for (int i = 0; i < 12; ++i)
        backups.push_back(Open(f.port, Get(QStringLiteral("/api/v1/units/room1/backup"), viewer)));
    QTest::qWait(300);
    QElapsedTimer clock;
    clock.start();
    const HttpReply set = f.Call("POST", QStringLiteral("/api/v1/units/room1/settings"), R"({"MIC volume": 33})", admin);
    QCOMPARE(set.status, 200);
    qInfo("an admin's change behind a viewer's 12 backups: %lld ms", clock.elapsed());
    int busy = 0;
    for (auto &peer : backups) {
        QTRY_VERIFY_WITH_TIMEOUT(peer->bytesAvailable() > 0, 60000);
        busy += peer->readAll().startsWith("HTTP/1.1 409");
    }
    QCOMPARE(busy, 12 - UnitQueueShare);

    // A change whose client has gone before its turn is not made, nor audited.
    auto running = Open(f.port, Get(QStringLiteral("/api/v1/units/room1/backup"), viewer));
    QTest::qWait(300);
    const QByteArray body = R"({"MUS volume": 7})";
    auto gone = Open(f.port, "POST /api/v1/units/room1/settings HTTP/1.1\r\nHost: x\r\nAuthorization: Bearer " + admin.toLatin1()
                                 + "\r\nContent-Type: application/json\r\nContent-Length: "
                                 + QByteArray::number(body.size()) + "\r\n\r\n" + body);
    gone->waitForBytesWritten(1000);
    QTest::qWait(50);
    gone->disconnectFromHost();
    QTRY_VERIFY_WITH_TIMEOUT(running->bytesAvailable() > 0, 60000);
    QTest::qWait(500);
    QVERIFY(f.Sim(0).Processor().Value(ParamBlock::ChannelVolume, 0, 0) != 7);
    QVERIFY(!f.Call("GET", QStringLiteral("/api/v1/audit"), {}, admin).body.contains("MUS volume"));
}

void TestTrust::noAuditLineNoChange()
{
    ServiceFixture f(1, QStringLiteral("audit=/dev/full"));
    QCOMPARE(f.User({QStringLiteral("add"), QStringLiteral("ada"), QStringLiteral("--role"), QStringLiteral("admin")}), 0);
    QVERIFY(f.Start());
    const QString admin = f.Login(QStringLiteral("ada"));
    QTRY_VERIFY_WITH_TIMEOUT(f.UnitState(admin, 0) == QLatin1String("online"), 10000);
    QTest::qWait(500);
    const int frames = f.Sim(0).Processor().FramesReceived();
    const HttpReply set = f.Call("POST", QStringLiteral("/api/v1/units/room1/settings"), R"({"MIC volume": 33})", admin);
    QCOMPARE(set.status, 503);
    QVERIFY(set.Json()[QStringLiteral("error")].toString().contains(QStringLiteral("audit log")));
    QCOMPARE(f.Sim(0).Processor().FramesReceived(), frames);
    // Reading such a log back ends at once.
    QCOMPARE(f.Call("GET", QStringLiteral("/api/v1/audit"), {}, admin).status, 503);
}

void TestTrust::smallerDoorsAreShut()
{
    ServiceFixture f(2);
    const auto add = [&f](const QStringList &rest) { return f.User(QStringList{QStringLiteral("add")} + rest); };
    QCOMPARE(add({QStringLiteral("sam"), QStringLiteral("--role"), QStringLiteral("staff"), QStringLiteral("--units"), QString()}), 2);
    QCOMPARE(add({QStringLiteral("sam"), QStringLiteral("--role"), QStringLiteral("staff"), QStringLiteral("--units"), QStringLiteral("room9")}), 2);
    QCOMPARE(add({QStringLiteral("s\nam"), QStringLiteral("--role"), QStringLiteral("staff")}), 2);
    QCOMPARE(add({QString(65, QLatin1Char('a')), QStringLiteral("--role"), QStringLiteral("staff")}), 2);
    QCOMPARE(add({QStringLiteral("ada"), QStringLiteral("--role"), QStringLiteral("admin")}), 0);
    QVERIFY(f.Start());

    QCOMPARE(f.Call("POST", QStringLiteral("/api/v1/login"), R"({"user":"ada","password":"venue-secret"})", {}, "text/plain").status, 415);
    QNetworkAccessManager network;
    QNetworkRequest foreign(QUrl(QStringLiteral("http://127.0.0.1:%1/api/v1/login").arg(f.port)));
    foreign.setHeader(QNetworkRequest::ContentTypeHeader, QByteArrayLiteral("application/json"));
    foreign.setRawHeader("Origin", "http://evil.example");
    QNetworkReply *reply = network.post(foreign, R"({"user":"ada","password":"venue-secret"})");
    QTRY_VERIFY(reply->isFinished());
    QCOMPARE(reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt(), 403);
    delete reply;

    const QString admin = f.Login(QStringLiteral("ada"));
    QTRY_VERIFY_WITH_TIMEOUT(f.UnitState(admin, 0) == QLatin1String("online"), 10000);
    QCOMPARE(f.Call("GET", QStringLiteral("/api/v1/units/room1/settings?name=MIC+volume"), {}, admin).status, 200);
    QCOMPARE(QFileInfo(f.Path(QStringLiteral("audit.log"))).permissions() & (QFile::ReadOther | QFile::WriteOther),
             QFile::Permissions());
    f.Stop();

    QFile accounts(f.Path(QStringLiteral("accounts.json")));
    QVERIFY(accounts.open(QIODevice::WriteOnly | QIODevice::Truncate));
    accounts.write("[]");
    accounts.close();
    QProcess broken;
    broken.start(QStringLiteral(QUORIND), {QStringLiteral("--config"), f.ConfigPath()});
    QVERIFY(broken.waitForFinished(10000));
    QCOMPARE(broken.exitCode(), 2);
    QVERIFY(QString::fromUtf8(broken.readAllStandardError()).contains(QStringLiteral("accounts.json: not an accounts file")));

    const QString mqtt = QStringLiteral("[mqtt]\nurl=mqtt://127.0.0.1:1\nprefix=quorin/v1\n");
    auto [status, said] = Refused(mqtt + QStringLiteral("[a+b]\nport=COM1\n"));
    QCOMPARE(status, 2);
    QVERIFY2(said.contains(QStringLiteral("[a+b]")), qPrintable(said));
    std::tie(status, said) = Refused(mqtt + QStringLiteral("[房间1]\nport=COM1\n[客房1]\nport=COM2\n"));
    QCOMPARE(status, 2);
    QVERIFY2(said.contains(QStringLiteral("[房间1] and [客房1]")), qPrintable(said));
}

QTEST_MAIN(TestTrust)
#include "tst_trust.moc"
