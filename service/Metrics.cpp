#include "Metrics.h"

#include <QStringList>
#include <algorithm>

namespace {

QString Label(const QString &value)
{
    QString escaped = value;
    escaped.replace(QLatin1Char('\\'), QStringLiteral("\\\\")).replace(QLatin1Char('"'), QStringLiteral("\\\""))
        .replace(QLatin1Char('\n'), QStringLiteral("\\n"));
    return escaped;
}

} // namespace

void Metrics::UnitUp(const QString &unit, bool isUp)
{
    const QMutexLocker hold(&lock);
    up[unit] = isUp;
}

void Metrics::UnitDrift(const QString &unit, int settings)
{
    const QMutexLocker hold(&lock);
    drift[unit] = settings;
}

void Metrics::Command(const QString &unit, const QString &result)
{
    const QMutexLocker hold(&lock);
    ++commands[{unit, result}];
}

void Metrics::Reconnected()
{
    const QMutexLocker hold(&lock);
    ++reconnects;
}

void Metrics::ReplyTime(qint64 microseconds)
{
    const double seconds = microseconds / 1e6;
    const QMutexLocker hold(&lock);
    for (std::size_t i = 0; i < Buckets.size(); ++i)
        if (seconds <= Buckets[i])
            ++replyBuckets[i];
    ++replyCount;
    replySum += seconds;
}

QByteArray Metrics::Text(quint64 auditFailures) const
{
    const QMutexLocker hold(&lock);
    QStringList lines;
    lines << QStringLiteral("# HELP quorin_unit_up Whether the unit is connected.")
          << QStringLiteral("# TYPE quorin_unit_up gauge");
    for (auto it = up.cbegin(); it != up.cend(); ++it)
        lines << QStringLiteral("quorin_unit_up{unit=\"%1\"} %2").arg(Label(it.key())).arg(it.value() ? 1 : 0);
    lines << QStringLiteral("# HELP quorin_unit_drift_settings Protected settings that differ from the approved file.")
          << QStringLiteral("# TYPE quorin_unit_drift_settings gauge");
    for (auto it = drift.cbegin(); it != drift.cend(); ++it)
        lines << QStringLiteral("quorin_unit_drift_settings{unit=\"%1\"} %2").arg(Label(it.key())).arg(it.value());
    lines << QStringLiteral("# HELP quorin_commands_total Commands sent to units through the service.")
          << QStringLiteral("# TYPE quorin_commands_total counter");
    for (auto it = commands.cbegin(); it != commands.cend(); ++it)
        lines << QStringLiteral("quorin_commands_total{unit=\"%1\",result=\"%2\"} %3")
                     .arg(Label(it.key().first), Label(it.key().second)).arg(it.value());
    lines << QStringLiteral("# HELP quorin_reconnects_total Times a lost unit was connected again.")
          << QStringLiteral("# TYPE quorin_reconnects_total counter")
          << QStringLiteral("quorin_reconnects_total %1").arg(reconnects);
    lines << QStringLiteral("# HELP quorin_reply_seconds Time a unit took to answer a frame.")
          << QStringLiteral("# TYPE quorin_reply_seconds histogram");
    for (std::size_t i = 0; i < Buckets.size(); ++i)
        lines << QStringLiteral("quorin_reply_seconds_bucket{le=\"%1\"} %2").arg(Buckets[i]).arg(replyBuckets[i]);
    lines << QStringLiteral("quorin_reply_seconds_bucket{le=\"+Inf\"} %1").arg(replyCount)
          << QStringLiteral("quorin_reply_seconds_sum %1").arg(replySum, 0, 'f', 6)
          << QStringLiteral("quorin_reply_seconds_count %1").arg(replyCount);
    lines << QStringLiteral("# HELP quorin_audit_write_failures_total Audit lines that could not be written.")
          << QStringLiteral("# TYPE quorin_audit_write_failures_total counter")
          << QStringLiteral("quorin_audit_write_failures_total %1").arg(auditFailures);
    return lines.join(QLatin1Char('\n')).toUtf8() + '\n';
}
