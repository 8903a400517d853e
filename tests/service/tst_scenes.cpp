#include "Mosquitto.h"
#include "ServiceFixture.h"

#include <QtTest>
#include <csignal>

namespace {

const QByteArray Scenes = "[scene quiet]\nunits=*\nMUS volume=40\nMIC volume=45\nmute=off\nkey=#2\nstaff=true\n"
                          "[scene slow]\nunits=room1\nMUS volume=30\nfade=2\n";
const Mosquitto::User Service{QStringLiteral("quorind"), QStringLiteral("service-secret")};
const Mosquitto::User Automation{QStringLiteral("ha"), QStringLiteral("automation-secret")};

void Append(const ServiceFixture &f, const QByteArray &text)
{
    QFile file(f.ConfigPath());
    file.open(QIODevice::Append);
    file.write(text);
}

QJsonObject UnitOf(ServiceFixture &f, const QString &token, const QString &name)
{
    for (const QJsonValue &unit : f.Call("GET", QStringLiteral("/api/v1/units"), {}, token).Json()[QStringLiteral("units")].toArray())
        if (unit[QStringLiteral("name")].toString() == name)
            return unit.toObject();
    return {};
}

// Every frame a unit takes from now on, as hex.
std::shared_ptr<QStringList> Frames(SimulatorTerminal &sim)
{
    auto frames = std::make_shared<QStringList>();
    sim.Processor().OnFrame = [frames](const CommandFrame &frame) {
        *frames << QString::fromLatin1(QByteArray(reinterpret_cast<const char *>(frame.data()), 6).toHex(' '));
    };
    return frames;
}

} // namespace

class TestScenes : public QObject
{
    Q_OBJECT

private slots:
    void recallSendsItsFramesAndFadesByOne();
    void rolesOverHttpAndMqttAndReload();
    void scheduleFiresAfterTheSpringGap();
};

// A recall sends each setting as its own change would, and nothing else; a fade steps
// the volume by one from where the unit was. Any later change marks the scene modified.
void TestScenes::recallSendsItsFramesAndFadesByOne()
{
    ServiceFixture f(2);
    Append(f, Scenes);
    QCOMPARE(f.User({QStringLiteral("add"), QStringLiteral("ada"), QStringLiteral("--role"), QStringLiteral("admin")}), 0);
    QVERIFY(f.Start());
    const QString token = f.Login(QStringLiteral("ada"));
    QTRY_VERIFY_WITH_TIMEOUT(f.UnitState(token, 0) == QLatin1String("online") && f.UnitState(token, 1) == QLatin1String("online"), 10000);
    QTRY_VERIFY_WITH_TIMEOUT(!UnitOf(f, token, QStringLiteral("room2"))[QStringLiteral("live")][QStringLiteral("mute")].isNull(), 10000);
    const auto frames1 = Frames(f.Sim(0)), frames2 = Frames(f.Sim(1));

    const HttpReply recall = f.Call("POST", QStringLiteral("/api/v1/scenes/quiet/recall"), {}, token);
    QCOMPARE(recall.status, 200);
    const QStringList expected{"cd 01 06 00 00 00", "cd 01 05 00 00 00", "cd 02 06 00 00 28",  // MUS volume: old, maximum, set
                               "cd 01 06 00 01 00", "cd 01 05 00 01 00", "cd 02 06 00 01 2d",  // MIC volume
                               "cd 01 07 00 00 00", "cd 02 07 00 00 00",                       // mute: old, set
                               "cd 02 0b 00 00 07"};                                           // key #2
    QCOMPARE(*frames1, expected);
    QCOMPARE(*frames2, expected);
    const QJsonObject results = recall.Json()[QStringLiteral("results")].toObject();
    QCOMPARE(results[QStringLiteral("room2")][QStringLiteral("status")].toInt(), 200);
    QCOMPARE(results[QStringLiteral("room2")][QStringLiteral("results")].toArray().size(), 4);
    const QJsonObject unchanged{{QStringLiteral("name"), QStringLiteral("quiet")}, {QStringLiteral("modified"), false}};
    QTRY_COMPARE_WITH_TIMEOUT(UnitOf(f, token, QStringLiteral("room1"))[QStringLiteral("scene")].toObject(), unchanged, 5000);

    QCOMPARE(f.Call("POST", QStringLiteral("/api/v1/units/room1/settings"), R"({"MIC volume": 46})", token).status, 200);
    QTRY_VERIFY_WITH_TIMEOUT(UnitOf(f, token, QStringLiteral("room1"))[QStringLiteral("scene")][QStringLiteral("modified")].toBool(), 5000);
    QCOMPARE(UnitOf(f, token, QStringLiteral("room2"))[QStringLiteral("scene")].toObject(), unchanged);
    // A unit the scene is not on is refused on its own, the others go ahead.
    const HttpReply partly = f.Call("POST", QStringLiteral("/api/v1/scenes/slow/recall"), R"({"units": ["room1", "room2"]})", token);
    QCOMPARE(partly.status, 200);
    QCOMPARE(partly.Json()[QStringLiteral("results")][QStringLiteral("room2")][QStringLiteral("code")].toString(), QStringLiteral("not-in-scene"));
    QCOMPARE(partly.Json()[QStringLiteral("results")][QStringLiteral("room1")][QStringLiteral("results")][0][QStringLiteral("result")].toString(),
             QStringLiteral("fading"));

    frames1->clear();
    QTRY_VERIFY_WITH_TIMEOUT(frames1->contains(QStringLiteral("cd 02 06 00 00 1e")), 5000);
    QList<int> steps;
    for (const QString &frame : std::as_const(*frames1))
        if (frame.startsWith(QLatin1String("cd 02 06 00 00")))
            steps << frame.right(2).toInt(nullptr, 16);
    QCOMPARE(steps.first(), 39);
    for (int i = 1; i < steps.size(); ++i)
        QCOMPARE(steps[i], steps[i - 1] - 1);
    QCOMPARE(steps.last(), 30);
    QTRY_COMPARE_WITH_TIMEOUT(UnitOf(f, token, QStringLiteral("room1"))[QStringLiteral("scene")].toObject(),
                              (QJsonObject{{QStringLiteral("name"), QStringLiteral("slow")}, {QStringLiteral("modified"), false}}), 5000);
    QFile audit(f.Path(QStringLiteral("audit.log")));
    QVERIFY(audit.open(QIODevice::ReadOnly));
    QByteArray log;
    QTRY_VERIFY_WITH_TIMEOUT((log += audit.readAll()).contains("\"fade\":2"), 5000);
    QCOMPARE(log.count("\"fade\":2"), 1);  // one line for the whole fade
    QVERIFY(log.contains(R"("fade":2,"new":30,"old":40,"result":"ok","scene":"slow","setting":"MUS volume")"));
}

// A viewer recalls nothing by HTTP or MQTT, staff only scenes marked for them on their rooms;
// a reload changes the scenes under live sessions and keeps them when the file is bad.
void TestScenes::rolesOverHttpAndMqttAndReload()
{
    Mosquitto broker({Service, Automation},
                     QStringLiteral("user quorind\ntopic readwrite quorin/#\ntopic readwrite homeassistant/#\n\nuser ha\ntopic read #\ntopic write quorin/+/scenes/+/recall\n"));
    QVERIFY(broker.Start());
    QTemporaryDir dir;
    QFile password(dir.filePath(QStringLiteral("pw")));
    QVERIFY(password.open(QIODevice::WriteOnly));
    password.write(Service.password.toUtf8() + '\n');
    password.close();
    ServiceFixture f(2, QStringLiteral("[mqtt]\nurl=mqtt://127.0.0.1:%1\nusername=quorind\npassword-file=%2\nprefix=quorin/v\nrole=viewer\n")
                            .arg(broker.port).arg(password.fileName()));
    Append(f, Scenes);
    Listener listener(broker, Automation, QStringLiteral("#"));
    QCOMPARE(f.User({QStringLiteral("add"), QStringLiteral("vic"), QStringLiteral("--role"), QStringLiteral("viewer")}), 0);
    QCOMPARE(f.User({QStringLiteral("add"), QStringLiteral("sam"), QStringLiteral("--role"), QStringLiteral("staff"),
                     QStringLiteral("--units"), QStringLiteral("room2")}), 0);
    QVERIFY(f.Start());
    const QString viewer = f.Login(QStringLiteral("vic")), staff = f.Login(QStringLiteral("sam"));
    QTRY_VERIFY_WITH_TIMEOUT(f.UnitState(viewer, 0) == QLatin1String("online") && f.UnitState(viewer, 1) == QLatin1String("online"), 10000);
    QTRY_COMPARE_WITH_TIMEOUT(listener.Last(QStringLiteral("quorin/v/status")), QByteArray("online"), 10000);
    QTRY_VERIFY_WITH_TIMEOUT(!listener.Last(QStringLiteral("homeassistant/scene/quorin_v__scene_quiet/config")).isEmpty(), 5000);
    QTest::qWait(500);
    const int frames = f.Sim(0).Processor().FramesReceived() + f.Sim(1).Processor().FramesReceived();

    HttpReply r = f.Call("POST", QStringLiteral("/api/v1/scenes/quiet/recall"), {}, viewer);
    QCOMPARE(r.status, 403);
    QCOMPARE(r.Json()[QStringLiteral("error")].toString(), QStringLiteral("a viewer recalls no scene"));
    QVERIFY(broker.Publish(Automation, QStringLiteral("quorin/v/scenes/quiet/recall"), {}));
    QTRY_VERIFY_WITH_TIMEOUT(!listener.Last(QStringLiteral("quorin/v/scenes/quiet/result")).isEmpty(), 5000);
    QCOMPARE(QJsonDocument::fromJson(listener.Last(QStringLiteral("quorin/v/scenes/quiet/result")))[QStringLiteral("status")].toInt(), 403);
    r = f.Call("POST", QStringLiteral("/api/v1/scenes/slow/recall"), {}, staff);
    QCOMPARE(r.status, 403);
    QCOMPARE(r.Json()[QStringLiteral("code")].toString(), QStringLiteral("scene-not-for-staff"));
    r = f.Call("POST", QStringLiteral("/api/v1/scenes/quiet/recall"), R"({"units": ["room1"]})", staff);
    QCOMPARE(r.Json()[QStringLiteral("results")][QStringLiteral("room1")][QStringLiteral("status")].toInt(), 403);
    QCOMPARE(f.Sim(0).Processor().FramesReceived() + f.Sim(1).Processor().FramesReceived(), frames);
    QFile audit(f.Path(QStringLiteral("audit.log")));
    QVERIFY(!audit.open(QIODevice::ReadOnly) || !audit.readAll().contains("asked"));
    const QJsonArray listed = f.Call("GET", QStringLiteral("/api/v1/scenes"), {}, staff).Json()[QStringLiteral("scenes")].toArray();
    QCOMPARE(listed.size(), 1);  // slow is on room1 only
    QCOMPARE(listed[0][QStringLiteral("units")].toArray(), QJsonArray{"room2"});
    QVERIFY(listed[0][QStringLiteral("may-recall")].toBool());
    QCOMPARE(f.Call("POST", QStringLiteral("/api/v1/scenes/quiet/recall"), {}, staff)
                 .Json()[QStringLiteral("results")][QStringLiteral("room2")][QStringLiteral("status")].toInt(), 200);

    const QString since = UnitOf(f, viewer, QStringLiteral("room1"))[QStringLiteral("since")].toString();
    Append(f, "[scene late]\nunits=room2\nKTV volume=10\nstaff=true\n[schedule]\n18:00=late\n");
    ::kill(pid_t(f.Process().processId()), SIGHUP);
    QTRY_COMPARE_WITH_TIMEOUT(f.Call("GET", QStringLiteral("/api/v1/scenes"), {}, staff).Json()[QStringLiteral("scenes")].toArray().size(), 2, 5000);
    QTRY_VERIFY_WITH_TIMEOUT(!listener.Last(QStringLiteral("homeassistant/scene/quorin_v__scene_late/config")).isEmpty(), 5000);
    QCOMPARE(f.Call("GET", QStringLiteral("/api/v1/schedule"), {}, staff).Json()[QStringLiteral("events")].toArray().size(), 10);
    Append(f, "[scene broken]\nvolume=3\n");
    ::kill(pid_t(f.Process().processId()), SIGHUP);
    QTest::qWait(1000);
    QCOMPARE(f.Call("GET", QStringLiteral("/api/v1/scenes"), {}, staff).Json()[QStringLiteral("scenes")].toArray().size(), 2);
    QCOMPARE(f.Process().state(), QProcess::Running);
    QCOMPARE(UnitOf(f, viewer, QStringLiteral("room1"))[QStringLiteral("since")].toString(), since);
}

// 02:30 does not exist in Berlin on 2027-03-28: the schedule recalls its scene once, at 03:00
// CEST, ten seconds after a start at 01:59:50, and audits it as the schedule's.
void TestScenes::scheduleFiresAfterTheSpringGap()
{
    ServiceFixture f(1);
    Append(f, Scenes + "[schedule]\n02:30=quiet\n");
    QCOMPARE(f.User({QStringLiteral("add"), QStringLiteral("ada"), QStringLiteral("--role"), QStringLiteral("admin")}), 0);
    QVERIFY2(f.UnderClock(QStringLiteral("2027-03-28 01:59:50")), "libfaketime is not installed");
    QVERIFY(f.Start());
    const QString token = f.Login(QStringLiteral("ada"));
    const QJsonArray events = f.Call("GET", QStringLiteral("/api/v1/schedule"), {}, token).Json()[QStringLiteral("events")].toArray();
    QVERIFY(!events.isEmpty());
    QCOMPARE(events[0][QStringLiteral("time")].toString(), QStringLiteral("2027-03-28T03:00:00+02:00"));
    QTRY_COMPARE_WITH_TIMEOUT(f.UnitState(token, 0), QStringLiteral("online"), 5000);
    QTRY_COMPARE_WITH_TIMEOUT(UnitOf(f, token, QStringLiteral("room1"))[QStringLiteral("scene")][QStringLiteral("name")].toString(),
                              QStringLiteral("quiet"), 25000);
    QFile audit(f.Path(QStringLiteral("audit.log")));
    QVERIFY(audit.open(QIODevice::ReadOnly));
    int recalled = 0;
    for (const QByteArray &line : audit.readAll().split('\n')) {
        const QJsonObject entry = QJsonDocument::fromJson(line).object();
        if (entry[QStringLiteral("user")] == QLatin1String("schedule") && entry[QStringLiteral("setting")] == QLatin1String("MUS volume")
            && entry[QStringLiteral("result")] == QLatin1String("ok")) {
            ++recalled;
            QVERIFY2(line.contains("2027-03-28T03:00"), line.constData());
        }
    }
    QCOMPARE(recalled, 1);
}

QTEST_MAIN(TestScenes)
#include "tst_scenes.moc"
