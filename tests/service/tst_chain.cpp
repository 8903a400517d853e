#include "Mosquitto.h"
#include "ServiceFixture.h"

#include <QJsonArray>
#include <QTcpSocket>
#include <QtTest>
#include <csignal>

namespace {

const Mosquitto::User Service{QStringLiteral("quorind"), QStringLiteral("service-secret")};
const Mosquitto::User Office{QStringLiteral("hq"), QStringLiteral("office-secret")};

Mosquitto::User BridgeUser(int venue)
{
    return {QStringLiteral("venue%1").arg(venue), QStringLiteral("bridge-secret-%1").arg(venue)};
}

QString Secret(const QTemporaryDir &dir, const QString &name, const QString &password)
{
    QFile file(dir.filePath(name));
    file.open(QIODevice::WriteOnly);
    file.write(password.toUtf8() + '\n');
    return file.fileName();
}

// The head office's broker, and two venues, each a quorind with one simulated unit on a
// broker of its own bridged to the head office's as the packaging's example does; the
// head office's quorind follows them all.
struct Chain
{
    Chain()
    {
        hq.persistent = true;
        for (int v = 1; v <= 2; ++v) {
            Mosquitto &broker = *brokers.emplace_back(std::make_unique<Mosquitto>(
                QList<Mosquitto::User>{Service}, QStringLiteral("user quorind\ntopic readwrite quorin/#\ntopic readwrite homeassistant/#\n")));
            broker.extra = QStringLiteral("connection hq\naddress 127.0.0.1:%1\nremote_username %2\nremote_password %3\n"
                                          "remote_clientid bridge-venue%4\ntopic quorin/venue%4/# both 1\ncleansession false\n"
                                          "restart_timeout 1 2\nnotification_topic quorin/bridges/venue%4\n")
                               .arg(hq.port).arg(BridgeUser(v).name, BridgeUser(v).password).arg(v);
            venues.push_back(std::make_unique<ServiceFixture>(
                1, QStringLiteral("[mqtt]\nurl=mqtt://127.0.0.1:%1\nusername=quorind\npassword-file=%2\nprefix=quorin/venue%3\n")
                       .arg(broker.port).arg(Secret(dir, QStringLiteral("pw%1").arg(v), Service.password)).arg(v)));
        }
        office = std::make_unique<ServiceFixture>(
            0, QStringLiteral("[chain]\nurl=mqtt://127.0.0.1:%1\nusername=hq\npassword-file=%2\nprefixes=quorin/#\n")
                   .arg(hq.port).arg(Secret(dir, QStringLiteral("hq"), Office.password)));
    }
    bool Start()
    {
        if (!hq.Start())
            return false;
        for (auto &broker : brokers)
            if (!broker->Start())
                return false;
        for (auto &venue : venues)
            if (venue->User({QStringLiteral("add"), QStringLiteral("ada"), QStringLiteral("--role"), QStringLiteral("admin")}) != 0
                || !venue->Start())
                return false;
        return office->User({QStringLiteral("add"), QStringLiteral("boss"), QStringLiteral("--role"), QStringLiteral("admin")}) == 0
            && office->User({QStringLiteral("add"), QStringLiteral("clerk"), QStringLiteral("--role"), QStringLiteral("staff")}) == 0
            && office->Start();
    }
    // The room as the head office lists it.
    QJsonObject Room(const QString &token, const QString &id)
    {
        for (const QJsonValue &unit : office->Call("GET", QStringLiteral("/api/v1/units"), {}, token).Json()[QStringLiteral("units")].toArray())
            if (unit[QStringLiteral("id")].toString() == id)
                return unit.toObject();
        return {};
    }
    QJsonArray Audit(const QString &token)
    {
        return office->Call("GET", QStringLiteral("/api/v1/audit?limit=1000"), {}, token).Json()[QStringLiteral("entries")].toArray();
    }
    int VenueVolumes(const QString &token, int value)
    {
        int n = 0;
        for (const QJsonValue &entry : Audit(token))
            n += entry[QStringLiteral("venue")] == QLatin1String("venue1") && entry[QStringLiteral("new")].toInt() == value;
        return n;
    }

    QTemporaryDir dir;
    Mosquitto hq{{Office, BridgeUser(1), BridgeUser(2)},
                 QStringLiteral("user hq\ntopic readwrite quorin/#\n\nuser venue1\ntopic readwrite quorin/venue1/#\ntopic write quorin/bridges/venue1\n\n"
                                "user venue2\ntopic readwrite quorin/venue2/#\ntopic write quorin/bridges/venue2\n")};
    std::vector<std::unique_ptr<Mosquitto>> brokers;
    std::vector<std::unique_ptr<ServiceFixture>> venues;
    std::unique_ptr<ServiceFixture> office;
};

const QString Room1 = QStringLiteral("/api/v1/units/venue1%2Froom1/settings");

} // namespace

class TestChain : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void headOfficeHasNoUnits();
    void followsVenuesAndCommandsThem();
    void venueLostAndBridgeCut();
};

void TestChain::initTestCase()
{
    QVERIFY2(!QStandardPaths::findExecutable(QStringLiteral("mosquitto"), {QStringLiteral("/usr/sbin")}).isEmpty(),
             "mosquitto is not installed");
}

void TestChain::headOfficeHasNoUnits()
{
    ServiceFixture f(1, QStringLiteral("[chain]\nurl=mqtt://127.0.0.1:1883\n"));
    QProcess service;
    service.start(QStringLiteral(QUORIND), {QStringLiteral("--config"), f.ConfigPath()});
    QVERIFY(service.waitForFinished(10000));
    QCOMPARE(service.exitCode(), 2);
    QVERIFY(QString::fromLocal8Bit(service.readAllStandardError()).contains(QStringLiteral("has no units")));
}

// A venue's change reaches the head office's list, event stream and audit; an admin's
// command reaches the unit as its frame and comes back with the venue's answer, the
// venue's MQTT role refusing what it refuses; a scene's answer is gathered by room; alerts
// count on their rooms while open; staff send nothing; silence is a 504.
void TestChain::followsVenuesAndCommandsThem()
{
    Chain chain;
    QVERIFY(chain.Start());
    const QString boss = chain.office->Login(QStringLiteral("boss"));
    QTRY_COMPARE_WITH_TIMEOUT(chain.Room(boss, QStringLiteral("venue2/room1"))[QStringLiteral("state")].toString(), QStringLiteral("online"), 15000);
    QTRY_COMPARE_WITH_TIMEOUT(chain.Room(boss, QStringLiteral("venue1/room1"))[QStringLiteral("state")].toString(), QStringLiteral("online"), 5000);
    const QJsonObject room = chain.Room(boss, QStringLiteral("venue1/room1"));
    QCOMPARE(room[QStringLiteral("venue")].toString(), QStringLiteral("venue1"));
    QCOMPARE(room[QStringLiteral("name")].toString(), QStringLiteral("room1"));
    QCOMPARE(room[QStringLiteral("alerts")].toInt(), 0);
    QCOMPARE(room[QStringLiteral("live")][QStringLiteral("maximum")][QStringLiteral("MIC volume")].toInt(), 80);

    QTcpSocket events;
    events.connectToHost(QStringLiteral("127.0.0.1"), chain.office->port);
    QVERIFY(events.waitForConnected(3000));
    events.write("GET /api/v1/events HTTP/1.1\r\nHost: 127.0.0.1\r\nAuthorization: Bearer " + boss.toLatin1() + "\r\n\r\n");
    QByteArray heard;
    QTRY_VERIFY_WITH_TIMEOUT((heard += events.readAll()).contains(": hello"), 5000);

    const QString ada = chain.venues[0]->Login(QStringLiteral("ada"));
    QCOMPARE(chain.venues[0]->Call("POST", QStringLiteral("/api/v1/units/room1/settings"), R"({"MUS volume": 33})", ada).status, 200);
    QTRY_COMPARE_WITH_TIMEOUT(chain.Room(boss, QStringLiteral("venue1/room1"))[QStringLiteral("live")][QStringLiteral("MUS volume")].toInt(), 33, 5000);
    QTRY_VERIFY_WITH_TIMEOUT((heard += events.readAll()).contains(R"("id":"venue1/room1")") && heard.contains(R"("MUS volume":33)"), 5000);
    QTRY_COMPARE_WITH_TIMEOUT(chain.VenueVolumes(boss, 33), 1, 5000);

    const qsizetype before[] = {chain.venues[0]->Sim(0).Received().size(), chain.venues[1]->Sim(0).Received().size()};
    const HttpReply set = chain.office->Call("POST", Room1, R"({"MIC volume": 20})", boss);
    QCOMPARE(set.status, 200);
    QCOMPARE(set.Json()[QStringLiteral("results")][0][QStringLiteral("result")].toString(), QStringLiteral("ok"));
    QVERIFY(chain.venues[0]->Sim(0).Received().mid(before[0]).contains(QByteArray::fromHex("cd0206000114")));
    QVERIFY(!chain.venues[1]->Sim(0).Received().mid(before[1]).contains(char(FrameStart)));
    QTRY_COMPARE_WITH_TIMEOUT(chain.VenueVolumes(boss, 20), 1, 5000);

    const HttpReply refused = chain.office->Call("POST", Room1, R"({"MUSIC1 57Hz": 3})", boss);
    QCOMPARE(refused.status, 403);
    QVERIFY(refused.Json()[QStringLiteral("error")].toString().contains(QStringLiteral("staff")));
    const QString clerk = chain.office->Login(QStringLiteral("clerk"));
    QCOMPARE(chain.office->Call("POST", Room1, R"({"MIC volume": 5})", clerk).Json()[QStringLiteral("code")].toString(),
             QStringLiteral("head-office-admins-only"));
    QCOMPARE(chain.office->Call("GET", QStringLiteral("/api/v1/audit"), {}, clerk).status, 403);
    QVERIFY(!chain.Room(clerk, QStringLiteral("venue1/room1")).contains(QStringLiteral("alerts")));

    // A venue that says it is online but never answers.
    QVERIFY(chain.hq.Publish(Office, QStringLiteral("quorin/ghost/status"), "online"));
    QVERIFY(chain.hq.Publish(Office, QStringLiteral("quorin/ghost/room1/availability"), "online"));
    QTRY_COMPARE_WITH_TIMEOUT(chain.Room(boss, QStringLiteral("ghost/room1"))[QStringLiteral("state")].toString(), QStringLiteral("online"), 5000);
    // A scene recalled at a venue: its answer, paired by the request it echoes, is gathered by room.
    QProcess venue;
    venue.start(QStringLiteral("mosquitto_sub"), chain.hq.Client(Office) + QStringList{QStringLiteral("-C"), QStringLiteral("1"),
                                                 QStringLiteral("-t"), QStringLiteral("quorin/ghost/scenes/quiet/recall")});
    QVERIFY(venue.waitForStarted(3000));
    QJsonObject recall;
    connect(&venue, &QProcess::readyReadStandardOutput, this, [&] {
        recall = QJsonDocument::fromJson(venue.readAllStandardOutput()).object();
        const QJsonObject result{{QStringLiteral("request"), recall[QStringLiteral("request")]}, {QStringLiteral("status"), 200},
                                 {QStringLiteral("results"), QJsonObject{{QStringLiteral("room1"), QJsonObject{{QStringLiteral("status"), 200}}}}}};
        chain.hq.Publish(Office, QStringLiteral("quorin/ghost/scenes/quiet/result"), QJsonDocument(result).toJson());
    });
    QTest::qWait(500);
    const HttpReply scene = chain.office->Call("POST", QStringLiteral("/api/v1/scenes/quiet/recall"), R"({"units": ["ghost/room1"]})", boss);
    QCOMPARE(scene.status, 200);
    QCOMPARE(recall[QStringLiteral("units")].toArray(), QJsonArray{QStringLiteral("room1")});
    QCOMPARE(scene.Json()[QStringLiteral("results")][QStringLiteral("ghost/room1")][QStringLiteral("status")].toInt(), 200);

    // An alert counts on its room while it is open, however often its beginning is repeated.
    const QByteArray alert = R"({"id":"a1","kind":"offline","unit":"room1","text":"lost","since":"2026-12-11T21:00:00Z","ended":null,"state":"begun"})";
    QVERIFY(chain.hq.Publish(Office, QStringLiteral("quorin/ghost/alerts"), alert));
    QVERIFY(chain.hq.Publish(Office, QStringLiteral("quorin/ghost/alerts"), alert));
    QTRY_COMPARE_WITH_TIMEOUT(chain.Room(boss, QStringLiteral("ghost/room1"))[QStringLiteral("alerts")].toInt(), 1, 5000);
    QCOMPARE(chain.office->Call("GET", QStringLiteral("/api/v1/alerts"), {}, boss).Json()[QStringLiteral("open")].toArray().size(), 1);
    QVERIFY(chain.hq.Publish(Office, QStringLiteral("quorin/ghost/alerts"), QByteArray(alert).replace("begun", "ended")));
    QTRY_COMPARE_WITH_TIMEOUT(chain.Room(boss, QStringLiteral("ghost/room1"))[QStringLiteral("alerts")].toInt(), 0, 5000);
    QCOMPARE(chain.office->Call("GET", QStringLiteral("/api/v1/alerts"), {}, boss).Json()[QStringLiteral("recent")][0][QStringLiteral("venue")].toString(),
             QStringLiteral("ghost"));

    // A venue's word is bounded and must be JSON.
    QVERIFY(chain.hq.Publish(Office, QStringLiteral("quorin/ghost/room1/audit"), "not json"));
    QVERIFY(chain.hq.Publish(Office, QStringLiteral("quorin/ghost/room1/audit"),
                             R"({"user":"ghost","setting":")" + QByteArray(5000, 'x') + R"("})"));
    QVERIFY(chain.hq.Publish(Office, QStringLiteral("quorin/ghost/room1/audit"), R"({"user":"ghost","new":7})"));
    QTRY_VERIFY_WITH_TIMEOUT(chain.office->Call("GET", QStringLiteral("/api/v1/audit?venue=ghost"), {}, boss)
                                 .Json()[QStringLiteral("entries")].toArray().size() == 1, 5000);
    const HttpReply silent = chain.office->Call("POST", QStringLiteral("/api/v1/units/ghost%2Froom1/settings"), R"({"MIC volume": 5})", boss);
    QCOMPARE(silent.status, 504);
    QCOMPARE(silent.Json()[QStringLiteral("code")].toString(), QStringLiteral("venue-no-answer"));
}

// The head office's broker away while a venue changes things: the venue's broker keeps the
// audit for the bridge and nothing is lost. A venue's broker gone shows by its bridge's will,
// a venue's quorind killed by its own.
void TestChain::venueLostAndBridgeCut()
{
    Chain chain;
    QVERIFY(chain.Start());
    const QString boss = chain.office->Login(QStringLiteral("boss"));
    QTRY_COMPARE_WITH_TIMEOUT(chain.Room(boss, QStringLiteral("venue1/room1"))[QStringLiteral("state")].toString(), QStringLiteral("online"), 15000);
    QTRY_COMPARE_WITH_TIMEOUT(chain.Room(boss, QStringLiteral("venue2/room1"))[QStringLiteral("state")].toString(), QStringLiteral("online"), 5000);

    chain.hq.Stop(true);
    const QString ada = chain.venues[0]->Login(QStringLiteral("ada"));
    for (int volume : {41, 42, 43})
        QCOMPARE(chain.venues[0]->Call("POST", QStringLiteral("/api/v1/units/room1/settings"),
                                       QStringLiteral(R"({"MUS volume": %1})").arg(volume).toUtf8(), ada).status, 200);
    QVERIFY(chain.hq.Start());
    QTRY_COMPARE_WITH_TIMEOUT(chain.VenueVolumes(boss, 43), 1, 30000);
    QCOMPARE(chain.VenueVolumes(boss, 41), 1);
    QCOMPARE(chain.VenueVolumes(boss, 42), 1);
    QTRY_COMPARE_WITH_TIMEOUT(chain.Room(boss, QStringLiteral("venue1/room1"))[QStringLiteral("live")][QStringLiteral("MUS volume")].toInt(), 43, 5000);

    // The venue's own broker gone: the bridge's will at the head office's says it is cut off.
    chain.brokers[0]->Stop();
    QTRY_COMPARE_WITH_TIMEOUT(chain.Room(boss, QStringLiteral("venue1/room1"))[QStringLiteral("error")].toString(),
                              QStringLiteral("the venue's broker is cut off"), 10000);
    QVERIFY(chain.brokers[0]->Start());
    QTRY_COMPARE_WITH_TIMEOUT(chain.Room(boss, QStringLiteral("venue1/room1"))[QStringLiteral("state")].toString(), QStringLiteral("online"), 20000);

    ::kill(pid_t(chain.venues[1]->Process().processId()), SIGKILL);
    QTRY_COMPARE_WITH_TIMEOUT(chain.Room(boss, QStringLiteral("venue2/room1"))[QStringLiteral("state")].toString(), QStringLiteral("offline"), 45000);
    QCOMPARE(chain.Room(boss, QStringLiteral("venue2/room1"))[QStringLiteral("error")].toString(), QStringLiteral("the venue is offline"));
    QCOMPARE(chain.Room(boss, QStringLiteral("venue1/room1"))[QStringLiteral("state")].toString(), QStringLiteral("online"));
    QCOMPARE(chain.office->Call("POST", QStringLiteral("/api/v1/units/venue2%2Froom1/settings"), R"({"MIC volume": 5})", boss)
                 .Json()[QStringLiteral("code")].toString(),
             QStringLiteral("venue-offline"));
}

QTEST_GUILESS_MAIN(TestChain)
#include "tst_chain.moc"
