#pragma once

#include <QDateTime>
#include <QHash>
#include <QHostAddress>
#include <QString>

// Slows down guessing: attempts are counted as they arrive, per address and per account,
// and past a few free ones each key must wait longer between attempts. Only a key's own
// success clears it; an old record is forgotten. The tables stay bounded without ever
// being emptied whole.
class LoginThrottle
{
public:
    static constexpr int FreePerAddress = 10;
    static constexpr int FreePerAccount = 3;
    static constexpr int MostKeys = 10000;
    static constexpr qint64 ForgetAfterMs = 15 * 60 * 1000;

    // The milliseconds to wait before an attempt from address for account would be taken,
    // or 0 when it is taken now (and counted).
    qint64 Admit(const QHostAddress &address, const QString &account, qint64 nowMs);
    // The attempt was right: it no longer counts against the address, and the account starts afresh.
    void Succeeded(const QHostAddress &address, const QString &account);

private:
    struct Record
    {
        int count = 0;
        qint64 lastMs = 0;
    };
    using Table = QHash<QString, Record>;
    static qint64 Wait(const Record &record, int free, qint64 nowMs);
    static Record &Find(Table &table, const QString &key, qint64 nowMs);
    static QString AddressKey(const QHostAddress &address);

    Table addresses;
    Table accounts;
};
