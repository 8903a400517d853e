#include "Incidents.h"

#include <QUrl>
#include <algorithm>
#include <QUuid>

namespace {

constexpr int MostRecent = 100;

QJsonValue Time(const QDateTime &time)
{
    return time.isValid() ? QJsonValue(time.toLocalTime().toString(Qt::ISODate)) : QJsonValue();
}

} // namespace

QJsonObject Alert::Json(const QString &state) const
{
    QJsonObject json{{QStringLiteral("id"), id},
                     {QStringLiteral("kind"), kind},
                     {QStringLiteral("venue"), venue},
                     {QStringLiteral("unit"), unit.isEmpty() ? QJsonValue() : QJsonValue(unit)},
                     {QStringLiteral("text"), text},
                     {QStringLiteral("since"), Time(since)},
                     {QStringLiteral("ended"), Time(ended)},
                     {QStringLiteral("link"), link}};
    if (!state.isEmpty())
        json.insert(QStringLiteral("state"), state);
    return json;
}

Incidents::Incidents(int offlineAfterSeconds, const QString &venue, const QString &pageUrl, QObject *parent)
    : QObject(parent), holdMs(qint64(offlineAfterSeconds) * 1000), venue(venue), pageUrl(pageUrl)
{
    next.setSingleShot(true);
    connect(&next, &QTimer::timeout, this, &Incidents::Review);
}

qint64 Incidents::BeginDelay(const QString &kind) const
{
    return kind == QLatin1String("offline") || kind == QLatin1String("broker") ? holdMs : 0;
}

void Incidents::Set(const QString &kind, const QString &unit, bool holds, const QString &text, const QDateTime &since)
{
    Track &track = tracks[{kind, unit}];
    if (holds)
        track.text = text;
    if (track.holds == holds && track.changed.isValid())
        return;
    track.holds = holds;
    track.changed = holds ? since : QDateTime::currentDateTimeUtc();
    Review();
}

void Incidents::Review()
{
    const QDateTime now = QDateTime::currentDateTimeUtc();
    qint64 soonest = -1;
    const auto due = [&](qint64 ms) {
        if (ms > 0 && (soonest < 0 || ms < soonest))
            soonest = ms;
        return ms <= 0;
    };
    // Announced once the review is over, so that whoever hears may set conditions again.
    QList<Alert> begun, ended;
    for (auto it = tracks.begin(); it != tracks.end(); ++it) {
        Track &track = it.value();
        const qint64 held = track.changed.msecsTo(now);
        if (!track.open && track.holds && due(BeginDelay(it.key().first) - held)) {
            const QString &unit = it.key().second;
            track.open = Alert{QUuid::createUuid().toString(QUuid::WithoutBraces), it.key().first, venue, unit, track.text,
                               track.changed, {},
                               unit.isEmpty() ? pageUrl
                                              : pageUrl + QStringLiteral("#/unit/") + QString::fromLatin1(QUrl::toPercentEncoding(unit))};
            begun.append(*track.open);
        } else if (track.open && !track.holds && due(holdMs - held)) {
            track.open->ended = track.changed;
            recent.prepend(*track.open);
            if (recent.size() > MostRecent)
                recent.removeLast();
            track.open.reset();
            ended.append(recent.first());
        }
    }
    for (const Alert &alert : std::as_const(begun))
        emit Begun(alert);
    for (const Alert &alert : std::as_const(ended))
        emit Ended(alert);
    if (soonest >= 0)
        next.start(int(std::min<qint64>(soonest + 10, 24 * 3600 * 1000)));
}

QList<Alert> Incidents::Open() const
{
    QList<Alert> open;
    for (const Track &track : tracks)
        if (track.open)
            open.append(*track.open);
    std::sort(open.begin(), open.end(), [](const Alert &a, const Alert &b) { return a.since > b.since; });
    return open;
}
