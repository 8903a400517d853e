#include "Venue.h"

#include "UnitName.h"
#include "Outcomes.h"
#include "UnitSession.h"

#include <QElapsedTimer>
#include <QFile>
#include <QHash>
#include <QRegularExpression>
#include <QThread>
#include <csignal>
#include <cstdio>
#include <memory>
#include <unistd.h>

namespace {

// Set by the first Ctrl+C, SIGTERM or SIGHUP: every unit stops after its current frame.
std::atomic<bool> *stopFlag = nullptr;
// Set by the second: the report is printed at once, with the units still busy called stopped.
std::atomic<bool> hurry{false};

void Interrupted(int)
{
    if (!stopFlag)
        _exit(130);
    if (*stopFlag)
        hurry = true;
    *stopFlag = true;
}

struct Progress
{
    std::atomic<int> percent{0};
    std::atomic<bool> done{false};
};

// What the unit threads share; it outlives RunUnits when a second interrupt leaves them running.
struct Run
{
    std::atomic<bool> stop{false};
    QList<UnitResult> results;
    std::vector<std::unique_ptr<Progress>> progress;
    std::vector<std::unique_ptr<QThread>> threads;
};

void DrawProgress(const QList<Unit> &units, const std::vector<std::unique_ptr<Progress>> &progress, bool redraw)
{
    QString text;
    if (redraw)
        text += QStringLiteral("\x1b[%1A").arg(units.size());
    for (int i = 0; i < units.size(); ++i) {
        const Progress &p = *progress[std::size_t(i)];
        text += QStringLiteral("\x1b[2K%1 %2%\n").arg(units[i].name, -24).arg(p.percent.load(), 3);
    }
    std::fputs(text.toLocal8Bit().constData(), stderr);
    std::fflush(stderr);
}

void StartUnit(Run &run, int i, const UnitJob &job)
{
    Progress *p = run.progress[std::size_t(i)].get();
    UnitResult *result = &run.results[i];
    std::atomic<bool> *stop = &run.stop;
    run.threads.emplace_back(QThread::create([job, p, result, stop] {
        QElapsedTimer clock;
        clock.start();
        UnitSession session(result->unit.entry, *stop);
        session.OnProgress = [p](int percent) { p->percent = percent; };
        if (Took(*result, session.Connect()))
            job(session, *result);
        result->seconds = clock.nsecsElapsed() / 1e9;
        p->percent = 100;
        p->done = true;
    }));
    run.threads.back()->start();
}

// The results as they stand: a unit still busy is reported stopped, and its thread is left to the exit.
QList<UnitResult> Abandon(Run *run)
{
    QList<UnitResult> results;
    for (int i = 0; i < run->results.size(); ++i) {
        if (run->progress[std::size_t(i)]->done) {
            results.append(run->results[i]);
            continue;
        }
        UnitResult stopped(run->results[i].unit);
        stopped.status = UnitFailed;
        stopped.result = QStringLiteral("stopped");
        stopped.code = QStringLiteral("interrupted");
        stopped.message = QStringLiteral("interrupted before it finished: a restore may have left a mix of old and new values");
        results.append(stopped);
    }
    return results;
}

} // namespace

bool InterruptedTwice()
{
    return hurry;
}

QList<UnitResult> RunUnits(const QList<Unit> &units, const UnitJob &job)
{
    auto *run = new Run;
    stopFlag = &run->stop;
    for (int sig : {SIGINT, SIGTERM, SIGHUP})
        std::signal(sig, Interrupted);

    for (const Unit &unit : units) {
        run->results.append(UnitResult{unit});
        run->progress.push_back(std::make_unique<Progress>());
    }
    for (int i = 0; i < units.size(); ++i)
        StartUnit(*run, i, job);

    const bool terminal = isatty(STDERR_FILENO);
    bool drawn = false;
    for (const auto &thread : run->threads) {
        while (!thread->wait(200) && !hurry) {
            if (terminal) {
                DrawProgress(units, run->progress, drawn);
                drawn = true;
            }
        }
    }
    if (drawn)
        DrawProgress(units, run->progress, true);
    if (hurry)
        return Abandon(run);  // the threads still use run; the program ends right after the report
    for (int sig : {SIGINT, SIGTERM, SIGHUP})
        std::signal(sig, SIG_DFL);
    stopFlag = nullptr;
    QList<UnitResult> results = std::move(run->results);
    delete run;
    return results;
}

Unit UnitFromEntry(const QString &entry)
{
    return {UnitNameFromEntry(entry), entry, QString()};
}

std::optional<QList<Unit>> ReadUnitsFile(const QString &path, QString *error)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text)) {
        *error = QStringLiteral("%1: %2").arg(path, file.errorString());
        return std::nullopt;
    }
    QList<Unit> units;
    const QStringList lines = QString::fromUtf8(file.readAll()).split(QLatin1Char('\n'));
    for (int n = 0; n < lines.size(); ++n) {
        const QString line = lines[n].trimmed();
        if (line.isEmpty() || line.startsWith(QLatin1Char('#')))
            continue;
        const QString origin = QStringLiteral("%1:%2").arg(path).arg(n + 1);
        const QStringList words = line.split(QRegularExpression(QStringLiteral("\\s+")));
        Unit unit = words.size() == 1 ? UnitFromEntry(words[0]) : Unit{words[0], words[1], QString()};
        unit.origin = origin;
        if (const QString fault = UnitNameFault(unit.name); !fault.isEmpty()) {
            *error = QStringLiteral("%1: %2").arg(origin, fault);
            return std::nullopt;
        }
        units.append(unit);
    }
    return units;
}

QString RepeatedUnitName(const QList<Unit> &units)
{
    const auto where = [](const Unit &u) {
        return u.origin.isEmpty() ? QStringLiteral("\"%1\" on the command line").arg(u.entry)
                                  : QStringLiteral("%1 (%2)").arg(u.origin, u.entry);
    };
    QHash<QString, int> seen;
    for (int i = 0; i < units.size(); ++i) {
        const auto first = seen.constFind(units[i].name);
        if (first == seen.cend()) {
            seen.insert(units[i].name, i);
            continue;
        }
        return QStringLiteral("%1 and %2 have the same name \"%3\"; give each its own")
            .arg(where(units[*first]), where(units[i]), units[i].name);
    }
    return {};
}
