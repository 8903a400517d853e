#include "Scheduler.h"

#include "AuditLog.h"
#include "SceneRecall.h"

#include <QJsonObject>
#include <cstdio>

namespace {

// Beyond this a tick's wall time and its elapsed time differ only when the clock was set.
constexpr qint64 JumpMs = 30 * 1000;

const Actor ScheduleActor{Actor::Kind::Schedule, QStringLiteral("schedule"), QString(), Role::Admin, {}, nullptr};

} // namespace

Scheduler::Scheduler(const LiveConfigStore &live, SceneRecall &scenes, AuditLog &audit, QObject *parent)
    : QObject(parent), live(live), scenes(scenes), audit(audit), times(live.Current().schedule, QTimeZone::systemTimeZone())
{
    connect(&live, &LiveConfigStore::Replaced, this, [this] {
        times = ScheduleTimes(this->live.Current().schedule, QTimeZone::systemTimeZone());
    });
    ticker.setInterval(1000);
    connect(&ticker, &QTimer::timeout, this, &Scheduler::Tick);
}

void Scheduler::Start()
{
    lastTick = QDateTime::currentDateTime();
    sinceTick.start();
    const std::optional<ScheduleTimes::Event> last = times.Last(lastTick);
    if (last)
        CatchUp({*last}, lastTick);
    ticker.start();
}

QList<ScheduleTimes::Event> Scheduler::Next(int count) const
{
    return times.Next(QDateTime::currentDateTime(), count);
}

void Scheduler::Tick()
{
    const QDateTime now = QDateTime::currentDateTime();
    const bool jumped = std::abs(lastTick.msecsTo(now) - sinceTick.restart()) > JumpMs;
    const QDateTime from = lastTick;
    lastTick = now;
    if (!jumped) {
        for (const ScheduleTimes::Event &event : times.Between(from, now))
            Recall(event);
        return;
    }
    // Set back, the clock may pass the same minutes again: the last event before now counts.
    QList<ScheduleTimes::Event> missed = now > from ? times.Between(from, now) : QList<ScheduleTimes::Event>();
    if (missed.isEmpty())
        if (const std::optional<ScheduleTimes::Event> last = times.Last(now); last && now < from)
            missed = {*last};
    if (!missed.isEmpty())
        CatchUp(missed, now);
}

void Scheduler::CatchUp(const QList<ScheduleTimes::Event> &missed, const QDateTime &now)
{
    const int within = live.Current().catchUpMinutes;
    for (qsizetype i = 0; i < missed.size(); ++i) {
        const ScheduleTimes::Event &event = missed[i];
        if (i == missed.size() - 1 && event.time.secsTo(now) <= qint64(within) * 60) {
            Recall(event);
            continue;
        }
        const QString why = i < missed.size() - 1 ? QStringLiteral("a later scene was due")
                                                  : QStringLiteral("due more than %1 minutes ago").arg(within);
        audit.Append({{QStringLiteral("user"), ScheduleActor.name},
                      {QStringLiteral("setting"), QStringLiteral("scene ") + event.scene},
                      {QStringLiteral("scene"), event.scene},
                      {QStringLiteral("due"), event.time.toString(Qt::ISODate)},
                      {QStringLiteral("result"), QStringLiteral("skipped")},
                      {QStringLiteral("why"), why}});
    }
}

void Scheduler::Recall(const ScheduleTimes::Event &event)
{
    const QString scene = event.scene;
    scenes.Recall(ScheduleActor, scene, std::nullopt, [scene](int status, const QJsonObject &body) {
        if (status != 200)
            return void(std::fprintf(stderr, "quorind: schedule: %s: %s\n", qPrintable(scene),
                                     qPrintable(body[QStringLiteral("error")].toString())));
        const QJsonObject results = body[QStringLiteral("results")].toObject();
        for (auto it = results.begin(); it != results.end(); ++it)
            if (it.value()[QStringLiteral("status")].toInt() != 200)
                std::fprintf(stderr, "quorind: schedule: %s not recalled on %s: %s\n", qPrintable(scene), qPrintable(it.key()),
                             qPrintable(it.value()[QStringLiteral("error")].toString()));
    });
}
