#include "PasswordCheck.h"

PasswordCheck::PasswordCheck()
{
    pool.setMaxThreadCount(2);
}

PasswordCheck::~PasswordCheck()
{
    pool.clear();
    pool.waitForDone();
}

bool PasswordCheck::Start(const std::optional<Account> &account, const QString &password,
                          std::function<void(bool right)> done)
{
    if (waiting >= MostWaiting)
        return false;
    ++waiting;
    // The destructor waits for every running check, so this outlives each of them.
    pool.start([this, account, password, done = std::move(done)] {
        const bool right = PasswordMatches(account, password);
        QMetaObject::invokeMethod(this, [this, right, done] {
            --waiting;
            done(right);
        }, Qt::QueuedConnection);
    });
    return true;
}
