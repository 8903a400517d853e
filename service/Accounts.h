#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QList>
#include <QString>
#include <QStringList>
#include <optional>

enum class Role { Admin, Staff, Viewer };

std::optional<Role> RoleNamed(const QString &name);
QString RoleName(Role role);

struct Account
{
    QString name;
    Role role = Role::Viewer;
    QStringList units;  // empty: every unit
    QByteArray salt;
    QByteArray hash;    // PBKDF2-SHA256 of the password with salt
    int rounds = 0;

    bool MaySee(const QString &unit) const { return units.isEmpty() || units.contains(unit); }
    // Changes whenever the role, the units or the password change: a session opened
    // under another stamp is over. A digest, so that the sessions' file holds no hash.
    QByteArray Stamp() const;
};

// Why name cannot be an account's name, or empty when it can.
QString AccountNameFault(const QString &name);
// Whether password is the account's; an unknown account (nullopt) takes as long.
bool PasswordMatches(const std::optional<Account> &account, const QString &password);

// The accounts file: people, their roles and salted slow hashes of their passwords;
// never a password. Written in one step, readable by its owner alone.
class Accounts
{
public:
    // An absent file is an empty list; an unreadable or broken one is an error.
    bool Load(const QString &path, QString *error);
    // Loads the file again when it changed since; a broken file leaves the accounts as they
    // were. The names of the accounts changed or removed.
    QStringList Refresh(const QString &path);
    bool Save(const QString &path, QString *error) const;

    const Account *Find(const QString &name) const;

    void Set(const QString &name, Role role, const QStringList &units, const QString &password);
    bool SetPassword(const QString &name, const QString &password);
    bool Remove(const QString &name);
    const QList<Account> &All() const { return accounts; }

private:
    QList<Account> accounts;
    QDateTime loadedModified;
    qint64 loadedSize = -1;
};
