#include "ScheduleTimes.h"

#include <algorithm>

ScheduleTimes::ScheduleTimes(QList<ScheduleEntry> entries, QTimeZone zone) : entries(std::move(entries)), zone(std::move(zone))
{
}

// The first instant at which the zone's clock shows day and minute or later. Offsets a
// day either side stand for those before and after any change of the clock near it.
QDateTime ScheduleTimes::Due(const QDate &day, int minute) const
{
    const qint64 wall = QDateTime(day, QTime(minute / 60, minute % 60), Qt::UTC).toSecsSinceEpoch();
    std::optional<qint64> first;
    for (const qint64 probe : {wall - 86400, wall + 86400}) {
        const qint64 instant = wall - zone.offsetFromUtc(QDateTime::fromSecsSinceEpoch(probe, Qt::UTC));
        if (zone.offsetFromUtc(QDateTime::fromSecsSinceEpoch(instant, Qt::UTC)) == wall - instant && (!first || instant < *first))
            first = instant;
    }
    if (first)
        return QDateTime::fromSecsSinceEpoch(*first, zone);
    // In a gap: the clock passes the time where the gap ends.
    const QDateTime before = QDateTime::fromSecsSinceEpoch(wall - 86400, Qt::UTC);
    return zone.nextTransition(before).atUtc.toTimeZone(zone);
}

QList<ScheduleTimes::Event> ScheduleTimes::OnDays(const QDate &first, const QDate &last) const
{
    QList<Event> events;
    for (QDate day = first; day <= last; day = day.addDays(1))
        for (const ScheduleEntry &entry : entries)
            if (entry.days & (1 << (day.dayOfWeek() - 1)))
                events.append({Due(day, entry.minute), entry.scene});
    std::stable_sort(events.begin(), events.end(), [](const Event &a, const Event &b) { return a.time < b.time; });
    return events;
}

QList<ScheduleTimes::Event> ScheduleTimes::Between(const QDateTime &from, const QDateTime &to) const
{
    QList<Event> events = OnDays(from.toTimeZone(zone).date().addDays(-1), to.toTimeZone(zone).date().addDays(1));
    events.removeIf([&](const Event &e) { return e.time <= from || e.time > to; });
    return events;
}

QList<ScheduleTimes::Event> ScheduleTimes::Next(const QDateTime &after, int count) const
{
    if (entries.isEmpty())
        return {};
    // Every entry falls due at least once a week.
    const QDate day = after.toTimeZone(zone).date();
    QList<Event> events = OnDays(day.addDays(-1), day.addDays(7 * count + 1));
    events.removeIf([&](const Event &e) { return e.time <= after; });
    return events.mid(0, count);
}

std::optional<ScheduleTimes::Event> ScheduleTimes::Last(const QDateTime &at) const
{
    const QList<Event> events = Between(at.addDays(-7), at);
    if (events.isEmpty())
        return std::nullopt;
    return events.last();
}
