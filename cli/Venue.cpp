#include "Venue.h"

#include "UnitSession.h"

#include <QElapsedTimer>
#include <QFile>
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
    static const QRegularExpression unsafe(QStringLiteral("[^A-Za-z0-9._-]+"));
    QString name = entry;
    name.remove(QRegularExpression(QStringLiteral("^[a-z0-9]+://"))).remove(QRegularExpression(QStringLiteral("^/dev/")));
    name.replace(unsafe, QStringLiteral("_"));
    return {name, entry};
}

std::optional<QList<Unit>> ReadUnitsFile(const QString &path, QString *error)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text)) {
        *error = QStringLiteral("%1: %2").arg(path, file.errorString());
        return std::nullopt;
    }
    QList<Unit> units;
    for (const QString &raw : QString::fromUtf8(file.readAll()).split(QLatin1Char('\n'))) {
        const QString line = raw.trimmed();
        if (line.isEmpty() || line.startsWith(QLatin1Char('#')))
            continue;
        const QStringList words = line.split(QRegularExpression(QStringLiteral("\\s+")));
        if (words.size() == 1)
            units.append(UnitFromEntry(words[0]));
        else
            units.append({words[0], words[1]});
    }
    return units;
}
