#include "LoginThrottle.h"

#include <algorithm>

namespace {
constexpr qint64 FirstDelayMs = 500;
constexpr qint64 MostDelayMs = 10000;
}

QString LoginThrottle::AddressKey(const QHostAddress &address)
{
    // One IPv6 network hands its hosts a whole /64: it counts as one address.
    if (address.protocol() == QAbstractSocket::IPv6Protocol && !address.toIPv4Address()) {
        Q_IPV6ADDR bytes = address.toIPv6Address();
        std::fill(bytes.c + 8, bytes.c + 16, 0);
        return QHostAddress(bytes).toString();
    }
    return QHostAddress(address.toIPv4Address()).toString();
}

LoginThrottle::Record &LoginThrottle::Find(Table &table, const QString &key, qint64 nowMs)
{
    if (!table.contains(key) && table.size() >= MostKeys) {
        table.removeIf([nowMs](const auto &entry) { return nowMs - entry.value().lastMs > ForgetAfterMs; });
        if (table.size() >= MostKeys)
            table.erase(std::min_element(table.begin(), table.end(),
                                         [](const Record &a, const Record &b) { return a.lastMs < b.lastMs; }));
    }
    Record &record = table[key];
    if (nowMs - record.lastMs > ForgetAfterMs)
        record.count = 0;
    return record;
}

qint64 LoginThrottle::Wait(const Record &record, int free, qint64 nowMs)
{
    if (record.count < free)
        return 0;
    const qint64 delay = std::min(MostDelayMs, FirstDelayMs << std::min(record.count - free, 5));
    return std::max<qint64>(0, record.lastMs + delay - nowMs);
}

qint64 LoginThrottle::Admit(const QHostAddress &address, const QString &account, qint64 nowMs)
{
    Record &byAddress = Find(addresses, AddressKey(address), nowMs);
    Record &byAccount = Find(accounts, account, nowMs);
    const qint64 wait = std::max(Wait(byAddress, FreePerAddress, nowMs), Wait(byAccount, FreePerAccount, nowMs));
    if (wait > 0)
        return wait;
    for (Record *record : {&byAddress, &byAccount}) {
        ++record->count;
        record->lastMs = nowMs;
    }
    return 0;
}

void LoginThrottle::Succeeded(const QHostAddress &address, const QString &account)
{
    accounts.remove(account);
    const auto found = addresses.find(AddressKey(address));
    if (found != addresses.end() && found->count > 0)
        --found->count;
}
