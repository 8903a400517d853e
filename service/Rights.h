#pragma once

#include "Accounts.h"

#include <QString>
#include <QStringList>
#include <atomic>
#include <memory>
#include <optional>

// What a caller may ask of the service.
enum class Action { ReadState, ReadSettings, ChangeSetting, Backup, Verify, Restore, Repair, Audit, RecallScene, ReadAlerts };

// Who asks: a person logged in, the MQTT bridge, and later the schedule or a cap; each
// with the rights of its role on its units.
struct Actor
{
    enum class Kind { Person, Bridge, Schedule, Cap };
    Kind kind = Kind::Person;
    QString name;     // as the audit log names them
    QString address;  // where they asked from
    Role role = Role::Viewer;
    QStringList units;  // empty: every unit
    // Set when the one who asked has gone: work for them that has not started is dropped.
    std::shared_ptr<std::atomic<bool>> left;

    bool MaySee(const QString &unit) const { return units.isEmpty() || units.contains(unit); }
};

// Why an actor may not do what it asks.
struct Refusal
{
    int status = 403;
    QString reason;
    QString code;  // stable, for a page to word in its own language
};

// Whether role may do action at all; a refusal in the service's words otherwise.
std::optional<Refusal> Forbidden(Role role, Action action);
// Whether role may change the setting named setting; staff only those the staff= list names.
std::optional<Refusal> ForbiddenSetting(Role role, const QString &setting, const QStringList &staff);
// Whether role may recall scene; staff only those marked staff=true.
std::optional<Refusal> ForbiddenScene(Role role, const QString &scene, bool forStaff);
// Whether action changes a unit, so that it is written to the audit log before it is sent.
bool Changes(Action action);
// As the audit log names it: "restore", "repair", "recall-scene".
QString ActionName(Action action);
