#include "Rights.h"

#include <QList>

namespace {

// Every right there is, in one place: who may do what, and what the others are told.
struct Right
{
    Action action;
    const char *name;
    QList<Role> roles;
    QList<Role> listedOnly;  // roles that may change only the settings the staff= list names,
                             // or recall only the scenes marked staff=true
    const char *refusal;
    bool changes;            // written to the audit log as asked before anything is sent
};

const QList<Right> &Table()
{
    static const QList<Right> table{
        {Action::ReadState, "read-state", {Role::Admin, Role::Staff, Role::Viewer}, {}, "", false},
        {Action::ReadSettings, "read-settings", {Role::Admin, Role::Staff, Role::Viewer}, {}, "", false},
        {Action::ChangeSetting, "change-setting", {Role::Admin, Role::Staff}, {Role::Staff}, "a viewer changes nothing", true},
        {Action::Backup, "backup", {Role::Admin, Role::Viewer}, {}, "backups are for admins and viewers", false},
        {Action::Verify, "verify", {Role::Admin, Role::Viewer}, {}, "verifying is for admins and viewers", false},
        {Action::Restore, "restore", {Role::Admin}, {}, "a restore is for admins", true},
        {Action::Repair, "repair", {Role::Admin}, {}, "repairing is for admins", true},
        {Action::Audit, "audit", {Role::Admin}, {}, "the audit log is for admins", false},
        {Action::RecallScene, "recall-scene", {Role::Admin, Role::Staff}, {Role::Staff}, "a viewer recalls no scene", true},
        {Action::ReadAlerts, "read-alerts", {Role::Admin}, {}, "alerts are for admins", false},
    };
    return table;
}

const Right &RightOf(Action action)
{
    for (const Right &right : Table())
        if (right.action == action)
            return right;
    Q_UNREACHABLE();
}

} // namespace

std::optional<Refusal> Forbidden(Role role, Action action)
{
    const Right &right = RightOf(action);
    if (right.roles.contains(role))
        return std::nullopt;
    return Refusal{403, QString::fromUtf8(right.refusal), QStringLiteral("forbidden-") + QLatin1String(right.name)};
}

std::optional<Refusal> ForbiddenSetting(Role role, const QString &setting, const QStringList &staff)
{
    if (const std::optional<Refusal> refusal = Forbidden(role, Action::ChangeSetting))
        return refusal;
    if (!RightOf(Action::ChangeSetting).listedOnly.contains(role) || staff.contains(setting))
        return std::nullopt;
    return Refusal{403, QStringLiteral("%1 is not for staff to change").arg(setting),
                   QStringLiteral("setting-not-for-staff")};
}

std::optional<Refusal> ForbiddenScene(Role role, const QString &scene, bool forStaff)
{
    if (const std::optional<Refusal> refusal = Forbidden(role, Action::RecallScene))
        return refusal;
    if (!RightOf(Action::RecallScene).listedOnly.contains(role) || forStaff)
        return std::nullopt;
    return Refusal{403, QStringLiteral("the scene %1 is not for staff to recall").arg(scene),
                   QStringLiteral("scene-not-for-staff")};
}

bool Changes(Action action)
{
    return RightOf(action).changes;
}

QString ActionName(Action action)
{
    return QString::fromLatin1(RightOf(action).name);
}
