// quorind with 64 units, each a quorin-sim process emulating the line's time: a scene
// recalled on one unit, then on all 64 at once, the answer awaited each time. Each unit has a
// thread and a line of its own, so the whole venue should take little longer than one room.

#include "ServiceBench.h"

#include <QFile>
#include <QJsonDocument>
#include <QProcess>
#include <QTemporaryDir>
#include <algorithm>
#include <cstdio>
#include <memory>
#include <vector>

namespace {

constexpr int Units = 64;
constexpr int Rounds = 3;

// Milliseconds from asking for the recall to its answer.
double Recall(quint16 port, const QByteArray &token, const QByteArray &scene, const QByteArray &body)
{
    QElapsedTimer clock;
    clock.start();
    const QByteArray answer = Request(port, "POST", "/api/v1/scenes/" + scene + "/recall", token, body);
    const double ms = clock.nsecsElapsed() / 1e6;
    if (answer.count("\"status\":200") == 0)
        std::printf("recall refused: %s\n", answer.left(200).constData());
    return ms;
}

double Median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QTemporaryDir dir;
    std::vector<std::unique_ptr<QProcess>> sims;
    QString units;
    for (int i = 0; i < Units; ++i) {
        sims.push_back(std::make_unique<QProcess>());
        sims.back()->start(QStringLiteral(QUORIN_SIM_PATH), {QStringLiteral("--line-time")});
        if (!sims.back()->waitForReadyRead(5000)) {
            std::printf("quorin-sim did not start\n");
            return 1;
        }
        units += QStringLiteral("[room%1]\nport=%2\n").arg(i + 1).arg(QString::fromLocal8Bit(sims.back()->readLine()).trimmed());
    }
    const quint16 port = FreePort();
    QFile file(dir.filePath(QStringLiteral("quorind.conf")));
    file.open(QIODevice::WriteOnly);
    file.write(QStringLiteral("[service]\nlisten=127.0.0.1:%1\naccounts=accounts.json\naudit=audit.log\nstate=.\n"
                              "[scene quiet]\nMUS volume=40\nMIC volume=45\nKTV volume=40\nmute=off\n"
                              "[scene loud]\nMUS volume=60\nMIC volume=65\nKTV volume=60\nmute=off\n%2")
                   .arg(port).arg(units).toUtf8());
    file.close();
    QProcess service;
    const QByteArray token = StartWithAdmin(service, QStringLiteral(QUORIND_PATH), file.fileName(), port);
    QElapsedTimer clock;
    clock.start();
    while (clock.elapsed() < 30000 && Request(port, "GET", "/api/v1/units", token).count("\"online\"") < Units)
        Wait(200);
    Wait(3000);
    std::vector<double> one, all;
    for (int round = 0; round < Rounds; ++round) {
        one.push_back(Recall(port, token, round % 2 ? "quiet" : "loud", R"({"units":["room1"]})"));
        all.push_back(Recall(port, token, round % 2 ? "loud" : "quiet", {}));
    }
    std::printf("a scene on one unit: %.0f ms; on %d units at once: %.0f ms; ratio %.2f (median of %d)\n", Median(one),
                Units, Median(all), Median(all) / Median(one), Rounds);
    service.terminate();
    service.waitForFinished(10000);
    for (auto &sim : sims) {
        sim->kill();
        sim->waitForFinished();
    }
    return 0;
}
