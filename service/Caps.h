#pragma once

#include <QDateTime>
#include <QJsonValue>
#include <QList>
#include <QString>
#include <QStringList>
#include <QTime>
#include <array>
#include <optional>

struct AnySetting;

// A [cap NAME] section: a window of local time that opens on the days named, and the
// highest each channel volume of its units may be while it is open.
struct CapConfig
{
    explicit CapConfig(const QString &name = {}, int line = 0) : name(name), line(line) {}

    QString name;
    int line = 0;  // where its section begins, for what is said of it
    std::optional<QTime> from, to;  // to at or before from ends on the next day
    std::array<bool, 7> days{true, true, true, true, true, true, true};  // the window opens on, Monday first
    QStringList units;  // empty: every unit
    std::array<int, 3> limits{-1, -1, -1};  // MUS, MIC, KTV; -1: that channel is not capped
    int watchSeconds = 10;

    bool Covers(const QString &unit) const { return units.isEmpty() || units.contains(unit); }
    // When the window open at local time at closes; nothing when none is open.
    std::optional<QDateTime> OpenUntil(const QDateTime &at) const;
};

// What the caps open on a unit hold it to, as one: each channel at the lowest limit of
// them, until the first of them closes.
struct CapInForce
{
    QString name;  // their names, ", " between
    QDateTime until;
    std::array<int, 3> limits{-1, -1, -1};
    int watchSeconds = 0;

    // The highest value setting may take, or -1 when it is not held.
    int Limit(const AnySetting &setting) const;
    bool operator==(const CapInForce &other) const
    {
        return name == other.name && until == other.until && limits == other.limits && watchSeconds == other.watchSeconds;
    }
};

// Reads one key of a [cap] section into cap; the reason when it is none or its value is wrong.
QString ReadCapKey(CapConfig &cap, const QString &key, const QString &value);
// What keeps cap from working on a venue of these units; empty when nothing does.
QString CapFault(const CapConfig &cap, const QStringList &units);
// A cap whose window is open, and when it closes.
struct OpenCap
{
    const CapConfig *cap;
    QDateTime until;
};
// The caps of caps open at local time at.
QList<OpenCap> OpenCaps(const QList<CapConfig> &caps, const QDateTime &at);
// Those of open that cover unit, as one.
std::optional<CapInForce> CapOn(const QList<OpenCap> &open, const QString &unit);
// As a unit's JSON shows it: {"name", "until", "limits": {"MUS volume": 50, ...}}, or null.
QJsonValue CapJson(const std::optional<CapInForce> &cap);
