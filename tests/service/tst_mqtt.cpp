#include "Mosquitto.h"
#include "ServiceFixture.h"

#include <QJsonArray>
#include <QtTest>
#include <csignal>

namespace {

const Mosquitto::User Service{QStringLiteral("quorind"), QStringLiteral("service-secret")};
const Mosquitto::User Automation{QStringLiteral("ha"), QStringLiteral("automation-secret")};
const Mosquitto::User Intruder{QStringLiteral("intruder"), QStringLiteral("intruder-secret")};

const QString Acl = QStringLiteral("user quorind\ntopic readwrite quorin/#\ntopic readwrite homeassistant/#\n\n"
                                   "user ha\ntopic read #\ntopic write quorin/+/+/set\n\n"
                                   "user intruder\ntopic read #\n");

QString MqttSection(const Mosquitto &broker, const QString &passwordFile, const QString &prefix)
{
    QFile file(passwordFile);
    file.open(QIODevice::WriteOnly);
    file.write(Service.password.toUtf8() + '\n');
    return QStringLiteral("[mqtt]\nurl=mqtt://127.0.0.1:%1\nusername=quorind\npassword-file=%2\nprefix=%3\n")
        .arg(broker.port).arg(passwordFile, prefix);
}

void Preset(SimulatorTerminal &sim, ParamBlock block, quint8 selector, quint8 address, quint8 value)
{
    for (quint8 b : SettingFrame(UploadOp, block, selector, address, value))
        sim.Processor().Receive(b);
}

QJsonObject Object(const QByteArray &payload)
{
    return QJsonDocument::fromJson(payload).object();
}

} // namespace

class TestMqtt : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void discoveryAndCommands();
    void outagesPrefixesAndLastWill();
};

void TestMqtt::initTestCase()
{
    QVERIFY2(!QStandardPaths::findExecutable(QStringLiteral("mosquitto"), {QStringLiteral("/usr/sbin")}).isEmpty(),
             "mosquitto is not installed");
}

// Every entity Home Assistant needs, field by field; a command over MQTT reaches the
// unit as the API's does, clamped; what the ACL or the role forbids reaches nothing.
void TestMqtt::discoveryAndCommands()
{
    Mosquitto broker({Service, Automation, Intruder}, Acl);
    QVERIFY(broker.Start());
    QTemporaryDir dir;
    ServiceFixture f(1, MqttSection(broker, dir.filePath(QStringLiteral("pw")), QStringLiteral("quorin/venue1")));
    Preset(f.Sim(0), ParamBlock::ChannelMaximum, 0, 1, 60);
    Listener listener(broker, Automation, QStringLiteral("#"));
    QVERIFY(f.Start());
    const QString base = QStringLiteral("quorin/venue1/room1");
    QTRY_VERIFY_WITH_TIMEOUT(!Object(listener.Last(base + QStringLiteral("/state")))[QStringLiteral("mute")].isNull(), 10000);
    QCOMPARE(listener.Last(QStringLiteral("quorin/venue1/status")), QByteArray("online"));
    QCOMPARE(listener.Last(base + QStringLiteral("/availability")), QByteArray("online"));

    const QString id = QStringLiteral("quorin_venue1_room1");
    const auto config = [&](const QString &component, const QString &key) {
        return Object(listener.Last(QStringLiteral("homeassistant/%1/%2_%3/config").arg(component, id, key)));
    };
    QTRY_COMPARE_WITH_TIMEOUT(config(QStringLiteral("number"), QStringLiteral("mic_volume"))[QStringLiteral("max")].toInt(), 60, 5000);
    for (const char *key : {"mus_volume", "mic_volume", "ktv_volume"}) {
        const QJsonObject number = config(QStringLiteral("number"), QLatin1String(key));
        QCOMPARE(number[QStringLiteral("command_topic")].toString(), base + QStringLiteral("/set"));
        QCOMPARE(number[QStringLiteral("state_topic")].toString(), base + QStringLiteral("/state"));
        QCOMPARE(number[QStringLiteral("min")].toInt(), 0);
        QVERIFY(number[QStringLiteral("command_template")].toString().contains(QStringLiteral("{{ value | int }}")));
        QVERIFY(number[QStringLiteral("value_template")].toString().startsWith(QStringLiteral("{{ value_json[")));
    }
    const QJsonObject mute = config(QStringLiteral("switch"), QStringLiteral("mute"));
    QCOMPARE(mute[QStringLiteral("payload_on")].toString(), QStringLiteral("{\"mute\": \"ON\"}"));
    QCOMPARE(mute[QStringLiteral("state_on")].toString(), QStringLiteral("ON"));
    QCOMPARE(config(QStringLiteral("select"), QStringLiteral("program"))[QStringLiteral("options")].toArray(),
             (QJsonArray{"KTV1", "KTV2", "EFF1", "EFF2"}));
    QCOMPARE(config(QStringLiteral("select"), QStringLiteral("key"))[QStringLiteral("options")].toArray().size(), 11);
    QCOMPARE(config(QStringLiteral("binary_sensor"), QStringLiteral("online"))[QStringLiteral("state_topic")].toString(),
             base + QStringLiteral("/availability"));
    QCOMPARE(config(QStringLiteral("binary_sensor"), QStringLiteral("drift"))[QStringLiteral("device_class")].toString(),
             QStringLiteral("problem"));
    for (const auto &[component, key] : QList<std::pair<QString, QString>>{
             {"number", "mus_volume"}, {"switch", "mute"}, {"select", "key"}, {"binary_sensor", "drift"}}) {
        const QJsonObject entity = config(component, key);
        QCOMPARE(entity[QStringLiteral("unique_id")].toString(), id + QLatin1Char('_') + key);
        QCOMPARE(entity[QStringLiteral("device")][QStringLiteral("identifiers")][0].toString(), id);
        QCOMPARE(entity[QStringLiteral("device")][QStringLiteral("model")].toString(), QStringLiteral("QSV-416MZ"));
        QCOMPARE(entity[QStringLiteral("availability")][0][QStringLiteral("topic")].toString(), QStringLiteral("quorin/venue1/status"));
        QVERIFY(!entity[QStringLiteral("name")].toString().isEmpty());
    }

    // A command above the power-on maximum is clamped; its result and audit are published.
    qsizetype before = f.Sim(0).Received().size();
    QVERIFY(broker.Publish(Automation, base + QStringLiteral("/set"), R"({"MIC volume": 75})"));
    QTRY_VERIFY_WITH_TIMEOUT(!listener.Last(base + QStringLiteral("/result")).isEmpty(), 5000);
    QVERIFY(f.Sim(0).Received().mid(before).contains(QByteArray::fromHex("cd020600013c")));
    QCOMPARE(Object(listener.Last(base + QStringLiteral("/result")))[QStringLiteral("status")].toInt(), 200);
    QCOMPARE(Object(listener.Last(base + QStringLiteral("/audit")))[QStringLiteral("new")].toInt(), 60);
    QTRY_COMPARE_WITH_TIMEOUT(Object(listener.Last(base + QStringLiteral("/state")))[QStringLiteral("MIC volume")].toInt(), 60, 5000);

    // Refused by the role (staff may not touch an equaliser) and by the ACL: nothing reaches the unit.
    QVERIFY(broker.Publish(Automation, base + QStringLiteral("/set"), R"({"MUSIC1 57Hz": 3})"));
    QTRY_COMPARE_WITH_TIMEOUT(Object(listener.Last(base + QStringLiteral("/result")))[QStringLiteral("status")].toInt(), 403, 5000);
    QVERIFY(broker.Publish(Automation, base + QStringLiteral("/set"), "not json"));
    QTRY_COMPARE_WITH_TIMEOUT(Object(listener.Last(base + QStringLiteral("/result")))[QStringLiteral("status")].toInt(), 400, 5000);
    before = f.Sim(0).Received().size();
    broker.Publish(Intruder, base + QStringLiteral("/set"), R"({"MIC volume": 5})");
    QTest::qWait(1000);
    QVERIFY(!f.Sim(0).Received().mid(before).contains(char(FrameStart)));
}

// The broker killed and started again: everything is said again; two services with their
// own prefixes on one broker do not mix; a service killed is marked offline by its last will.
void TestMqtt::outagesPrefixesAndLastWill()
{
    Mosquitto broker({Service, Automation, Intruder}, Acl);
    QVERIFY(broker.Start());
    QTemporaryDir dir;
    ServiceFixture one(1, MqttSection(broker, dir.filePath(QStringLiteral("pw1")), QStringLiteral("quorin/venue1")));
    ServiceFixture two(1, MqttSection(broker, dir.filePath(QStringLiteral("pw2")), QStringLiteral("quorin/venue2")));
    QCOMPARE(one.User({QStringLiteral("add"), QStringLiteral("ada"), QStringLiteral("--role"), QStringLiteral("admin")}), 0);
    QVERIFY(one.Start() && two.Start());
    {
        Listener listener(broker, Automation, QStringLiteral("quorin/#"));
        QTRY_VERIFY_WITH_TIMEOUT(!Object(listener.Last(QStringLiteral("quorin/venue2/room1/state")))[QStringLiteral("mute")].isNull(), 10000);
        const qsizetype second = two.Sim(0).Received().size();
        QVERIFY(broker.Publish(Automation, QStringLiteral("quorin/venue1/room1/set"), R"({"KTV volume": 44})"));
        QTRY_COMPARE_WITH_TIMEOUT(one.Sim(0).Processor().Value(ParamBlock::ChannelVolume, 0, 2), quint8(44), 5000);
        QVERIFY(!two.Sim(0).Received().mid(second).contains(char(FrameStart)));
        QCOMPARE(listener.Count(QStringLiteral("quorin/venue2/room1/result")), 0);
    }

    broker.Stop();
    // Meanwhile the API goes on.
    const QString admin = one.Login(QStringLiteral("ada"));
    QCOMPARE(one.Call("POST", QStringLiteral("/api/v1/units/room1/settings"), R"({"MUS volume": 33})", admin).status, 200);
    QVERIFY(broker.Start());
    Listener after(broker, Automation, QStringLiteral("#"));
    QTRY_COMPARE_WITH_TIMEOUT(Object(after.Last(QStringLiteral("quorin/venue1/room1/state")))[QStringLiteral("MUS volume")].toInt(), 33, 40000);
    QTRY_VERIFY_WITH_TIMEOUT(!after.Last(QStringLiteral("homeassistant/switch/quorin_venue1_room1_mute/config")).isEmpty(), 5000);
    QCOMPARE(after.Last(QStringLiteral("quorin/venue1/status")), QByteArray("online"));

    ::kill(pid_t(one.Process().processId()), SIGKILL);
    QTRY_COMPARE_WITH_TIMEOUT(after.Last(QStringLiteral("quorin/venue1/status")), QByteArray("offline"), 60000);
    QCOMPARE(after.Last(QStringLiteral("quorin/venue2/status")), QByteArray("online"));
}

QTEST_GUILESS_MAIN(TestMqtt)
#include "tst_mqtt.moc"
