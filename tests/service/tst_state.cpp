#include "ServiceFixture.h"

#include "FactorySettings.h"
#include "SettingsFile.h"

#include <QFileInfo>
#include <QRegularExpression>
#include <QtTest>

namespace {

void Preset(SimulatorTerminal &sim, ParamBlock block, quint8 selector, quint8 address, quint8 value)
{
    for (quint8 b : SettingFrame(UploadOp, block, selector, address, value))
        sim.Processor().Receive(b);
}

QJsonObject Unit(ServiceFixture &f, const QString &token)
{
    return f.Call("GET", QStringLiteral("/api/v1/units"), {}, token).Json()[QStringLiteral("units")][0].toObject();
}

int Badge(ServiceFixture &f, const QString &token)
{
    return Unit(f, token)[QStringLiteral("drift")].toInt(-1);
}

int Verified(ServiceFixture &f, const QString &token)
{
    const HttpReply verify = f.Call("GET", QStringLiteral("/api/v1/units/room1/verify"), {}, token);
    return verify.status == 200 ? int(verify.Json()[QStringLiteral("differences")].toArray().size()) : -1;
}

// A change made with the browser's cookie and the page's CSRF token.
int CookieCall(ServiceFixture &f, const QString &path, const QString &token, const QByteArray &csrf)
{
    QNetworkAccessManager network;
    QNetworkRequest request(QUrl(QStringLiteral("http://127.0.0.1:%1%2").arg(f.port).arg(path)));
    request.setRawHeader("Cookie", "quorin_session=" + token.toLatin1());
    request.setRawHeader("X-Quorin-CSRF", csrf);
    QNetworkReply *reply = network.post(request, QByteArray());
    if (!QTest::qWaitFor([reply] { return reply->isFinished(); }, 10000))
        return 0;
    const int status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
    delete reply;
    return status;
}

} // namespace

// What outlives a restart of the service, and what the service says of its units and of itself.
class TestState : public QObject
{
    Q_OBJECT

private slots:
    void sessionsOutliveARestartButNotTheirAccount();
    void aDamagedSessionsFileIsRefused();
    void driftBadgeIsWhatVerifyFinds();
    void metricsAreWhatPrometheusAndTheRulesRead();
};

void TestState::sessionsOutliveARestartButNotTheirAccount()
{
    ServiceFixture f(1);
    for (const char *name : {"ada", "vic", "sam"})
        QCOMPARE(f.User({QStringLiteral("add"), QString::fromLatin1(name), QStringLiteral("--role"), QStringLiteral("admin")}), 0);
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("TZ"), QStringLiteral("Asia/Shanghai"));
    f.Process().setProcessEnvironment(env);
    QVERIFY(f.Start());
    const QJsonObject login = QJsonDocument::fromJson(
        f.Call("POST", QStringLiteral("/api/v1/login"), R"({"user":"ada","password":"venue-secret"})").body).object();
    const QString ada = login[QStringLiteral("token")].toString(), vic = f.Login(QStringLiteral("vic")),
                  sam = f.Login(QStringLiteral("sam"));
    const QByteArray csrf = login[QStringLiteral("csrf")].toString().toLatin1();
    QTRY_COMPARE_WITH_TIMEOUT(Unit(f, ada)[QStringLiteral("state")].toString(), QStringLiteral("online"), 10000);
    QCOMPARE(f.Call("POST", QStringLiteral("/api/v1/units/room1/settings"), R"({"MIC volume": 30})", ada).status, 200);
    QCOMPARE(f.Call("POST", QStringLiteral("/api/v1/logout"), {}, sam).status, 200);
    f.Stop();

    QFile stored(f.Path(QStringLiteral("sessions.json")));
    QVERIFY(stored.open(QIODevice::ReadOnly));
    const QByteArray held = stored.readAll();
    QVERIFY(!held.contains(ada.toLatin1()) && !held.contains(vic.toLatin1()) && !held.contains(csrf));
    QCOMPARE(QFileInfo(stored).permissions() & ~(QFile::ReadUser | QFile::WriteUser | QFile::ReadOwner | QFile::WriteOwner),
             QFile::Permissions());
    // Removed while the service was down.
    QCOMPARE(f.User({QStringLiteral("del"), QStringLiteral("vic")}), 0);
    QCOMPARE(f.User({QStringLiteral("add"), QStringLiteral("vic"), QStringLiteral("--role"), QStringLiteral("admin")}), 0);

    QVERIFY(f.Start());
    QCOMPARE(f.Call("GET", QStringLiteral("/api/v1/session"), {}, ada).Json()[QStringLiteral("csrf")].toString().toLatin1(), csrf);
    QCOMPARE(f.Call("GET", QStringLiteral("/api/v1/units"), {}, vic).status, 401);
    QCOMPARE(f.Call("GET", QStringLiteral("/api/v1/units"), {}, sam).status, 401);
    // Times in the venue's own zone, the line written in UTC before as well.
    QFile log(f.Path(QStringLiteral("audit.log")));
    QVERIFY(log.open(QIODevice::Append));
    log.write(R"({"user":"old","unit":"room1","setting":"MUS volume","result":"ok","time":"2026-12-11T14:50:10.000Z"})" "\n");
    log.close();
    const QJsonArray entries = f.Call("GET", QStringLiteral("/api/v1/audit"), {}, ada).Json()[QStringLiteral("entries")].toArray();
    QCOMPARE(entries[0][QStringLiteral("time")].toString(), QStringLiteral("2026-12-11T22:50:10.000+08:00"));
    QVERIFY2(entries[1][QStringLiteral("time")].toString().endsWith(QStringLiteral("+08:00")), qPrintable(entries[1][QStringLiteral("time")].toString()));
    QVERIFY(log.open(QIODevice::ReadOnly));
    QVERIFY(log.readAll().contains("+08:00\""));

    // The page's own token still guards a change made with the cookie; logging out stays done.
    QCOMPARE(CookieCall(f, QStringLiteral("/api/v1/logout"), ada, "wrong"), 403);
    QCOMPARE(CookieCall(f, QStringLiteral("/api/v1/logout"), ada, csrf), 200);
    f.Stop();
    QVERIFY(f.Start());
    QCOMPARE(f.Call("GET", QStringLiteral("/api/v1/units"), {}, ada).status, 401);
}

void TestState::aDamagedSessionsFileIsRefused()
{
    ServiceFixture f(1);
    QCOMPARE(f.User({QStringLiteral("add"), QStringLiteral("ada"), QStringLiteral("--role"), QStringLiteral("admin")}), 0);
    for (const QByteArray &content : {QByteArray(R"({"users": []})"), QByteArray(R"({"quorind-sessions": 1, "sessions": [{"tok)")}) {
        QFile file(f.Path(QStringLiteral("sessions.json")));
        QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write(content);
        file.close();
        QProcess service;
        service.start(QStringLiteral(QUORIND), {QStringLiteral("--config"), f.ConfigPath()});
        QByteArray said;
        QTRY_VERIFY_WITH_TIMEOUT((said += service.readAllStandardError()).contains("listening on"), 10000);
        QVERIFY2(said.contains("not a sessions file of this service; starting with no sessions"), said.constData());
        QVERIFY(!f.Login(QStringLiteral("ada")).isEmpty());
        service.terminate();
        QVERIFY(service.waitForFinished(10000));
        QCOMPARE(service.exitCode(), 0);
    }
}

void TestState::driftBadgeIsWhatVerifyFinds()
{
    QTemporaryDir dir;
    const QString golden = dir.filePath(QStringLiteral("golden.txt"));
    QVERIFY(WriteSettingsFile(golden, FactorySettings(), false));
    ServiceFixture f(1, {}, QStringLiteral("golden=%1").arg(golden));
    QCOMPARE(f.User({QStringLiteral("add"), QStringLiteral("ada"), QStringLiteral("--role"), QStringLiteral("admin")}), 0);
    for (int p = 1; p <= 2; ++p)
        Preset(f.Sim(0), ParamBlock::MicParam, 2, MicParams[p].address, quint8(FactorySettings().mic[2][p] + 2));
    QVERIFY(f.Start());
    const QString admin = f.Login(QStringLiteral("ada"));
    QTRY_COMPARE_WITH_TIMEOUT(Badge(f, admin), 2, 20000);

    const HttpReply repair = f.Call("POST", QStringLiteral("/api/v1/units/room1/repair"), {}, admin);
    QCOMPARE(repair.Json()[QStringLiteral("repaired")].toInt(), 2);
    QTRY_COMPARE(Badge(f, admin), 0);
    QCOMPARE(Verified(f, admin), 0);

    // An admin's own change of a protected setting is drift too, and so is what verify finds behind the service's back.
    const QByteArray change = "{\"MIC3 134Hz\": " + QByteArray::number(FactorySettings().mic[2][1] + 1) + "}";
    QCOMPARE(f.Call("POST", QStringLiteral("/api/v1/units/room1/settings"), change, admin).status, 200);
    QTRY_COMPARE(Badge(f, admin), 1);
    QCOMPARE(Verified(f, admin), 1);
    Preset(f.Sim(0), ParamBlock::MicParam, 2, MicParams[3].address, quint8(FactorySettings().mic[2][3] + 2));
    QCOMPARE(Verified(f, admin), 2);
    QTRY_COMPARE(Badge(f, admin), 2);
}

void TestState::metricsAreWhatPrometheusAndTheRulesRead()
{
    QTemporaryDir dir;
    const QString golden = dir.filePath(QStringLiteral("golden.txt"));
    QVERIFY(WriteSettingsFile(golden, FactorySettings(), false));
    ServiceFixture f(1, QStringLiteral("audit=/dev/full"), QStringLiteral("golden=%1").arg(golden));
    QCOMPARE(f.User({QStringLiteral("add"), QStringLiteral("ada"), QStringLiteral("--role"), QStringLiteral("admin")}), 0);
    QVERIFY(f.Start());
    const QString admin = f.Login(QStringLiteral("ada"));
    QTRY_COMPARE_WITH_TIMEOUT(Badge(f, admin), 0, 20000);
    QCOMPARE(f.Call("POST", QStringLiteral("/api/v1/units/room1/settings"), R"({"MIC volume": 30})", admin).status, 503);
    const QByteArray metrics = f.Call("GET", QStringLiteral("/metrics")).body;
    QVERIFY2(metrics.contains("\nquorin_audit_write_failures_total 1\n"), metrics.constData());

    QProcess promtool;
    promtool.start(QStringLiteral("promtool"), {QStringLiteral("check"), QStringLiteral("metrics")});
    QVERIFY2(promtool.waitForStarted(), "promtool is in Debian's prometheus package");
    promtool.write(metrics);
    promtool.closeWriteChannel();
    QVERIFY(promtool.waitForFinished(10000));
    const QByteArray said = promtool.readAllStandardOutput() + promtool.readAllStandardError();
    QVERIFY2(promtool.exitCode() == 0 && said.trimmed().isEmpty(), said.constData());

    // Every series the alerting rules and the dashboard ask for is one quorind gives.
    for (const char *file : {"quorin-rules.yml", "quorin-dashboard.json"}) {
        QFile read(QStringLiteral(QUORIN_SOURCE "/packaging/prometheus/") + QLatin1String(file));
        QVERIFY(read.open(QIODevice::ReadOnly));
        const QString text = QString::fromUtf8(read.readAll());
        for (const QRegularExpressionMatch &name : QRegularExpression(QStringLiteral("quorin_[a-z_]+")).globalMatch(text)) {
            const QString series = name.captured().remove(QRegularExpression(QStringLiteral("_bucket$")));
            QVERIFY2(metrics.contains("# TYPE " + series.toLatin1() + ' '), qPrintable(series));
        }
    }
}

QTEST_MAIN(TestState)
#include "tst_state.moc"
