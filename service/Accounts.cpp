#include "Accounts.h"

#include <QCryptographicHash>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QPasswordDigestor>
#include <QRandomGenerator>
#include <QSaveFile>
#include <cstdio>
#include <sys/stat.h>

namespace {

constexpr int Rounds = 100000;
constexpr int SaltBytes = 16;
constexpr int HashBytes = 32;

QByteArray Derive(const QString &password, const QByteArray &salt, int rounds)
{
    return QPasswordDigestor::deriveKeyPbkdf2(QCryptographicHash::Sha256, password.toUtf8(), salt, rounds, HashBytes);
}

QByteArray RandomBytes(int count)
{
    QByteArray bytes(count, '\0');
    QRandomGenerator::system()->fillRange(reinterpret_cast<quint32 *>(bytes.data()), count / 4);
    return bytes;
}

bool SameBytes(const QByteArray &a, const QByteArray &b)
{
    if (a.size() != b.size())
        return false;
    unsigned char diff = 0;
    for (qsizetype i = 0; i < a.size(); ++i)
        diff |= static_cast<unsigned char>(a[i] ^ b[i]);
    return diff == 0;
}

} // namespace

std::optional<Role> RoleNamed(const QString &name)
{
    if (name == QLatin1String("admin"))
        return Role::Admin;
    if (name == QLatin1String("staff"))
        return Role::Staff;
    if (name == QLatin1String("viewer"))
        return Role::Viewer;
    return std::nullopt;
}

QString RoleName(Role role)
{
    return role == Role::Admin ? QStringLiteral("admin") : role == Role::Staff ? QStringLiteral("staff")
                                                                                : QStringLiteral("viewer");
}

QByteArray Account::Stamp() const
{
    return QCryptographicHash::hash(RoleName(role).toUtf8() + '\n' + units.join(QLatin1Char('\n')).toUtf8() + '\n' + salt + hash,
                                    QCryptographicHash::Sha256);
}

QString AccountNameFault(const QString &name)
{
    if (name.isEmpty() || name.size() > 64)
        return QStringLiteral("a name has 1 to 64 characters");
    for (const QChar c : name)
        if (!c.isPrint() || c == QLatin1Char(':'))
            return QStringLiteral("a name holds printable characters only, and no colon");
    return {};
}

bool PasswordMatches(const std::optional<Account> &account, const QString &password)
{
    static const QByteArray decoySalt = RandomBytes(SaltBytes);
    const QByteArray derived = Derive(password, account ? account->salt : decoySalt, account ? account->rounds : Rounds);
    return account && SameBytes(derived, account->hash);
}

QStringList Accounts::Refresh(const QString &path)
{
    const QFileInfo info(path);
    if (info.lastModified() == loadedModified && info.size() == loadedSize)
        return {};
    Accounts fresh;
    QString error;
    if (!fresh.Load(path, &error)) {
        std::fprintf(stderr, "quorind: %s; the accounts stay as they were\n", qPrintable(error));
        loadedModified = info.lastModified();
        loadedSize = info.size();
        return {};
    }
    QStringList changed;
    for (const Account &a : std::as_const(accounts)) {
        const Account *now = fresh.Find(a.name);
        if (!now || now->Stamp() != a.Stamp())
            changed << a.name;
    }
    *this = fresh;
    return changed;
}

bool Accounts::Load(const QString &path, QString *error)
{
    accounts.clear();
    const QFileInfo info(path);
    loadedModified = info.lastModified();
    loadedSize = info.size();
    if (!info.exists())
        return true;
    const auto fail = [&](const QString &reason) {
        *error = QStringLiteral("%1: %2").arg(path, reason);
        accounts.clear();
        return false;
    };
    QFile file(path);
    if (!info.isFile())
        return fail(QStringLiteral("not a regular file"));
    if (!file.open(QIODevice::ReadOnly))
        return fail(file.errorString());
    QJsonParseError parse;
    const QJsonDocument document = QJsonDocument::fromJson(file.read(16 * 1024 * 1024), &parse);
    if (parse.error != QJsonParseError::NoError)
        return fail(QStringLiteral("not an accounts file: %1 at byte %2").arg(parse.errorString()).arg(parse.offset));
    if (!document.isObject() || !document[QStringLiteral("users")].isArray())
        return fail(QStringLiteral("not an accounts file: no list of \"users\""));
    for (const QJsonValue &value : document[QStringLiteral("users")].toArray()) {
        const QJsonObject o = value.toObject();
        const std::optional<Role> role = RoleNamed(o[QStringLiteral("role")].toString());
        Account a{o[QStringLiteral("name")].toString(), role.value_or(Role::Viewer), {},
                  QByteArray::fromHex(o[QStringLiteral("salt")].toString().toLatin1()),
                  QByteArray::fromHex(o[QStringLiteral("hash")].toString().toLatin1()),
                  o[QStringLiteral("rounds")].toInt()};
        for (const QJsonValue &unit : o[QStringLiteral("units")].toArray())
            a.units << unit.toString();
        if (!value.isObject() || !AccountNameFault(a.name).isEmpty() || !role || a.rounds < Rounds
            || a.hash.size() != HashBytes || a.salt.isEmpty() || a.units.contains(QString()))
            return fail(QStringLiteral("the account \"%1\" is damaged").arg(a.name));
        if (Find(a.name))
            return fail(QStringLiteral("the account \"%1\" stands twice").arg(a.name));
        accounts.append(a);
    }
    return true;
}

bool Accounts::Save(const QString &path, QString *error) const
{
    QJsonArray users;
    for (const Account &a : accounts)
        users.append(QJsonObject{{QStringLiteral("name"), a.name},
                                 {QStringLiteral("role"), RoleName(a.role)},
                                 {QStringLiteral("units"), QJsonArray::fromStringList(a.units)},
                                 {QStringLiteral("salt"), QString::fromLatin1(a.salt.toHex())},
                                 {QStringLiteral("hash"), QString::fromLatin1(a.hash.toHex())},
                                 {QStringLiteral("rounds"), a.rounds}});
    QSaveFile file(path);
    const bool saved = file.open(QIODevice::WriteOnly) && ::fchmod(file.handle(), S_IRUSR | S_IWUSR) == 0
        && file.write(QJsonDocument(QJsonObject{{QStringLiteral("users"), users}}).toJson()) >= 0 && file.commit();
    if (!saved)
        *error = QStringLiteral("%1: %2").arg(path, file.errorString());
    return saved;
}

const Account *Accounts::Find(const QString &name) const
{
    for (const Account &a : accounts)
        if (a.name == name)
            return &a;
    return nullptr;
}

void Accounts::Set(const QString &name, Role role, const QStringList &units, const QString &password)
{
    Remove(name);
    const QByteArray salt = RandomBytes(SaltBytes);
    accounts.append({name, role, units, salt, Derive(password, salt, Rounds), Rounds});
}

bool Accounts::SetPassword(const QString &name, const QString &password)
{
    for (Account &a : accounts)
        if (a.name == name) {
            a.salt = RandomBytes(SaltBytes);
            a.rounds = Rounds;
            a.hash = Derive(password, a.salt, a.rounds);
            return true;
        }
    return false;
}

bool Accounts::Remove(const QString &name)
{
    return accounts.removeIf([&](const Account &a) { return a.name == name; }) > 0;
}
