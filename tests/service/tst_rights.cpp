#include "Mosquitto.h"
#include "ServiceFixture.h"

#include <QtTest>

namespace {

const Mosquitto::User Service{QStringLiteral("quorind"), QStringLiteral("service-secret")};
const Mosquitto::User Automation{QStringLiteral("ha"), QStringLiteral("automation-secret")};
const QString Acl = QStringLiteral("user quorind\ntopic readwrite quorin/#\n\nuser ha\ntopic read #\ntopic write quorin/+/+/set\n");

// What a role may not do, and the words it is refused with.
struct Refused
{
    QString role;
    QByteArray method;
    QString path;
    QByteArray body;  // also sent over MQTT when the path is room1's settings
    QString reason;
};

const QList<Refused> &Refusals()
{
    static const QList<Refused> table{
        {"viewer", "POST", "/units/room1/settings", R"({"MIC volume": 5})", "a viewer changes nothing"},
        {"viewer", "POST", "/units/room1/restore", "x", "a restore is for admins"},
        {"viewer", "POST", "/units/room1/repair", {}, "repairing is for admins"},
        {"viewer", "GET", "/audit", {}, "the audit log is for admins"},
        {"staff", "POST", "/units/room1/settings", R"({"MIC volume": 5, "MUSIC1 57Hz": 3})", "MUSIC1 57Hz is not for staff to change"},
        {"staff", "POST", "/units/room2/settings", R"({"MIC volume": 5})", "room2 is not one of your units"},
        {"staff", "GET", "/units/room1/backup", {}, "backups are for admins and viewers"},
        {"staff", "GET", "/units/room1/verify", {}, "verifying is for admins and viewers"},
        {"staff", "POST", "/units/room1/restore", "x", "a restore is for admins"},
        {"staff", "POST", "/units/room1/repair", {}, "repairing is for admins"},
        {"staff", "GET", "/audit", {}, "the audit log is for admins"},
    };
    return table;
}

} // namespace

class TestRights : public QObject
{
    Q_OBJECT

private slots:
    void everyWayInRefusesWhatTheRoleMayNot();
};

// Each refusal asked over HTTP by a person of the role, and each change also over MQTT by a
// bridge given that role: the same answer both ways, no audit line, and not one frame sent.
void TestRights::everyWayInRefusesWhatTheRoleMayNot()
{
    Mosquitto broker({Service, Automation}, Acl);
    QVERIFY(broker.Start());
    for (const QString &role : {QStringLiteral("viewer"), QStringLiteral("staff")}) {
        QTemporaryDir dir;
        QFile password(dir.filePath(QStringLiteral("pw")));
        QVERIFY(password.open(QIODevice::WriteOnly));
        password.write(Service.password.toUtf8() + '\n');
        password.close();
        const QString prefix = QStringLiteral("quorin/") + role;
        ServiceFixture f(2, QStringLiteral("[mqtt]\nurl=mqtt://127.0.0.1:%1\nusername=quorind\npassword-file=%2\nprefix=%3\nrole=%4\n")
                                .arg(broker.port).arg(password.fileName(), prefix, role));
        Listener listener(broker, Automation, prefix + QStringLiteral("/#"));
        QCOMPARE(f.User({QStringLiteral("add"), QStringLiteral("ada"), QStringLiteral("--role"), QStringLiteral("admin")}), 0);
        QCOMPARE(f.User({QStringLiteral("add"), QStringLiteral("pat"), QStringLiteral("--role"), role, QStringLiteral("--units"),
                         QStringLiteral("room1")}), 0);
        QVERIFY(f.Start());
        const QString admin = f.Login(QStringLiteral("ada")), person = f.Login(QStringLiteral("pat"));
        QTRY_VERIFY_WITH_TIMEOUT(f.UnitState(admin, 0) == QLatin1String("online") && f.UnitState(admin, 1) == QLatin1String("online"), 10000);
        QTRY_COMPARE_WITH_TIMEOUT(listener.Last(prefix + QStringLiteral("/status")), QByteArray("online"), 10000);
        QTest::qWait(500);
        const int frames[2] = {f.Sim(0).Processor().FramesReceived(), f.Sim(1).Processor().FramesReceived()};

        const QString result = prefix + QStringLiteral("/room1/result");
        int published = 0;
        for (const Refused &r : Refusals()) {
            if (r.role != role)
                continue;
            const HttpReply http = f.Call(r.method, QStringLiteral("/api/v1") + r.path, r.body, person);
            QCOMPARE(http.status, 403);
            QCOMPARE(http.Json()[QStringLiteral("error")].toString(), r.reason);
            const QJsonValue code = http.Json()[QStringLiteral("code")];
            QVERIFY(QRegularExpression(QStringLiteral("^[a-z]+(-[a-z]+)+$")).match(code.toString()).hasMatch());
            if (r.path != QLatin1String("/units/room1/settings"))
                continue;
            QVERIFY(broker.Publish(Automation, prefix + QStringLiteral("/room1/set"), r.body));
            ++published;
            QTRY_COMPARE_WITH_TIMEOUT(listener.Count(result), published, 5000);
            QCOMPARE(QJsonDocument::fromJson(listener.Last(result)).object(),
                     (QJsonObject{{QStringLiteral("status"), 403}, {QStringLiteral("error"), r.reason},
                                  {QStringLiteral("code"), code}}));
        }
        QVERIFY(published > 0);
        QCOMPARE(f.Sim(0).Processor().FramesReceived(), frames[0]);
        QCOMPARE(f.Sim(1).Processor().FramesReceived(), frames[1]);
        QFile audit(f.Path(QStringLiteral("audit.log")));
        QVERIFY(!audit.open(QIODevice::ReadOnly) || !audit.readAll().contains("asked"));
    }
}

QTEST_MAIN(TestRights)
#include "tst_rights.moc"
