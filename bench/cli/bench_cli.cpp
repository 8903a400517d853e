// quorinctl against quorin-sim processes with line-time emulation: the backup of one
// unit beside sixteen at once, the processor time per unit, and a restore with its
// read-back against the line's floor.

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QProcess>
#include <QTemporaryDir>
#include <cstdio>
#include <memory>
#include <sys/resource.h>
#include <vector>

namespace {

// Simulators on their own pseudo-terminals; their paths as a units list.
struct Simulators
{
    explicit Simulators(int count)
    {
        for (int i = 0; i < count; ++i) {
            auto sim = std::make_unique<QProcess>();
            sim->setStandardErrorFile(QProcess::nullDevice());
            sim->start(QStringLiteral(QUORIN_SIM_PATH), {QStringLiteral("--line-time")});
            if (!sim->waitForReadyRead(5000))
                return;
            paths << QString::fromLocal8Bit(sim->readLine()).trimmed();
            processes.push_back(std::move(sim));
        }
    }
    ~Simulators()
    {
        for (auto &sim : processes) {
            sim->terminate();
            sim->waitForFinished(2000);
        }
    }
    QStringList paths;
    std::vector<std::unique_ptr<QProcess>> processes;
};

double ChildCpuSeconds()
{
    rusage usage{};
    getrusage(RUSAGE_CHILDREN, &usage);
    return usage.ru_utime.tv_sec + usage.ru_stime.tv_sec + (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

// Wall seconds and the tool's processor seconds; -1 when it failed.
std::pair<double, double> RunTool(const QStringList &args)
{
    const double cpuBefore = ChildCpuSeconds();
    QElapsedTimer clock;
    clock.start();
    QProcess tool;
    tool.setStandardOutputFile(QProcess::nullDevice());
    tool.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    tool.start(QStringLiteral(QUORINCTL_PATH), args);
    tool.waitForFinished(120000);
    const int status = tool.exitStatus() == QProcess::NormalExit ? tool.exitCode() : -1;
    const double wall = clock.nsecsElapsed() / 1e9;
    return {status == 0 ? wall : -1, ChildCpuSeconds() - cpuBefore};
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QTemporaryDir dir;
    const double frame = 7 * 10 / 9600.0;  // six bytes out, one back

    double one = 0;
    for (int count : {1, 16}) {
        Simulators sims(count);
        if (sims.paths.size() != count) {
            std::printf("quorin-sim did not start\n");
            return 1;
        }
        const auto [wall, cpu] = RunTool(QStringList{QStringLiteral("backup"), QStringLiteral("--out"),
                                                     dir.filePath(QString::number(count))} + sims.paths);
        if (count == 1)
            one = wall;
        std::printf("backup of %2d unit(s): %.3f s wall, ratio to one unit %.3f, %.3f CPU s per unit\n", count, wall,
                    wall / one, cpu / count);
    }

    Simulators sims(1);
    const QString file = QDir(dir.filePath(QStringLiteral("1"))).filePath(QDir(dir.filePath(QStringLiteral("1"))).entryList(QDir::Files).value(0));
    const auto [wall, cpu] = RunTool({QStringLiteral("restore"), file, sims.paths.value(0)});
    // The factory file has mute off, so the unit's 1.5 s pause belongs to the floor.
    const double floor = (212 + 211) * frame + 1.5;
    std::printf("restore with verify:  %.3f s wall, ratio to the %.3f s floor %.3f, %.3f CPU s\n", wall, floor,
                wall / floor, cpu);
    return 0;
}
