// quorind with 64 units, each a quorin-sim process emulating the line's time, run over the
// same period with no cap before and after, between them with a cap in force on every unit
// watched every 10 s and every 1 s. What the watch costs is the service's processor time
// beyond the runs without a cap, as a share of one core over the wall time; the 1 s watch,
// ten times the work, also gives the 10 s figure less the noise of the idle service.

#include "ServiceBench.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QJsonDocument>
#include <QProcess>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <cstdio>
#include <memory>
#include <unistd.h>
#include <vector>

namespace {

constexpr int Units = 64;
constexpr int PeriodMs = 40000;

double CpuSeconds(qint64 pid)
{
    QFile stat(QStringLiteral("/proc/%1/stat").arg(pid));
    stat.open(QIODevice::ReadOnly);
    const QList<QByteArray> fields = stat.readAll().split(')').value(1).trimmed().split(' ');
    return (fields.value(11).toDouble() + fields.value(12).toDouble()) / double(sysconf(_SC_CLK_TCK));
}

// quorind on config, once its units are online and a first watch has passed: its
// processor time over the period as a share of one core, in percent.
double Run(const QString &config, const QString &units, const QTemporaryDir &dir)
{
    const quint16 port = FreePort();
    QFile file(dir.filePath(QStringLiteral("quorind.conf")));
    file.open(QIODevice::WriteOnly);
    file.write(QStringLiteral("[service]\nlisten=127.0.0.1:%1\naccounts=accounts.json\naudit=audit.log\n").arg(port).toUtf8()
               + config.toUtf8() + units.toUtf8());
    file.close();
    QProcess service;
    const QByteArray token = StartWithAdmin(service, QStringLiteral(QUORIND_PATH), file.fileName(), port);
    QElapsedTimer clock;
    clock.start();
    while (clock.elapsed() < 30000 && Request(port, "GET", "/api/v1/units", token).count("\"online\"") < Units)
        Wait(200);
    Wait(12000);
    const double before = CpuSeconds(service.processId());
    clock.start();
    Wait(PeriodMs);
    const double share = 100 * (CpuSeconds(service.processId()) - before) / (clock.nsecsElapsed() / 1e9);
    service.terminate();
    service.waitForFinished(10000);
    return share;
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
    const QString cap = QStringLiteral("[cap always]\nfrom=00:00\nto=00:00\nMUS volume=50\nMIC volume=50\nKTV volume=50\n"
                                       "watch-seconds=%1\n");
    const double before = Run({}, units, dir);
    const double every10 = Run(cap.arg(10), units, dir), every1 = Run(cap.arg(1), units, dir);
    const double none = (before + Run({}, units, dir)) / 2;
    std::printf("%d units, no cap: %.2f %% of one core\n", Units, none);
    std::printf("under a cap watched every 10 s: %.2f %%, the watch %.2f %% of one core\n", every10, every10 - none);
    std::printf("under a cap watched every 1 s: %.2f %%, the watch %.2f %%; every 10 s from it: %.3f %% of one core\n",
                every1, every1 - none, (every1 - none) / 10);
    for (auto &sim : sims) {
        sim->kill();
        sim->waitForFinished();
    }
    return 0;
}
