#pragma once

#include "Caps.h"
#include "NamedValue.h"
#include "ScheduleTimes.h"

#include <QList>
#include <QObject>
#include <QString>
#include <QStringList>
#include <optional>

// A [scene NAME] section: live settings recalled together on some units.
struct Scene
{
    QString name;
    QStringList units;  // empty: every unit
    QList<NamedValue> settings;  // in the file's order
    int fade = 0;       // seconds over which the volumes step to theirs; 0 at once
    bool staff = false; // staff may recall it on their units

    bool Covers(const QString &unit) const { return units.isEmpty() || units.contains(unit); }
};

// The part of the configuration that a reload replaces whole while every unit and
// session stays: the scenes, the schedule and the caps.
struct LiveConfig
{
    QList<Scene> scenes;
    QList<CapConfig> caps;
    QList<ScheduleEntry> schedule;
    int catchUpMinutes = 10;

    const Scene *FindScene(const QString &name) const;
};

// Whether [section] belongs to the reloadable part, which the fixed part's reader leaves.
bool IsLiveSection(const QString &section);

// The reloadable sections of the file at path, or nothing with "FILE:LINE: reason" in
// *error; units are the configuration's unit names.
std::optional<LiveConfig> ReadLiveConfig(const QString &path, const QStringList &units, QString *error);

// The reloadable part in force, replaced whole by a reload.
class LiveConfigStore : public QObject
{
    Q_OBJECT

public:
    explicit LiveConfigStore(LiveConfig first) : current(std::move(first)) {}
    const LiveConfig &Current() const { return current; }
    void Replace(LiveConfig next)
    {
        current = std::move(next);
        emit Replaced();
    }

signals:
    void Replaced();

private:
    LiveConfig current;
};
