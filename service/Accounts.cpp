#include "Accounts.h"

#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QPasswordDigestor>
#include <QRandomGenerator>
#include <QSaveFile>
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

void Accounts::Refresh(const QString &path)
{
    if (QFileInfo(path).lastModified() == loadedModified)
        return;
    Accounts fresh;
    QString error;
    if (fresh.Load(path, &error))
        *this = fresh;
}

bool Accounts::Load(const QString &path, QString *error)
{
    accounts.clear();
    loadedModified = QFileInfo(path).lastModified();
    QFile file(path);
    if (!file.exists())
        return true;
    if (!file.open(QIODevice::ReadOnly)) {
        *error = QStringLiteral("%1: %2").arg(path, file.errorString());
        return false;
    }
    QJsonParseError parse;
    const QJsonDocument document = QJsonDocument::fromJson(file.readAll(), &parse);
    if (!document.isObject()) {
        *error = QStringLiteral("%1: not an accounts file (%2)").arg(path, parse.errorString());
        return false;
    }
    for (const QJsonValue &value : document[QStringLiteral("users")].toArray()) {
        const QJsonObject o = value.toObject();
        const std::optional<Role> role = RoleNamed(o[QStringLiteral("role")].toString());
        Account a{o[QStringLiteral("name")].toString(), role.value_or(Role::Viewer), {},
                  QByteArray::fromHex(o[QStringLiteral("salt")].toString().toLatin1()),
                  QByteArray::fromHex(o[QStringLiteral("hash")].toString().toLatin1()),
                  o[QStringLiteral("rounds")].toInt()};
        for (const QJsonValue &unit : o[QStringLiteral("units")].toArray())
            a.units << unit.toString();
        if (a.name.isEmpty() || !role || a.rounds < Rounds || a.hash.size() != HashBytes) {
            *error = QStringLiteral("%1: the account \"%2\" is damaged").arg(path, a.name);
            return false;
        }
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

const Account *Accounts::Check(const QString &name, const QString &password) const
{
    static const QByteArray decoySalt = RandomBytes(SaltBytes);
    const Account *account = Find(name);
    // An unknown name costs the same derivation, so that timing tells nothing.
    const QByteArray derived = Derive(password, account ? account->salt : decoySalt, account ? account->rounds : Rounds);
    return account && SameBytes(derived, account->hash) ? account : nullptr;
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
