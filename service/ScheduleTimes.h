#pragma once

#include <QDateTime>
#include <QList>
#include <QString>
#include <QTimeZone>
#include <optional>

// One line of [schedule]: a scene called for at a local time on some days of the week.
struct ScheduleEntry
{
    quint8 days = 0x7F;  // bit 0 Monday ... bit 6 Sunday
    int minute = 0;      // of the day, 0 to 1439
    QString scene;
};

// When a schedule's entries fall due in a time zone. A local time that a day lacks
// (the clock springs forward over it) falls due once, at the end of the gap; one that
// a day has twice (the clock falls back) falls due once, the first time.
class ScheduleTimes
{
public:
    struct Event
    {
        QDateTime time;  // in the zone
        QString scene;
    };

    ScheduleTimes(QList<ScheduleEntry> entries, QTimeZone zone);

    // Those due after from and at or before to, in time order.
    QList<Event> Between(const QDateTime &from, const QDateTime &to) const;
    // The first count due after after.
    QList<Event> Next(const QDateTime &after, int count) const;
    // The last due at or before at, within the week before it.
    std::optional<Event> Last(const QDateTime &at) const;

private:
    // When entry falls due on the local date day.
    QDateTime Due(const QDate &day, int minute) const;
    QList<Event> OnDays(const QDate &first, const QDate &last) const;

    QList<ScheduleEntry> entries;
    QTimeZone zone;
};
