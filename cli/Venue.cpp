#include "Venue.h"

#include "UnitName.h"
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

// The one flag a signal handler may touch.
std::atomic<bool> *interruptFlag = nullptr;

void Interrupted(int)
{
    if (!interruptFlag || *interruptFlag)
        _exit(130);
    *interruptFlag = true;
}

struct Progress
{
    std::atomic<int> percent{0};
    std::atomic<bool> done{false};
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

} // namespace

QList<UnitResult> RunUnits(const QList<Unit> &units, const UnitJob &job)
{
    std::atomic<bool> stop{false};
    interruptFlag = &stop;
    std::signal(SIGINT, Interrupted);

    QList<UnitResult> results;
    for (const Unit &unit : units)
        results.append(UnitResult{unit});
    std::vector<std::unique_ptr<Progress>> progress;
    std::vector<std::unique_ptr<QThread>> threads;
    for (int i = 0; i < units.size(); ++i) {
        progress.push_back(std::make_unique<Progress>());
        Progress *p = progress.back().get();
        UnitResult *result = &results[i];
        threads.emplace_back(QThread::create([&, p, result] {
            QElapsedTimer clock;
            clock.start();
            UnitSession session(result->unit.name, result->unit.entry, stop);
            session.OnProgress = [p](int percent) { p->percent = percent; };
            if (session.Connect())
                job(session, *result);
            result->model = session.ModelAnswered();
            if (!session.Error().isEmpty()) {
                result->status = std::max<int>(result->status, UnitFailed);
                result->result = session.Stopped() ? QStringLiteral("stopped") : QStringLiteral("failed");
                result->message = session.Error();
            }
            result->seconds = clock.nsecsElapsed() / 1e9;
            p->percent = 100;
            p->done = true;
        }));
        threads.back()->start();
    }

    const bool terminal = isatty(STDERR_FILENO);
    bool drawn = false;
    for (const auto &thread : threads) {
        while (!thread->wait(200)) {
            if (terminal) {
                DrawProgress(units, progress, drawn);
                drawn = true;
            }
        }
    }
    if (drawn)
        DrawProgress(units, progress, true);
    std::signal(SIGINT, SIG_DFL);
    interruptFlag = nullptr;
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
