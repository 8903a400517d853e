#pragma once

#include "Ser2Net.h"
#include "SimulatorTerminal.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QNetworkAccessManager>
#include <QNetworkCookieJar>
#include <QNetworkReply>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>
#include <memory>

// A client that keeps no cookies: each call carries the token it is given, or none.
class NoCookies : public QNetworkCookieJar
{
public:
    bool setCookiesFromUrl(const QList<QNetworkCookie> &, const QUrl &) override { return false; }
};

// A reply as a client sees it.
struct HttpReply
{
    int status = 0;
    QByteArray body;
    QList<QNetworkReply::RawHeaderPair> headers;
    QJsonObject Json() const { return QJsonDocument::fromJson(body).object(); }
};

// quorind as a venue would run it, on a configuration of simulated units, reached
// with a real HTTP client. Each unit's port is a link to its simulator's terminal, so
// that a unit can be unplugged and plugged back in; the last one may hang on ser2net.
class ServiceFixture
{
public:
    explicit ServiceFixture(int unitCount, const QString &serviceSection = {}, const QString &unitExtra = {},
                            bool lastThroughServer = false)
    {
        network.setCookieJar(new NoCookies);
        for (int i = 0; i < unitCount; ++i) {
            sims.push_back(std::make_unique<SimulatorTerminal>());
            sims.back()->Open();
            QFile::link(sims.back()->Path(), Link(i));
        }
        QString config = QStringLiteral("[service]\nlisten=127.0.0.1:%1\naccounts=accounts.json\naudit=audit.log\nstate=.\n%2\n")
                             .arg(port).arg(serviceSection);
        if (lastThroughServer) {
            server = std::make_unique<Ser2Net>(QList<Ser2Net::Line>{{Link(unitCount - 1), true}});
            server->Start();
        }
        for (int i = 0; i < unitCount; ++i) {
            const QString port = server && i == unitCount - 1 ? server->Entry(0) : Link(i);
            config += QStringLiteral("[room%1]\nport=%2\n%3\n").arg(i + 1).arg(port, i == 0 ? unitExtra : QString());
        }
        QFile file(ConfigPath());
        file.open(QIODevice::WriteOnly);
        file.write(config.toUtf8());
    }
    ~ServiceFixture() { Stop(); }

    QString Link(int i) const { return dir.filePath(QStringLiteral("unit%1").arg(i + 1)); }
    QString ConfigPath() const { return dir.filePath(QStringLiteral("quorind.conf")); }
    QString Path(const QString &name) const { return dir.filePath(name); }
    SimulatorTerminal &Sim(int i) { return *sims[std::size_t(i)]; }

    // A new simulator behind unit i, as after unplugging and plugging it in again.
    void ReplaceSim(int i)
    {
        sims[std::size_t(i)] = std::make_unique<SimulatorTerminal>();
        sims[std::size_t(i)]->Open();
        QFile::remove(Link(i));
        QFile::link(sims[std::size_t(i)]->Path(), Link(i));
    }

    // quorind user add ... with the password on standard input.
    int User(const QStringList &args, const QByteArray &password = "venue-secret")
    {
        QProcess tool;
        tool.start(QStringLiteral(QUORIND), QStringList{QStringLiteral("--config"), ConfigPath(), QStringLiteral("user")} + args);
        tool.write(password + '\n');
        tool.closeWriteChannel();
        tool.waitForFinished(60000);
        return tool.exitCode();
    }

    bool Start()
    {
        service.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        service.start(QStringLiteral(QUORIND), {QStringLiteral("--config"), ConfigPath()});
        if (!service.waitForStarted(5000))
            return false;
        QElapsedTimer clock;
        clock.start();
        while (clock.elapsed() < 10000) {
            if (Call("GET", "/api/v1/units").status == 401)
                return true;
            QTest::qWait(50);
        }
        return false;
    }
    void Stop()
    {
        if (service.state() == QProcess::NotRunning)
            return;
        service.terminate();
        if (!service.waitForFinished(10000))
            service.kill();
    }
    QProcess &Process() { return service; }
    // quorind starts with its clock at start (Berlin's local time) and runs on from there;
    // false when libfaketime is missing. Debian keeps it in the architecture's folder.
    bool UnderClock(const QString &start)
    {
        const QStringList found = QDir(QStringLiteral("/usr/lib")).entryList({QStringLiteral("*-linux-gnu*")}, QDir::Dirs);
        for (const QString &folder : found) {
            const QString library = QStringLiteral("/usr/lib/%1/faketime/libfaketime.so.1").arg(folder);
            if (!QFileInfo::exists(library))
                continue;
            QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
            environment.insert(QStringLiteral("LD_PRELOAD"), library);
            environment.insert(QStringLiteral("FAKETIME"), QLatin1Char('@') + start);
            environment.insert(QStringLiteral("FAKETIME_DONT_FAKE_MONOTONIC"), QStringLiteral("1"));
            environment.insert(QStringLiteral("TZ"), QStringLiteral("Europe/Berlin"));
            environment.insert(QStringLiteral("ASAN_OPTIONS"),
                               environment.value(QStringLiteral("ASAN_OPTIONS")) + QStringLiteral(":verify_asan_link_order=0"));
            service.setProcessEnvironment(environment);
            return true;
        }
        return false;
    }

    HttpReply Call(const QByteArray &method, const QString &path, const QByteArray &body = {},
                   const QString &token = {}, const QByteArray &contentType = "application/json")
    {
        QNetworkRequest request(QUrl(QStringLiteral("http://127.0.0.1:%1%2").arg(port).arg(path)));
        if (!token.isEmpty())
            request.setRawHeader("Authorization", "Bearer " + token.toLatin1());
        request.setHeader(QNetworkRequest::ContentTypeHeader, contentType);
        QNetworkReply *reply = network.sendCustomRequest(request, method, body);
        if (!QTest::qWaitFor([reply] { return reply->isFinished(); }, 60000))
            return {};
        HttpReply r{reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt(), reply->readAll(),
                    reply->rawHeaderPairs()};
        reply->deleteLater();
        return r;
    }
    // A request whose answer nobody waits for.
    void CallLater(const QByteArray &method, const QString &path, const QByteArray &body, const QString &token)
    {
        QNetworkRequest request(QUrl(QStringLiteral("http://127.0.0.1:%1%2").arg(port).arg(path)));
        request.setRawHeader("Authorization", "Bearer " + token.toLatin1());
        network.sendCustomRequest(request, method, body);
    }
    QString Login(const QString &user, const QString &password = QStringLiteral("venue-secret"))
    {
        const QJsonObject body{{QStringLiteral("user"), user}, {QStringLiteral("password"), password}};
        return Call("POST", QStringLiteral("/api/v1/login"), QJsonDocument(body).toJson()).Json()[QStringLiteral("token")].toString();
    }
    QString UnitState(const QString &token, int i)
    {
        const QJsonArray units = Call("GET", QStringLiteral("/api/v1/units"), {}, token).Json()[QStringLiteral("units")].toArray();
        for (const QJsonValue &unit : units)
            if (unit[QStringLiteral("name")].toString() == QStringLiteral("room%1").arg(i + 1))
                return unit[QStringLiteral("state")].toString();
        return {};
    }

    const quint16 port = Ser2Net::FreePort();

private:
    QTemporaryDir dir;
    std::vector<std::unique_ptr<SimulatorTerminal>> sims;
    std::unique_ptr<Ser2Net> server;
    QProcess service;
    QNetworkAccessManager network;
};
