// quorind with 64 units, each a quorin-sim process emulating the line's time: the idle
// service's processor time and memory, a volume set from request to answer beyond the
// line time, GET /units under 50 connections at once, 16 backups beside one; on an MQTT
// broker, a change to its state message at a subscriber and the broker's return to
// every unit's state said again.

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTcpServer>
#include <QSet>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <algorithm>
#include <cstdio>
#include <memory>
#include <unistd.h>
#include <vector>

namespace {

constexpr int Units = 64;
// One frame out and its one-byte answer, at 9600 baud with ten bits a byte.
constexpr double FrameMs = 7 * 10 * 1000.0 / 9600;

void Wait(int ms)
{
    QElapsedTimer clock;
    clock.start();
    while (clock.elapsed() < ms)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
}

quint16 FreePort()
{
    QTcpServer probe;
    probe.listen(QHostAddress::LocalHost);
    return probe.serverPort();
}

// One HTTP/1.1 request on a kept-alive connection; the status, or 0.
int Request(QTcpSocket &socket, const QByteArray &method, const QByteArray &path, const QByteArray &token,
            const QByteArray &body = {}, QByteArray *answer = nullptr)
{
    socket.write(method + ' ' + path + " HTTP/1.1\r\nHost: 127.0.0.1\r\nAuthorization: Bearer " + token
                 + "\r\nContent-Type: application/json\r\nContent-Length: " + QByteArray::number(body.size()) + "\r\n\r\n"
                 + body);
    QByteArray got;
    qsizetype headerEnd = -1;
    qint64 length = -1;
    QElapsedTimer clock;
    clock.start();
    while (clock.elapsed() < 60000) {
        if (!socket.waitForReadyRead(1000) && socket.state() != QAbstractSocket::ConnectedState)
            return 0;
        got += socket.readAll();
        if (headerEnd < 0 && (headerEnd = got.indexOf("\r\n\r\n")) >= 0) {
            const qsizetype at = got.toLower().indexOf("content-length:");
            length = got.mid(at + 15, got.indexOf("\r\n", at) - at - 15).trimmed().toLongLong();
        }
        if (headerEnd >= 0 && got.size() >= headerEnd + 4 + length) {
            if (answer)
                *answer = got.mid(headerEnd + 4, length);
            return got.mid(9, 3).toInt();
        }
    }
    return 0;
}

// A whole answer: its header and as many bytes as its Content-Length says.
bool Complete(const QByteArray &got)
{
    const qsizetype headerEnd = got.indexOf("\r\n\r\n");
    const qsizetype at = got.toLower().indexOf("content-length:");
    if (headerEnd < 0 || at < 0)
        return false;
    const qint64 length = got.mid(at + 15, got.indexOf("\r\n", at) - at - 15).trimmed().toLongLong();
    return got.size() >= headerEnd + 4 + length;
}

double Percentile(std::vector<double> values, double p)
{
    std::sort(values.begin(), values.end());
    return values[std::min(values.size() - 1, std::size_t(p * double(values.size())))];
}

struct ProcessTimes
{
    double cpuSeconds;
    long rssKb;
};

ProcessTimes Times(qint64 pid)
{
    QFile stat(QStringLiteral("/proc/%1/stat").arg(pid)), status(QStringLiteral("/proc/%1/status").arg(pid));
    stat.open(QIODevice::ReadOnly);
    status.open(QIODevice::ReadOnly);
    const QList<QByteArray> fields = stat.readAll().split(')').value(1).trimmed().split(' ');
    const double ticks = double(sysconf(_SC_CLK_TCK));
    long rss = 0;
    for (const QByteArray &line : status.readAll().split('\n'))
        if (line.startsWith("VmRSS:"))
            rss = line.mid(6).trimmed().split(' ').value(0).toLong();
    return {(fields.value(11).toDouble() + fields.value(12).toDouble()) / ticks, rss};
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QTemporaryDir dir;
    std::vector<std::unique_ptr<QProcess>> sims;
    QString config = QStringLiteral("[service]\nlisten=127.0.0.1:%1\naccounts=accounts.json\naudit=audit.log\nstate=.\n"
                                    "[mqtt]\nurl=mqtt://127.0.0.1:%2\nprefix=quorin/bench\n");
    const quint16 port = FreePort(), brokerPort = FreePort();
    config = config.arg(port).arg(brokerPort);
    QProcess broker;
    const auto startBroker = [&broker, brokerPort] {
        broker.start(QStringLiteral("mosquitto"), {QStringLiteral("-p"), QString::number(brokerPort)});
        broker.waitForStarted();
        Wait(300);
    };
    startBroker();
    for (int i = 0; i < Units; ++i) {
        sims.push_back(std::make_unique<QProcess>());
        sims.back()->start(QStringLiteral(QUORIN_SIM_PATH), {QStringLiteral("--line-time")});
        if (!sims.back()->waitForReadyRead(5000)) {
            std::printf("quorin-sim did not start\n");
            return 1;
        }
        config += QStringLiteral("[room%1]\nport=%2\n").arg(i + 1).arg(QString::fromLocal8Bit(sims.back()->readLine()).trimmed());
    }
    QFile file(dir.filePath(QStringLiteral("quorind.conf")));
    file.open(QIODevice::WriteOnly);
    file.write(config.toUtf8());
    file.close();
    QProcess add;
    add.start(QStringLiteral(QUORIND_PATH), {QStringLiteral("--config"), file.fileName(), QStringLiteral("user"),
                                             QStringLiteral("add"), QStringLiteral("bench"), QStringLiteral("--role"),
                                             QStringLiteral("admin")});
    add.write("bench-password\n");
    add.closeWriteChannel();
    add.waitForFinished();

    QProcess service;
    service.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    service.start(QStringLiteral(QUORIND_PATH), {QStringLiteral("--config"), file.fileName()});
    service.waitForStarted();
    Wait(1000);
    QTcpSocket client;
    client.connectToHost(QHostAddress::LocalHost, port);
    client.waitForConnected();
    QByteArray answer;
    Request(client, "POST", "/api/v1/login", {}, R"({"user":"bench","password":"bench-password"})", &answer);
    const QByteArray token = QJsonDocument::fromJson(answer)[QStringLiteral("token")].toString().toLatin1();
    QElapsedTimer clock;
    clock.start();
    while (clock.elapsed() < 30000) {
        Request(client, "GET", "/api/v1/units", token, {}, &answer);
        if (answer.count("\"online\"") == Units)
            break;
        Wait(200);
    }
    std::printf("%d units online after %.1f s\n", int(answer.count("\"online\"")), clock.elapsed() / 1000.0);

    const ProcessTimes before = Times(service.processId());
    Wait(10000);
    const ProcessTimes after = Times(service.processId());
    std::printf("idle with %d units heartbeating: %.2f %% of one core, RSS %.1f MB\n", Units,
                100 * (after.cpuSeconds - before.cpuSeconds) / 10, after.rssKb / 1024.0);

    // A volume set reads the old value and the channel's maximum, then sets: three frames.
    std::vector<double> beyond;
    for (int i = 0; i < 200; ++i) {
        clock.start();
        const QByteArray body = "{\"MIC volume\": " + QByteArray::number(20 + i % 40) + "}";
        if (Request(client, "POST", "/api/v1/units/room" + QByteArray::number(1 + i % Units) + "/settings", token, body) != 200)
            break;
        beyond.push_back(clock.nsecsElapsed() / 1e6 - 3 * FrameMs);
    }
    if (!beyond.empty())
        std::printf("volume set, beyond the line time of its 3 frames (%.1f ms): median %.2f ms, p99 %.2f ms\n",
                    3 * FrameMs, Percentile(beyond, 0.5), Percentile(beyond, 0.99));

    std::vector<std::unique_ptr<QTcpSocket>> peers;
    for (int i = 0; i < 50; ++i) {
        peers.push_back(std::make_unique<QTcpSocket>());
        peers.back()->connectToHost(QHostAddress::LocalHost, port);
        peers.back()->waitForConnected();
    }
    // Each round sends one request on every connection; a request's time runs from the
    // round's start to its whole answer.
    std::vector<double> listTimes;
    clock.start();
    QElapsedTimer round;
    while (clock.elapsed() < 5000) {
        round.start();
        for (auto &peer : peers)
            peer->write("GET /api/v1/units HTTP/1.1\r\nHost: 127.0.0.1\r\nAuthorization: Bearer " + token + "\r\n\r\n");
        std::vector<QByteArray> got(peers.size());
        std::size_t complete = 0;
        while (complete < peers.size() && round.elapsed() < 5000) {
            for (std::size_t i = 0; i < peers.size(); ++i) {
                if (Complete(got[i]) || !peers[i]->waitForReadyRead(0))
                    continue;
                got[i] += peers[i]->readAll();
                if (Complete(got[i])) {
                    listTimes.push_back(round.nsecsElapsed() / 1e6);
                    ++complete;
                }
            }
        }
    }
    const double seconds = clock.nsecsElapsed() / 1e9;
    std::printf("GET /units, 50 connections at once: %.0f requests/s, median %.2f ms, p99 %.2f ms\n",
                double(listTimes.size()) / seconds, Percentile(listTimes, 0.5), Percentile(listTimes, 0.99));

    clock.start();
    Request(client, "GET", "/api/v1/units/room1/backup", token);
    const double single = clock.nsecsElapsed() / 1e9;
    std::vector<std::unique_ptr<QTcpSocket>> backups;
    for (int i = 0; i < 16; ++i) {
        backups.push_back(std::make_unique<QTcpSocket>());
        backups.back()->connectToHost(QHostAddress::LocalHost, port);
        backups.back()->waitForConnected();
    }
    clock.start();
    for (int i = 0; i < 16; ++i)
        backups[std::size_t(i)]->write("GET /api/v1/units/room" + QByteArray::number(i + 2) + "/backup HTTP/1.1\r\nHost: x\r\nAuthorization: Bearer " + token + "\r\n\r\n");
    int done = 0;
    std::vector<QByteArray> got(16);
    while (done < 16 && clock.elapsed() < 60000) {
        done = 0;
        for (int i = 0; i < 16; ++i) {
            backups[std::size_t(i)]->waitForReadyRead(10);
            got[std::size_t(i)] += backups[std::size_t(i)]->readAll();
            done += Complete(got[std::size_t(i)]) ? 1 : 0;
        }
    }
    const double sixteen = clock.nsecsElapsed() / 1e9;
    std::printf("backup: one unit %.2f s, 16 units at once %.2f s, ratio %.2f\n", single, sixteen, sixteen / single);

    // A change made through the API, until its state message reaches a subscriber.
    QProcess listener;
    const auto listen = [&listener, brokerPort] {
        listener.start(QStringLiteral("mosquitto_sub"), {QStringLiteral("-p"), QString::number(brokerPort), QStringLiteral("-v"),
                                                        QStringLiteral("-t"), QStringLiteral("quorin/bench/+/state")});
        listener.waitForStarted();
        Wait(300);
        listener.readAllStandardOutput();
    };
    listen();
    std::vector<double> toState;
    for (int i = 0; i < 100; ++i) {
        const QByteArray unit = "room" + QByteArray::number(1 + i % Units), volume = QByteArray::number(10 + i % 50);
        clock.start();
        Request(client, "POST", "/api/v1/units/" + unit + "/settings", token, "{\"MIC volume\": " + volume + "}");
        QByteArray heard;
        const QByteArray wanted = "\"MIC volume\":" + volume + ",";
        while (clock.elapsed() < 5000 && !(heard.contains("quorin/bench/" + unit + "/state ") && heard.contains(wanted))) {
            listener.waitForReadyRead(5);
            heard += listener.readAllStandardOutput();
        }
        toState.push_back(clock.nsecsElapsed() / 1e6);
    }
    std::printf("volume set to its state message at a subscriber: median %.2f ms, p99 %.2f ms\n",
                Percentile(toState, 0.5), Percentile(toState, 0.99));

    listener.kill();
    listener.waitForFinished();
    broker.kill();
    broker.waitForFinished();
    Wait(1000);
    startBroker();
    clock.start();
    listen();
    QSet<QByteArray> said;
    while (said.size() < Units && clock.elapsed() < 60000) {
        listener.waitForReadyRead(10);
        for (const QByteArray &line : listener.readAllStandardOutput().split('\n'))
            if (line.startsWith("quorin/bench/"))
                said.insert(line.split('/').value(2));
    }
    std::printf("broker back: every unit's state said again after %.2f s (%lld units)\n", clock.nsecsElapsed() / 1e9,
                qlonglong(said.size()));

    listener.kill();
    listener.waitForFinished();
    service.terminate();
    service.waitForFinished(10000);
    broker.kill();
    broker.waitForFinished();
    for (auto &sim : sims) {
        sim->kill();
        sim->waitForFinished();
    }
    return 0;
}
