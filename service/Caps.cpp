#include "Caps.h"

#include "LiveSettings.h"
#include "UnitCommands.h"

#include <QJsonObject>
#include <QRegularExpression>
#include <algorithm>

namespace {

const QStringList &DayNames()
{
    static const QStringList names{QStringLiteral("mon"), QStringLiteral("tue"), QStringLiteral("wed"), QStringLiteral("thu"),
                                   QStringLiteral("fri"), QStringLiteral("sat"), QStringLiteral("sun")};
    return names;
}

std::optional<QTime> ClockTime(const QString &text)
{
    static const QRegularExpression form(QStringLiteral("^([01]?[0-9]|2[0-3]):([0-5][0-9])$"));
    const QRegularExpressionMatch match = form.match(text);
    if (!match.hasMatch())
        return std::nullopt;
    return QTime(match.captured(1).toInt(), match.captured(2).toInt());
}

// "mon-sun", "mon-fri", "fri,sat", "sat-mon": days and ranges of days, a range may wrap.
std::optional<std::array<bool, 7>> Days(const QString &text)
{
    std::array<bool, 7> days{};
    const QStringList items = text.toLower().split(QLatin1Char(','), Qt::SkipEmptyParts);
    for (const QString &item : items) {
        const QStringList ends = item.split(QLatin1Char('-'));
        const qsizetype first = DayNames().indexOf(ends.first().trimmed()), last = DayNames().indexOf(ends.last().trimmed());
        if (ends.size() > 2 || first < 0 || last < 0)
            return std::nullopt;
        for (qsizetype d = first;; d = (d + 1) % 7) {
            days[std::size_t(d)] = true;
            if (d == last)
                break;
        }
    }
    if (items.isEmpty())
        return std::nullopt;
    return days;
}

} // namespace

std::optional<QDateTime> CapConfig::OpenUntil(const QDateTime &at) const
{
    if (!from || !to)
        return std::nullopt;
    const QDate today = at.toLocalTime().date();
    // A window lasts a day at most, so only the one opened yesterday may still be open.
    for (const QDate &day : {today.addDays(-1), today}) {
        if (!days[std::size_t(day.dayOfWeek() - 1)])
            continue;
        const QDateTime open(day, *from), close(*to > *from ? day : day.addDays(1), *to);
        if (open <= at && at < close)
            return close;
    }
    return std::nullopt;
}

int CapInForce::Limit(const AnySetting &setting) const
{
    if (!setting.live || setting.live->Group() != LiveSetting::Kind::Volume)
        return -1;
    return limits[std::size_t(setting.live->Channel())];
}

QString ReadCapKey(CapConfig &cap, const QString &key, const QString &value)
{
    if (key == QLatin1String("from") || key == QLatin1String("to")) {
        const std::optional<QTime> time = ClockTime(value);
        if (!time)
            return QStringLiteral("%1 takes a time of day, HH:MM").arg(key);
        (key == QLatin1String("from") ? cap.from : cap.to) = time;
    } else if (key == QLatin1String("days")) {
        const std::optional<std::array<bool, 7>> days = Days(value);
        if (!days)
            return QStringLiteral("days takes days and ranges of them, such as mon-fri or fri,sat");
        cap.days = *days;
    } else if (key == QLatin1String("units")) {
        cap.units.clear();
        if (value != QLatin1String("*"))
            for (const QString &unit : value.split(QLatin1Char(','), Qt::SkipEmptyParts))
                cap.units << unit.trimmed();
        if (value != QLatin1String("*") && cap.units.isEmpty())
            return QStringLiteral("units takes * or a list of units");
    } else if (key == QLatin1String("watch-seconds")) {
        bool ok = false;
        cap.watchSeconds = value.toInt(&ok);
        if (!ok || cap.watchSeconds < 1 || cap.watchSeconds > 3600)
            return QStringLiteral("watch-seconds takes 1 to 3600");
    } else if (const LiveSetting *volume = FindLiveSetting(key); volume && volume->Group() == LiveSetting::Kind::Volume) {
        bool ok = false;
        const int limit = value.toInt(&ok);
        if (!ok || limit < 0 || limit > HighestVolume)
            return QStringLiteral("%1 takes 0 to %2").arg(volume->Name()).arg(HighestVolume);
        cap.limits[std::size_t(volume->Channel())] = limit;
    } else {
        return QStringLiteral("a cap has no key \"%1\"").arg(key);
    }
    return {};
}

QString CapFault(const CapConfig &cap, const QStringList &units)
{
    if (!cap.from || !cap.to)
        return QStringLiteral("[cap %1] needs from= and to=").arg(cap.name);
    if (std::all_of(cap.limits.begin(), cap.limits.end(), [](int limit) { return limit < 0; }))
        return QStringLiteral("[cap %1] holds no volume: give MUS volume=, MIC volume= or KTV volume=").arg(cap.name);
    for (const QString &unit : cap.units)
        if (!units.contains(unit))
            return QStringLiteral("[cap %1]: no unit is named \"%2\"").arg(cap.name, unit);
    return {};
}

QList<OpenCap> OpenCaps(const QList<CapConfig> &caps, const QDateTime &at)
{
    QList<OpenCap> open;
    for (const CapConfig &cap : caps)
        if (const std::optional<QDateTime> until = cap.OpenUntil(at))
            open.append({&cap, *until});
    return open;
}

std::optional<CapInForce> CapOn(const QList<OpenCap> &open, const QString &unit)
{
    std::optional<CapInForce> held;
    for (const OpenCap &o : open) {
        if (!o.cap->Covers(unit))
            continue;
        if (!held) {
            held = CapInForce{o.cap->name, o.until, o.cap->limits, o.cap->watchSeconds};
            continue;
        }
        held->name += QStringLiteral(", ") + o.cap->name;
        held->until = std::min(held->until, o.until);
        held->watchSeconds = std::min(held->watchSeconds, o.cap->watchSeconds);
        for (std::size_t c = 0; c < 3; ++c)
            if (o.cap->limits[c] >= 0 && (held->limits[c] < 0 || o.cap->limits[c] < held->limits[c]))
                held->limits[c] = o.cap->limits[c];
    }
    return held;
}

QJsonValue CapJson(const std::optional<CapInForce> &cap)
{
    if (!cap)
        return QJsonValue::Null;
    QJsonObject limits;
    for (std::size_t c = 0; c < 3; ++c)
        if (cap->limits[c] >= 0)
            limits.insert(AllLiveSettings()[int(c)].Name(), cap->limits[c]);
    const QDateTime until = cap->until.toOffsetFromUtc(cap->until.offsetFromUtc());
    return QJsonObject{{QStringLiteral("name"), cap->name},
                       {QStringLiteral("until"), until.toString(Qt::ISODate)},
                       {QStringLiteral("limits"), limits}};
}
