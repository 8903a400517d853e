#include "Mosquitto.h"
#include "ServiceFixture.h"

#include <QJsonArray>
#include <QtTest>

namespace {

const Mosquitto::User Service{QStringLiteral("quorind"), QStringLiteral("service-secret")};
const Mosquitto::User Automation{QStringLiteral("ha"), QStringLiteral("automation-secret")};
const QString Acl = QStringLiteral("user quorind\ntopic readwrite quorin/#\n\nuser ha\ntopic read #\ntopic write quorin/+/+/set\n");

const QString Cap = QStringLiteral("[cap night]\nfrom=%1\nto=%2\nunits=*\nMUS volume=50\nMIC volume=50\nwatch-seconds=2\n");

// As a front panel turns it: the unit stores the value and says nothing.
void Panel(SimulatorTerminal &sim, quint8 block, quint8 channel, quint8 value)
{
    for (quint8 b : SettingFrame(UploadOp, ParamBlock(block), 0, channel, value))
        sim.Processor().Receive(b);
}

quint8 Volume(SimulatorTerminal &sim, quint8 channel)
{
    return sim.Processor().Value(ParamBlock::ChannelVolume, 0, channel);
}

// The audit lines of the cap itself.
QList<QJsonObject> ByCap(ServiceFixture &f)
{
    QFile file(f.Path(QStringLiteral("audit.log")));
    file.open(QIODevice::ReadOnly);
    QList<QJsonObject> lines;
    for (const QByteArray &line : file.readAll().split('\n')) {
        const QJsonObject entry = QJsonDocument::fromJson(line).object();
        if (entry[QStringLiteral("user")] == QStringLiteral("cap") && entry[QStringLiteral("result")] == QStringLiteral("ok"))
            lines.append(entry);
    }
    return lines;
}

// The frames sent to a unit (heartbeats left out), each as hex.
QStringList Frames(const QByteArray &bytes)
{
    QStringList frames;
    for (qsizetype i = bytes.indexOf(char(FrameStart)); i >= 0 && i + 6 <= bytes.size(); i = bytes.indexOf(char(FrameStart), i + 6))
        frames << QString::fromLatin1(bytes.mid(i, 6).toHex());
    return frames;
}

} // namespace

class TestCaps : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void holdsEveryWayInAndThePanel();
    void bringsVolumesDownWhenItBegins();
};

void TestCaps::initTestCase()
{
    QVERIFY2(!QStandardPaths::findExecutable(QStringLiteral("mosquitto"), {QStringLiteral("/usr/sbin")}).isEmpty(),
             "mosquitto is not installed");
}

// A cap in force from before the start: the unit is brought within it when it comes online;
// changes over HTTP and MQTT are held to it, below the power-on maximum; the watch reads
// the capped volumes only and brings back one raised at the panel.
void TestCaps::holdsEveryWayInAndThePanel()
{
    Mosquitto broker({Service, Automation}, Acl);
    QVERIFY(broker.Start());
    QTemporaryDir dir;
    QFile password(dir.filePath(QStringLiteral("pw")));
    QVERIFY(password.open(QIODevice::WriteOnly));
    password.write(Service.password.toUtf8() + '\n');
    password.close();
    const QTime now = QTime::currentTime();
    const QString mqtt = QStringLiteral("[mqtt]\nurl=mqtt://127.0.0.1:%1\nusername=quorind\npassword-file=%2\nprefix=quorin/v\n")
                             .arg(broker.port).arg(password.fileName());
    ServiceFixture f(1, mqtt + Cap.arg(now.addSecs(-60).toString("HH:mm"), now.addSecs(3 * 3600).toString("HH:mm")));
    Panel(f.Sim(0), quint8(ParamBlock::ChannelVolume), 0, 70);
    Panel(f.Sim(0), quint8(ParamBlock::ChannelVolume), 1, 30);
    Panel(f.Sim(0), quint8(ParamBlock::ChannelVolume), 2, 70);
    Panel(f.Sim(0), quint8(ParamBlock::ChannelMaximum), 1, 40);
    QCOMPARE(f.User({QStringLiteral("add"), QStringLiteral("ada"), QStringLiteral("--role"), QStringLiteral("admin")}), 0);
    Listener listener(broker, Automation, QStringLiteral("quorin/v/#"));
    QVERIFY(f.Start());
    const QString admin = f.Login(QStringLiteral("ada"));

    QTRY_COMPARE_WITH_TIMEOUT(Volume(f.Sim(0), 0), quint8(50), 10000);
    QTRY_COMPARE_WITH_TIMEOUT(ByCap(f).size(), 1, 5000);
    const QJsonObject down = ByCap(f)[0];
    QCOMPARE(down[QStringLiteral("cap")].toString(), QStringLiteral("night"));
    QCOMPARE(down[QStringLiteral("setting")].toString(), QStringLiteral("MUS volume"));
    QCOMPARE(down[QStringLiteral("old")].toInt(), 70);
    QCOMPARE(down[QStringLiteral("new")].toInt(), 50);
    QCOMPARE(Volume(f.Sim(0), 1), quint8(30));
    QCOMPARE(Volume(f.Sim(0), 2), quint8(70));
    const QJsonObject cap = f.Call("GET", QStringLiteral("/api/v1/units"), {}, admin).Json()["units"][0]["cap"].toObject();
    QCOMPARE(cap["name"].toString(), QStringLiteral("night"));
    QCOMPARE(cap["limits"].toObject(), (QJsonObject{{"MUS volume", 50}, {"MIC volume", 50}}));
    QVERIFY(QDateTime::fromString(cap["until"].toString(), Qt::ISODate) > QDateTime::currentDateTime());
    QTRY_COMPARE_WITH_TIMEOUT(QJsonDocument::fromJson(listener.Last("quorin/v/room1/state"))["cap"]["name"].toString(),
                              QStringLiteral("night"), 5000);

    // Over HTTP: the cap holds MUS, the lower power-on maximum MIC; the answer says which.
    QHash<QString, QJsonObject> results;
    for (const QJsonValue &r : f.Call("POST", QStringLiteral("/api/v1/units/room1/settings"),
                                      R"({"MUS volume": 75, "MIC volume": 75, "KTV volume": 75})", admin)
                                   .Json()["results"].toArray())
        results.insert(r["setting"].toString(), r.toObject());
    QCOMPARE(results["MUS volume"]["new"].toInt(), 50);
    QCOMPARE(results["MUS volume"]["capped"].toString(), QStringLiteral("night"));
    QCOMPARE(results["MIC volume"]["new"].toInt(), 40);
    QVERIFY(!results["MIC volume"].contains("capped"));
    QCOMPARE(results["KTV volume"]["new"].toInt(), 75);
    QCOMPARE(Volume(f.Sim(0), 0), quint8(50));

    // Over MQTT the same.
    QCOMPARE(f.Call("POST", QStringLiteral("/api/v1/units/room1/settings"), R"({"MUS volume": 20})", admin).status, 200);
    QVERIFY(broker.Publish(Automation, QStringLiteral("quorin/v/room1/set"), R"({"MUS volume": 80})"));
    QTRY_COMPARE_WITH_TIMEOUT(Volume(f.Sim(0), 0), quint8(50), 5000);
    QTRY_COMPARE_WITH_TIMEOUT(QJsonDocument::fromJson(listener.Last("quorin/v/room1/audit"))["capped"].toString(),
                              QStringLiteral("night"), 5000);

    // The watch reads MUS and MIC, nothing else, and sends nothing while they are within the cap.
    QTest::qWait(500);
    qsizetype from = f.Sim(0).Received().size();
    QTest::qWait(4500);
    const QStringList watched = Frames(f.Sim(0).Received().mid(from));
    QVERIFY2(watched.size() >= 3, qPrintable(watched.join(' ')));
    for (const QString &frame : watched)
        QVERIFY2(frame == "cd0106000000" || frame == "cd0106000100", qPrintable(frame));

    // Raised at the panel: back within the watch and its line time, audited as the cap's.
    Panel(f.Sim(0), quint8(ParamBlock::ChannelVolume), 0, 77);
    QElapsedTimer clock;
    clock.start();
    QTRY_COMPARE_WITH_TIMEOUT(Volume(f.Sim(0), 0), quint8(50), 6000);
    QVERIFY2(clock.elapsed() < 2000 + 1500, qPrintable(QString::number(clock.elapsed())));
    QTRY_COMPARE_WITH_TIMEOUT(ByCap(f).size(), 2, 2000);
    QCOMPARE(ByCap(f)[1]["old"].toInt(), 77);
    QCOMPARE(ByCap(f)[1]["new"].toInt(), 50);
    QTRY_COMPARE_WITH_TIMEOUT(QJsonDocument::fromJson(listener.Last("quorin/v/room1/audit"))["user"].toString(),
                              QStringLiteral("cap"), 2000);
    // One within the cap is only taken note of.
    Panel(f.Sim(0), quint8(ParamBlock::ChannelVolume), 0, 44);
    QTRY_COMPARE_WITH_TIMEOUT(QJsonDocument::fromJson(listener.Last("quorin/v/room1/state"))["MUS volume"].toInt(), 44, 6000);
    QCOMPARE(ByCap(f).size(), 2);

    // Brought back more than three times within ten minutes: the cap is fought over, one incident.
    for (int raise = 0; raise < 3; ++raise) {
        Panel(f.Sim(0), quint8(ParamBlock::ChannelVolume), 0, 70);
        QTRY_COMPARE_WITH_TIMEOUT(ByCap(f).size(), 3 + raise, 6000);
    }
    QTRY_COMPARE_WITH_TIMEOUT(listener.Count("quorin/v/alerts"), 1, 2000);
    const QJsonObject alert = QJsonDocument::fromJson(listener.Last("quorin/v/alerts")).object();
    QCOMPARE(alert["kind"].toString(), QStringLiteral("cap-fought"));
    QCOMPARE(alert["unit"].toString(), QStringLiteral("room1"));
    const QJsonArray open = f.Call("GET", QStringLiteral("/api/v1/alerts"), {}, admin).Json()["open"].toArray();
    QCOMPARE(open.size(), 1);
    QCOMPARE(open[0]["kind"].toString(), QStringLiteral("cap-fought"));
}

// Under a shifted clock: the unit is online before 23:00, the cap begins at 23:00 and brings
// its volume down at once; until shows the end with the venue's offset.
void TestCaps::bringsVolumesDownWhenItBegins()
{
    ServiceFixture f(1, Cap.arg("23:00", "07:00"));
    Panel(f.Sim(0), quint8(ParamBlock::ChannelVolume), 1, 66);
    QCOMPARE(f.User({QStringLiteral("add"), QStringLiteral("ada"), QStringLiteral("--role"), QStringLiteral("admin")}), 0);
    QVERIFY2(f.UnderClock(QStringLiteral("2027-01-01 22:59:45")), "libfaketime is not installed");
    QVERIFY(f.Start());
    const QString admin = f.Login(QStringLiteral("ada"));
    QTRY_COMPARE_WITH_TIMEOUT(f.UnitState(admin, 0), QStringLiteral("online"), 5000);
    QVERIFY(f.Call("GET", QStringLiteral("/api/v1/units"), {}, admin).Json()["units"][0]["cap"].isNull());
    QCOMPARE(Volume(f.Sim(0), 1), quint8(66));

    QTRY_COMPARE_WITH_TIMEOUT(Volume(f.Sim(0), 1), quint8(50), 20000);
    QTRY_COMPARE_WITH_TIMEOUT(ByCap(f).size(), 1, 2000);
    QCOMPARE(ByCap(f)[0]["old"].toInt(), 66);
    QCOMPARE(ByCap(f)[0]["cap"].toString(), QStringLiteral("night"));
    QCOMPARE(f.Call("GET", QStringLiteral("/api/v1/units"), {}, admin).Json()["units"][0]["cap"]["until"].toString(),
             QStringLiteral("2027-01-02T07:00:00+01:00"));
}

QTEST_GUILESS_MAIN(TestCaps)
#include "tst_caps.moc"
