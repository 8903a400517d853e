#pragma once

#include "Accounts.h"

#include <QObject>
#include <QThreadPool>
#include <functional>
#include <optional>

// Password checks take a slow derivation each: they run on threads of their own, so
// that the thread answering requests never waits for one. At most a bounded number wait.
class PasswordCheck : public QObject
{
    Q_OBJECT

public:
    static constexpr int MostWaiting = 32;

    PasswordCheck();
    ~PasswordCheck() override;

    // Checks password against account (a copy; nullopt for an unknown name, which costs
    // the same); done gets the answer on this object's thread. False when too many wait.
    bool Start(const std::optional<Account> &account, const QString &password, std::function<void(bool right)> done);

private:
    QThreadPool pool;
    int waiting = 0;
};
