#pragma once

#include <QHash>
#include <QMutex>
#include <QString>
#include <array>

// The service's counters in the Prometheus text format. Unit threads count into it.
class Metrics
{
public:
    void UnitUp(const QString &unit, bool up);
    void UnitDrift(const QString &unit, int settings);
    void Command(const QString &unit, const QString &result);
    void Reconnected();
    void ReplyTime(qint64 microseconds);

    // With the count of audit lines the log could not take, which the log keeps.
    QByteArray Text(quint64 auditFailures) const;

private:
    static constexpr std::array<double, 8> Buckets{0.005, 0.01, 0.02, 0.05, 0.1, 0.25, 1, 4};

    mutable QMutex lock;
    QHash<QString, bool> up;
    QHash<QString, int> drift;
    QHash<QPair<QString, QString>, quint64> commands;
    quint64 reconnects = 0;
    std::array<quint64, Buckets.size()> replyBuckets{};
    quint64 replyCount = 0;
    double replySum = 0;
};
