#include "ServiceFixture.h"

#include "NamedSettings.h"
#include "FactorySettings.h"
#include "PortEntry.h"
#include "RS232Port.h"
#include "SettingsFile.h"

#include <QJsonArray>
#include <QRandomGenerator>
#include <QSslConfiguration>
#include <QTcpSocket>
#include <QtTest>
#include <csignal>

namespace {

void Preset(SimulatorTerminal &sim, ParamBlock block, quint8 selector, quint8 address, quint8 value)
{
    for (quint8 b : SettingFrame(UploadOp, block, selector, address, value))
        sim.Processor().Receive(b);
}

// Online, and its live settings read.
bool AllOnline(ServiceFixture &f, const QString &token, int units)
{
    const QJsonArray list = f.Call("GET", QStringLiteral("/api/v1/units"), {}, token).Json()[QStringLiteral("units")].toArray();
    int ready = 0;
    for (const QJsonValue &unit : list)
        ready += unit[QStringLiteral("state")].toString() == QLatin1String("online")
            && !unit[QStringLiteral("live")][QStringLiteral("mute")].isNull();
    return ready == units;
}

// Every frame the unit received since from: its operation bytes.
QByteArray Operations(SimulatorTerminal &sim, qsizetype from = 0)
{
    QByteArray ops;
    const QByteArray received = sim.Received().mid(from);
    for (qsizetype i = 0; i + 6 <= received.size(); ++i)
        if (quint8(received[i]) == FrameStart) {
            ops += received[i + 1];
            i += 5;
        }
    return ops;
}

QString UnitError(ServiceFixture &f, const QString &token)
{
    return f.Call("GET", QStringLiteral("/api/v1/units"), {}, token).Json()[QStringLiteral("units")][0][QStringLiteral("error")].toString();
}

} // namespace

class TestQuorind : public QObject
{
    Q_OBJECT

private slots:
    void badConfigurationStartsNothing();
    void rolesDecideWhatReachesAUnit();
    void lostUnitComesBackAloneAndFailsFast();
    void restoreBackupAndDrift();
    void hostileInputIsAnsweredAndBounded();
    void httpsOnlyWithACertificate();
    void portsAreLetGoAndStaleLocksTakenOver();
};

void TestQuorind::badConfigurationStartsNothing()
{
    ServiceFixture f(1, QStringLiteral("drift-minutes=0"));
    QProcess service;
    service.start(QStringLiteral(QUORIND), {QStringLiteral("--config"), f.ConfigPath()});
    QVERIFY(service.waitForFinished(10000));
    QCOMPARE(service.exitCode(), 2);
    const QString said = QString::fromLocal8Bit(service.readAllStandardError());
    QVERIFY2(said.contains(QStringLiteral("quorind.conf:6: drift-minutes takes 1 to 1440")), qPrintable(said));
    QVERIFY(f.Sim(0).Received().isEmpty());
}

// Who may do what, tried against the real service: nothing refused ever reaches a unit.
void TestQuorind::rolesDecideWhatReachesAUnit()
{
    ServiceFixture f(3, {}, {}, true);
    QCOMPARE(f.User({QStringLiteral("add"), QStringLiteral("ada"), QStringLiteral("--role"), QStringLiteral("admin")}), 0);
    QCOMPARE(f.User({QStringLiteral("add"), QStringLiteral("sam"), QStringLiteral("--role"), QStringLiteral("staff"),
                     QStringLiteral("--units"), QStringLiteral("room1")}), 0);
    QCOMPARE(f.User({QStringLiteral("add"), QStringLiteral("vic"), QStringLiteral("--role"), QStringLiteral("viewer")}), 0);
    QFile accounts(f.Path(QStringLiteral("accounts.json")));
    QCOMPARE(accounts.permissions() & 0x0077, QFileDevice::Permissions());
    QVERIFY(accounts.open(QIODevice::ReadOnly) && !accounts.readAll().contains("venue-secret"));
    QVERIFY(f.Start());

    const QString admin = f.Login(QStringLiteral("ada")), staff = f.Login(QStringLiteral("sam")),
                  viewer = f.Login(QStringLiteral("vic"));
    QVERIFY(!admin.isEmpty() && !staff.isEmpty() && !viewer.isEmpty());
    QCOMPARE(f.Login(QStringLiteral("ada"), QStringLiteral("wrong")), QString());
    QTRY_VERIFY_WITH_TIMEOUT(AllOnline(f, admin, 3), 10000);
    // Connecting changed nothing on the units: it identified them and read their live settings.
    for (int i = 0; i < 3; ++i)
        QCOMPARE(Operations(f.Sim(i)).toHex(), QByteArray("e2" + QByteArray("01").repeated(7)));

    const qsizetype before = f.Sim(0).Received().size();
    HttpReply set = f.Call("POST", QStringLiteral("/api/v1/units/room1/settings"), R"({"MIC volume": 55})", staff);
    QCOMPARE(set.status, 200);
    QCOMPARE(f.Sim(0).Received().mid(before).right(6), QByteArray::fromHex("cd0206000137"));
    QCOMPARE(set.Json()[QStringLiteral("results")][0][QStringLiteral("old")].toInt(), 30);

    const qsizetype after = f.Sim(0).Received().size();
    QCOMPARE(f.Call("POST", QStringLiteral("/api/v1/units/room1/settings"), R"({"MUSIC1 57Hz": 3})", staff).status, 403);
    QCOMPARE(f.Call("POST", QStringLiteral("/api/v1/units/room2/settings"), R"({"MIC volume": 5})", staff).status, 403);
    QCOMPARE(f.Call("POST", QStringLiteral("/api/v1/units/room1/settings"), R"({"MIC volume": 5})", viewer).status, 403);
    QCOMPARE(f.Call("GET", QStringLiteral("/api/v1/units/room1/backup"), {}, staff).status, 403);
    QCOMPARE(f.Call("GET", QStringLiteral("/api/v1/audit"), {}, viewer).status, 403);
    QCOMPARE(f.Call("POST", QStringLiteral("/api/v1/units/room1/settings"), R"({"MIC volume": 5})").status, 401);
    QCOMPARE(f.Call("POST", QStringLiteral("/api/v1/units/room1/settings"), R"({"MIC volume": 5})",
                    QString(64, QLatin1Char('a'))).status, 401);
    QCOMPARE(f.Call("GET", QStringLiteral("/api/v1/units"), {}, staff).Json()[QStringLiteral("units")].toArray().size(), 1);
    QVERIFY(Operations(f.Sim(0), after).isEmpty());
    QCOMPARE(f.Sim(1).Processor().FramesReceived(), 8);

    // The admin's change is clamped to the unit's power-on maximum and audited before it is answered.
    Preset(f.Sim(1), ParamBlock::ChannelMaximum, 0, 2, 50);
    set = f.Call("POST", QStringLiteral("/api/v1/units/room2/settings"), R"({"KTV volume": 70, "program": "EFF1"})", admin);
    QCOMPARE(set.Json()[QStringLiteral("results")][0][QStringLiteral("new")].toInt(), 50);
    QCOMPARE(f.Sim(1).Processor().Value(ParamBlock::ChannelVolume, 0, 2), quint8(50));
    const QJsonArray audit = f.Call("GET", QStringLiteral("/api/v1/audit?unit=room2"), {}, admin).Json()[QStringLiteral("entries")].toArray();
    QCOMPARE(audit.size(), 2);
    QCOMPARE(audit[1][QStringLiteral("setting")].toString(), QStringLiteral("KTV volume"));
    QCOMPARE(audit[1][QStringLiteral("user")].toString(), QStringLiteral("ada"));
    QCOMPARE(audit[1][QStringLiteral("address")].toString(), QStringLiteral("127.0.0.1"));
    QFile log(f.Path(QStringLiteral("audit.log")));
    QVERIFY(log.open(QIODevice::ReadOnly));
    const QByteArray written = log.readAll();
    // Each request is written as asked before anything is sent, each change with its result after.
    QCOMPARE(written.count('\n'), 5);
    QVERIFY(!written.contains("venue-secret") && !written.contains(admin.toLatin1()));

    QCOMPARE(f.Call("POST", QStringLiteral("/api/v1/logout"), {}, viewer).status, 200);
    QCOMPARE(f.Call("GET", QStringLiteral("/api/v1/units"), {}, viewer).status, 401);

    // Accounts changed while the service runs count at once.
    QCOMPARE(f.User({QStringLiteral("del"), QStringLiteral("sam")}), 0);
    QCOMPARE(f.Call("GET", QStringLiteral("/api/v1/units"), {}, staff).status, 401);
    QCOMPARE(f.User({QStringLiteral("add"), QStringLiteral("liz"), QStringLiteral("--role"), QStringLiteral("viewer")}), 0);
    QVERIFY(!f.Login(QStringLiteral("liz")).isEmpty());
}

// A unit unplugged goes offline at once while the others go on; plugged in again it is
// back within seconds, and commands to it meanwhile fail at once.
void TestQuorind::lostUnitComesBackAloneAndFailsFast()
{
    ServiceFixture f(3);
    QCOMPARE(f.User({QStringLiteral("add"), QStringLiteral("ada"), QStringLiteral("--role"), QStringLiteral("admin")}), 0);
    QVERIFY(f.Start());
    const QString admin = f.Login(QStringLiteral("ada"));
    QTRY_VERIFY_WITH_TIMEOUT(AllOnline(f, admin, 3), 10000);

    f.Sim(1).Close();
    QTRY_COMPARE_WITH_TIMEOUT(f.UnitState(admin, 1), QStringLiteral("offline"), 9000);
    QElapsedTimer clock;
    clock.start();
    QCOMPARE(f.Call("POST", QStringLiteral("/api/v1/units/room2/settings"), R"({"MIC volume": 5})", admin).status, 409);
    QVERIFY(clock.elapsed() < 1000);
    QCOMPARE(f.Call("POST", QStringLiteral("/api/v1/units/room1/settings"), R"({"MIC volume": 5})", admin).status, 200);

    f.ReplaceSim(1);
    clock.start();
    QTRY_COMPARE_WITH_TIMEOUT(f.UnitState(admin, 1), QStringLiteral("online"), 10000);
    QVERIFY(AllOnline(f, admin, 3));
    const QByteArray metrics = f.Call("GET", QStringLiteral("/metrics")).body;
    QVERIFY2(metrics.contains("quorin_reconnects_total 1") && metrics.contains("quorin_unit_up{unit=\"room2\"} 1"),
             metrics.constData());

    // systemctl stop: the service leaves within 10 s.
    clock.start();
    f.Process().terminate();
    QVERIFY(f.Process().waitForFinished(10000));
    QVERIFY(clock.elapsed() < 10000);
}

void TestQuorind::restoreBackupAndDrift()
{
    QTemporaryDir dir;
    const QString golden = dir.filePath(QStringLiteral("golden.txt"));
    SettingsSnapshot approved = FactorySettings();
    approved.music[0][3] = 14;
    QVERIFY(WriteSettingsFile(golden, approved, false));
    ServiceFixture f(1, {}, QStringLiteral("golden=%1\nenforce=true").arg(golden));
    QCOMPARE(f.User({QStringLiteral("add"), QStringLiteral("ada"), QStringLiteral("--role"), QStringLiteral("admin")}), 0);
    QVERIFY(f.Start());
    const QString admin = f.Login(QStringLiteral("ada"));
    QTRY_VERIFY_WITH_TIMEOUT(AllOnline(f, admin, 1), 10000);
    // Connected, the unit was checked against the approved file and repaired.
    QTRY_COMPARE_WITH_TIMEOUT(f.Sim(0).Processor().Value(ParamBlock::MusicParam, 0, MusicParams[3].address), quint8(14), 10000);

    // Changed behind the service's back: verify lists it; a volume is no drift.
    Preset(f.Sim(0), ParamBlock::MicParam, 2, MicParams[1].address, 3);
    Preset(f.Sim(0), ParamBlock::ChannelVolume, 0, 0, 11);
    const QJsonArray drift = f.Call("GET", QStringLiteral("/api/v1/units/room1/verify"), {}, admin).Json()[QStringLiteral("differences")].toArray();
    QCOMPARE(drift.size(), 1);
    QCOMPARE(drift[0][QStringLiteral("setting")].toString(), QStringLiteral("MIC3 134Hz"));
    QCOMPARE(drift[0][QStringLiteral("unit")][QStringLiteral("shown")].toString(), QStringLiteral("-7dB"));

    // The backup is the tool's backup, byte for byte.
    const HttpReply backup = f.Call("GET", QStringLiteral("/api/v1/units/room1/backup"), {}, admin);
    QCOMPARE(backup.status, 200);
    const QString mine = dir.filePath(QStringLiteral("mine.txt"));
    SettingsSnapshot held = approved;
    held.mic[2][1] = 3;
    QVERIFY(WriteSettingsFile(mine, held, false));
    QFile expected(mine);
    QVERIFY(expected.open(QIODevice::ReadOnly));
    QCOMPARE(backup.body, expected.readAll());

    // A bad file sends nothing; a good one is uploaded, read back and audited.
    const qsizetype before = f.Sim(0).Received().size();
    QCOMPARE(f.Call("POST", QStringLiteral("/api/v1/units/room1/restore"), "[Main]\r\nType=QSV-416XX\r\n", admin,
                    "text/plain").status, 400);
    QVERIFY(Operations(f.Sim(0), before).isEmpty());
    // Nor does the first quarter of a backup (48 of its 213 lines).
    const QByteArray quarter = backup.body.left(backup.body.indexOf("Music2.10="));
    QCOMPARE(quarter.count('\n'), 48);
    const HttpReply part = f.Call("POST", QStringLiteral("/api/v1/units/room1/restore"), quarter, admin, "text/plain");
    QCOMPARE(part.status, 400);
    QVERIFY2(part.Json()[QStringLiteral("error")].toString().contains(QStringLiteral("lacks Music2.10")), part.body.constData());
    QVERIFY(Operations(f.Sim(0), before).isEmpty());
    const HttpReply restored = f.Call("POST", QStringLiteral("/api/v1/units/room1/restore"), backup.body, admin, "text/plain");
    QCOMPARE(restored.status, 200);
    QCOMPARE(restored.Json()[QStringLiteral("result")].toString(), QStringLiteral("ok"));
    // The whole upload with its close, then at least the whole read back.
    const QByteArray operations = Operations(f.Sim(0), before);
    QCOMPARE(operations.count(char(UploadOp)), UploadAllFrameCount - 1);
    QCOMPARE(operations.count(char(UploadEndOp)), 1);
    QVERIFY(operations.count(char(GetOp)) >= ReadAllFrameCount);
    // The backup held the drifted setting: so does the unit now.
    QCOMPARE(f.Call("GET", QStringLiteral("/api/v1/units"), {}, admin).Json()[QStringLiteral("units")][0][QStringLiteral("drift")].toInt(), 1);

    // systemctl stop during a restore: it ends after its frame, and the audit log says so.
    const qsizetype framesBefore = f.Sim(0).Received().size();
    f.CallLater("POST", QStringLiteral("/api/v1/units/room1/restore"), backup.body, admin);
    QTRY_VERIFY(f.Sim(0).Received().size() > framesBefore + 60);
    f.Process().terminate();
    // Waiting with the event loop running, so that the simulated unit answers meanwhile.
    QTRY_VERIFY_WITH_TIMEOUT(f.Process().state() == QProcess::NotRunning, 10000);
    QFile log(f.Path(QStringLiteral("audit.log")));
    QVERIFY(log.open(QIODevice::ReadOnly));
    const QList<QByteArray> lines = log.readAll().trimmed().split('\n');
    QVERIFY2(lines.last().contains("\"setting\":\"restore\"") && lines.last().contains("\"result\":\"stopped\""),
             lines.last().constData());
    QVERIFY((f.Sim(0).Received().size() - framesBefore) / 6 < UploadAllFrameCount);
}

// A peer that sends what it likes gets the right status, and the service goes on.
void TestQuorind::hostileInputIsAnsweredAndBounded()
{
    ServiceFixture f(1);
    QCOMPARE(f.User({QStringLiteral("add"), QStringLiteral("ada"), QStringLiteral("--role"), QStringLiteral("admin")}), 0);
    QVERIFY(f.Start());
    const QString admin = f.Login(QStringLiteral("ada"));
    QTRY_VERIFY_WITH_TIMEOUT(AllOnline(f, admin, 1), 10000);
    const int frames = f.Sim(0).Processor().FramesReceived();

    QCOMPARE(f.Call("POST", QStringLiteral("/api/v1/units/room1/restore"), QByteArray(1024 * 1024 + 1, 'x'), admin).status, 413);
    QCOMPARE(f.Call("POST", QStringLiteral("/api/v1/units/room1/settings"), "{\"MIC volume\": ", admin).status, 400);
    QCOMPARE(f.Call("POST", QStringLiteral("/api/v1/units/room1/settings"), R"({"MIC loudness": 3})", admin).status, 400);
    QCOMPARE(f.Call("POST", QStringLiteral("/api/v1/units/room1/settings"), R"({"MIC volume": 300})", admin).status, 400);
    QCOMPARE(f.Call("GET", QStringLiteral("/api/v1/units/room1/settings?name=key"), {}, admin).status, 400);
    QCOMPARE(f.Call("GET", QStringLiteral("/api/v1/units/..%2Froom1/settings?name=mute"), {}, admin).status, 404);
    QCOMPARE(f.Call("GET", QStringLiteral("/api/v1/units/room9/backup"), {}, admin).status, 404);
    QCOMPARE(f.Call("POST", QStringLiteral("/api/v1/login"), "not json").status, 400);

    // Thousands of requests of random bytes and oversized headers, each on its own connection.
    QRandomGenerator random(11);
    for (int i = 0; i < 2000; ++i) {
        QTcpSocket peer;
        peer.connectToHost(QHostAddress::LocalHost, f.port);
        QVERIFY(peer.waitForConnected(2000));
        QByteArray junk(int(random.bounded(1, 4096)), '\0');
        for (char &c : junk)
            c = char(random.bounded(256));
        if (i % 100 == 0)
            junk = "GET /api/v1/units HTTP/1.1\r\nX: " + QByteArray(20000, 'a') + "\r\n\r\n";
        peer.write(junk);
        peer.waitForBytesWritten(1000);
        peer.abort();
        QCoreApplication::processEvents();  // the simulated unit answers its heartbeat meanwhile
    }
    // The junk connections hold this address's places until the service has let them go.
    const auto answerTo = [&f](const QByteArray &request) {
        QByteArray answer;
        for (int tries = 0; tries < 10 && answer.isEmpty(); ++tries) {
            QTcpSocket peer;
            peer.connectToHost(QHostAddress::LocalHost, f.port);
            peer.waitForConnected(2000);
            peer.write(request);
            answer = peer.waitForReadyRead(5000) ? peer.readAll() : QByteArray();
            if (answer.isEmpty())
                QTest::qWait(500);
        }
        return answer;
    };
    QVERIFY(answerTo("POST /api/v1/login HTTP/1.1\r\nHost: x\r\nTransfer-Encoding: chunked\r\n\r\n").startsWith("HTTP/1.1 411"));
    QVERIFY(answerTo("GET /api/v1/units HTTP/1.1\r\nX: " + QByteArray(20000, 'a') + "\r\n\r\n").startsWith("HTTP/1.1 431"));

    // Guessing slows down: past a few tries the account is refused at once for a while;
    // after that wait the right password still gets in.
    HttpReply guess;
    for (int i = 0; i < 10 && guess.status != 429; ++i)
        guess = f.Call("POST", QStringLiteral("/api/v1/login"), R"({"user":"ada","password":"guess"})");
    QCOMPARE(guess.status, 429);
    int retryAfter = 0;
    for (const auto &[name, value] : guess.headers)
        if (name == "Retry-After")
            retryAfter = value.toInt();
    QVERIFY(retryAfter >= 1 && retryAfter <= 10);
    QTest::qWait(retryAfter * 1000);
    QVERIFY(!f.Login(QStringLiteral("ada")).isEmpty());

    QCOMPARE(f.Call("GET", QStringLiteral("/api/v1/units"), {}, admin).status, 200);
    QCOMPARE(f.Sim(0).Processor().FramesReceived(), frames);
    QCOMPARE(f.Process().state(), QProcess::Running);
}

// With a certificate the service speaks HTTPS and nothing else.
void TestQuorind::httpsOnlyWithACertificate()
{
    QTemporaryDir dir;
    const QString key = dir.filePath(QStringLiteral("k.pem")), certificate = dir.filePath(QStringLiteral("c.pem"));
    QCOMPARE(QProcess::execute(QStringLiteral("openssl"),
                               {QStringLiteral("req"), QStringLiteral("-x509"), QStringLiteral("-newkey"), QStringLiteral("rsa:2048"),
                                QStringLiteral("-nodes"), QStringLiteral("-keyout"), key, QStringLiteral("-out"), certificate,
                                QStringLiteral("-days"), QStringLiteral("2"), QStringLiteral("-subj"), QStringLiteral("/CN=127.0.0.1")}),
             0);
    ServiceFixture f(1, QStringLiteral("tls-certificate=%1\ntls-key=%2").arg(certificate, key));
    QCOMPARE(f.User({QStringLiteral("add"), QStringLiteral("ada"), QStringLiteral("--role"), QStringLiteral("admin")}), 0);
    f.Process().start(QStringLiteral(QUORIND), {QStringLiteral("--config"), f.ConfigPath()});
    QVERIFY(f.Process().waitForStarted());

    QNetworkAccessManager network;
    QNetworkRequest request(QUrl(QStringLiteral("https://127.0.0.1:%1/api/v1/login").arg(f.port)));
    request.setHeader(QNetworkRequest::ContentTypeHeader, "application/json");
    QSslConfiguration tls = request.sslConfiguration();
    tls.setPeerVerifyMode(QSslSocket::VerifyNone);
    request.setSslConfiguration(tls);
    QNetworkReply *reply = nullptr;
    QTRY_VERIFY_WITH_TIMEOUT((reply = network.post(request, R"({"user":"ada","password":"venue-secret"})"),
                              QTest::qWaitFor([reply] { return reply->isFinished(); }, 5000)
                                  && reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt() == 200),
                             10000);
    QVERIFY(reply->rawHeader("Set-Cookie").contains("; Secure"));
    QCOMPARE(f.Call("POST", QStringLiteral("/api/v1/login"), R"({"user":"ada","password":"venue-secret"})").status, 0);
}

// A port held by a live process is refused with its holder named; a lock of a process that is
// gone is taken over; stopped, the service leaves neither a lock file nor exclusive mode behind.
void TestQuorind::portsAreLetGoAndStaleLocksTakenOver()
{
    ServiceFixture f(1);
    const QString lockPath = QStringLiteral("/var/lock/LCK..") + QString(f.Link(0)).replace(QLatin1Char('/'), QLatin1Char('_'));
    const auto lock = [&lockPath](qint64 pid) {
        QFile file(lockPath);
        return file.open(QIODevice::WriteOnly) && file.write(QByteArray::number(pid).rightJustified(10, ' ') + '\n') == 11;
    };
    const auto tidy = qScopeGuard([&lockPath] { QFile::remove(lockPath); });
    QVERIFY(lock(QCoreApplication::applicationPid()));
    QCOMPARE(f.User({QStringLiteral("add"), QStringLiteral("ada"), QStringLiteral("--role"), QStringLiteral("admin")}), 0);
    QVERIFY(f.Start());
    const QString admin = f.Login(QStringLiteral("ada"));
    QTRY_COMPARE_WITH_TIMEOUT(UnitError(f, admin),
                              QStringLiteral("the port is in use by another program (process %1, tst_quorind)")
                                  .arg(QCoreApplication::applicationPid()), 10000);

    // A process that has ended: the service it was is gone, its lock stale.
    QProcess ended;
    ended.start(QStringLiteral("true"));
    QVERIFY(ended.waitForStarted(5000));
    const qint64 gone = ended.processId();
    QVERIFY(ended.waitForFinished(5000));
    QVERIFY(lock(gone));
    QTRY_VERIFY_WITH_TIMEOUT(AllOnline(f, admin, 1), 15000);

    f.Process().terminate();
    QTRY_VERIFY_WITH_TIMEOUT(f.Process().state() == QProcess::NotRunning, 10000);
    QVERIFY(!QFile::exists(lockPath));
    RS232Port port;
    port.SetPortList(QStringList{f.Link(0)});
    QVERIFY(port.OpenPort(QStringLiteral("1")));
}

QTEST_GUILESS_MAIN(TestQuorind)
#include "tst_quorind.moc"
