// A head office following 50 venues of 16 rooms each on its broker: their state messages,
// published here as the venues' bridges would deliver them, and from one room's change on
// the broker to that room's event on the head office's event stream, median and p99, one
// change at a time and all rooms at once; then the memory with a full audit kept.

#include "MqttClient.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QProcess>
#include <QRandomGenerator>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <algorithm>
#include <cstdio>
#include <vector>

namespace {

constexpr int Venues = 50, Rooms = 16, Changes = 400;

void Wait(int ms)
{
    QElapsedTimer clock;
    clock.start();
    while (clock.elapsed() < ms)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
}

template <typename Done> bool WaitFor(Done done, int ms)
{
    QElapsedTimer clock;
    clock.start();
    while (!done()) {
        if (clock.elapsed() > ms)
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 1);
    }
    return true;
}

quint16 FreePort()
{
    QTcpServer probe;
    probe.listen(QHostAddress::LocalHost);
    return probe.serverPort();
}

QString Prefix(int venue)
{
    return QStringLiteral("quorin/venue%1").arg(venue + 1);
}

QByteArray State(int volume, int round)
{
    return QJsonDocument(QJsonObject{{QStringLiteral("MUS volume"), volume}, {QStringLiteral("MIC volume"), 30},
                                     {QStringLiteral("KTV volume"), 30}, {QStringLiteral("mute"), QStringLiteral("OFF")},
                                     {QStringLiteral("key"), QStringLiteral("natural")}, {QStringLiteral("program"), QStringLiteral("KTV1")},
                                     {QStringLiteral("drift"), round}, {QStringLiteral("model"), QStringLiteral("QSV-416MZ")},
                                     {QStringLiteral("scene"), QJsonValue()}, {QStringLiteral("cap"), QJsonValue()}})
        .toJson(QJsonDocument::Compact);
}

// The events heard so far, each room's id with the round its drift counter carries.
class Events
{
public:
    Events(quint16 port, const QByteArray &token)
    {
        socket.connectToHost(QHostAddress::LocalHost, port);
        socket.waitForConnected();
        socket.write("GET /api/v1/events HTTP/1.1\r\nHost: 127.0.0.1\r\nAuthorization: Bearer " + token + "\r\n\r\n");
    }
    // Each event whole as it came: the room's id and its round.
    QList<std::pair<QString, int>> Take()
    {
        buffer += socket.readAll();
        QList<std::pair<QString, int>> got;
        qsizetype end;
        while ((end = buffer.indexOf("\n\n")) >= 0) {
            const QByteArray event = buffer.left(end);
            buffer.remove(0, end + 2);
            const qsizetype data = event.indexOf("data: ");
            if (data < 0)
                continue;
            const QJsonObject unit = QJsonDocument::fromJson(event.mid(data + 6)).object();
            got.append({unit[QStringLiteral("id")].toString(), unit[QStringLiteral("drift")].toInt()});
        }
        return got;
    }

private:
    QTcpSocket socket;
    QByteArray buffer;
};

double Percentile(std::vector<double> values, double p)
{
    std::sort(values.begin(), values.end());
    return values[std::min(values.size() - 1, std::size_t(p * double(values.size())))];
}

double RssMb(qint64 pid)
{
    QFile status(QStringLiteral("/proc/%1/status").arg(pid));
    status.open(QIODevice::ReadOnly);
    for (const QByteArray &line : status.readAll().split('\n'))
        if (line.startsWith("VmRSS:"))
            return line.mid(6).trimmed().split(' ').first().toDouble() / 1024;
    return 0;
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QTemporaryDir dir;
    const quint16 port = FreePort(), brokerPort = FreePort();
    // As the packaging's example says of the head office's broker: room for every retained
    // message of the chain at once, which a new subscriber is sent together.
    QFile brokerConfig(dir.filePath(QStringLiteral("mosquitto.conf")));
    brokerConfig.open(QIODevice::WriteOnly);
    brokerConfig.write(QStringLiteral("listener %1 127.0.0.1\nallow_anonymous true\nmax_queued_messages 100000\n").arg(brokerPort).toUtf8());
    brokerConfig.close();
    QProcess broker;
    broker.start(QStringLiteral("mosquitto"), {QStringLiteral("-c"), brokerConfig.fileName()});
    broker.waitForStarted();
    Wait(300);

    MqttConfig venues;
    venues.host = QStringLiteral("127.0.0.1");
    venues.port = brokerPort;
    MqttClient publisher(venues);
    QString error;
    if (!publisher.Start({QStringLiteral("bench-venues"), true, std::nullopt}, &error)
        || !WaitFor([&] { return publisher.IsConnected(); }, 5000)) {
        std::printf("no broker: %s\n", qPrintable(error));
        return 1;
    }
    for (int v = 0; v < Venues; ++v) {
        publisher.Publish(Prefix(v) + QStringLiteral("/status"), "online", true);
        for (int r = 0; r < Rooms; ++r) {
            const QString base = Prefix(v) + QStringLiteral("/room%1").arg(r + 1);
            publisher.Publish(base + QStringLiteral("/availability"), "online", true);
            publisher.Publish(base + QStringLiteral("/state"), State(40, 0), true);
        }
    }

    QFile file(dir.filePath(QStringLiteral("quorind.conf")));
    file.open(QIODevice::WriteOnly);
    file.write(QStringLiteral("[service]\nlisten=127.0.0.1:%1\naccounts=accounts.json\naudit=audit.log\nstate=.\n"
                              "[chain]\nurl=mqtt://127.0.0.1:%2\nclient-id=bench-office\n")
                   .arg(port).arg(brokerPort).toUtf8());
    file.close();
    QProcess add;
    add.start(QStringLiteral(QUORIND_PATH), {QStringLiteral("--config"), file.fileName(), QStringLiteral("user"), QStringLiteral("add"),
                                             QStringLiteral("bench"), QStringLiteral("--role"), QStringLiteral("admin")});
    add.write("bench-password\n");
    add.closeWriteChannel();
    add.waitForFinished();
    QProcess office;
    office.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    office.start(QStringLiteral(QUORIND_PATH), {QStringLiteral("--config"), file.fileName()});
    office.waitForStarted();

    QNetworkAccessManager http;
    const auto call = [&http, port](const QByteArray &method, const QString &path, const QByteArray &body, const QByteArray &token) {
        QNetworkRequest request(QUrl(QStringLiteral("http://127.0.0.1:%1%2").arg(port).arg(path)));
        request.setHeader(QNetworkRequest::ContentTypeHeader, QByteArrayLiteral("application/json"));
        if (!token.isEmpty())
            request.setRawHeader("Authorization", "Bearer " + token);
        QNetworkReply *reply = http.sendCustomRequest(request, method, body);
        WaitFor([reply] { return reply->isFinished(); }, 30000);
        const QByteArray answer = reply->readAll();
        reply->deleteLater();
        return answer;
    };
    QElapsedTimer clock;
    clock.start();
    QByteArray token;
    WaitFor([&] {
        token = QJsonDocument::fromJson(call("POST", QStringLiteral("/api/v1/login"), R"({"user":"bench","password":"bench-password"})", {}))
                    [QStringLiteral("token")].toString().toLatin1();
        return !token.isEmpty() || (Wait(100), false);
    }, 10000);
    const int all = Venues * Rooms;
    int online = 0;
    WaitFor([&] {
        online = int(call("GET", QStringLiteral("/api/v1/units"), {}, token).count("\"state\":\"online\""));
        return online == all || (Wait(100), false);
    }, 30000);
    std::printf("%d venues x %d rooms: %d online at the head office %.1f s after it started\n", Venues, Rooms, online,
                clock.elapsed() / 1000.0);

    Events events(port, token);
    Wait(500);
    events.Take();
    std::vector<double> one;
    for (int round = 1; round <= Changes; ++round) {
        const int v = int(QRandomGenerator::global()->bounded(Venues)), r = int(QRandomGenerator::global()->bounded(Rooms));
        const QString id = QStringLiteral("venue%1/room%2").arg(v + 1).arg(r + 1);
        clock.restart();
        publisher.Publish(Prefix(v) + QStringLiteral("/room%1/state").arg(r + 1), State(round % 80, round), true);
        WaitFor([&] {
            for (const auto &[heard, n] : events.Take())
                if (heard == id && n == round)
                    return true;
            return false;
        }, 5000);
        one.push_back(double(clock.nsecsElapsed()) / 1e6);
    }
    std::printf("one change at a time (%d): median %.2f ms, p99 %.2f ms\n", Changes, Percentile(one, 0.5), Percentile(one, 0.99));

    // Every room at once, as after a venue's broker returns: each room's latency from the burst's start.
    const int round = Changes + 1;
    std::vector<double> burst;
    clock.restart();
    for (int v = 0; v < Venues; ++v)
        for (int r = 0; r < Rooms; ++r)
            publisher.Publish(Prefix(v) + QStringLiteral("/room%1/state").arg(r + 1), State(50, round), true);
    WaitFor([&] {
        for (const auto &heard : events.Take())
            if (heard.second == round)
                burst.push_back(double(clock.nsecsElapsed()) / 1e6);
        return int(burst.size()) == all;
    }, 30000);
    std::printf("all %d rooms at once: %d events, median %.1f ms, p99 %.1f ms, last %.1f ms\n", all, int(burst.size()),
                Percentile(burst, 0.5), Percentile(burst, 0.99), burst.empty() ? 0 : burst.back());

    const double before = RssMb(office.processId());
    for (int i = 0; i < 12000; ++i)
        publisher.Publish(Prefix(i % Venues) + QStringLiteral("/room1/audit"),
                          QStringLiteral(R"({"user":"ada","address":"10.0.0.%1","setting":"MUS volume","old":40,"new":%2,"shown":"%2","result":"ok"})")
                              .arg(i % 250).arg(i % 80).toUtf8(), false);
    WaitFor([&] {
        return QJsonDocument::fromJson(call("GET", QStringLiteral("/api/v1/audit?limit=1&user=ada&unit=venue%1/room1").arg((11999 % Venues) + 1), {}, token))
                   [QStringLiteral("entries")][0][QStringLiteral("address")] == QStringLiteral("10.0.0.%1").arg(11999 % 250)
            || (Wait(100), false);
    }, 30000);
    std::printf("RSS of the head office: %.1f MB with %d rooms, %.1f MB with the last 10000 of 12000 audit messages kept\n",
                before, all, RssMb(office.processId()));
    office.terminate();
    office.waitForFinished();
    broker.terminate();
    broker.waitForFinished();
    return 0;
}
