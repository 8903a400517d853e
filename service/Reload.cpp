#include "Reload.h"

#include "LiveConfig.h"
#include "ServiceConfig.h"

#include <QSocketNotifier>
#include <csignal>
#include <cstdio>
#include <sys/socket.h>
#include <unistd.h>

namespace {

int hangups[2] = {-1, -1};

void HungUp(int)
{
    const char byte = 1;
    [[maybe_unused]] const ssize_t written = ::write(hangups[1], &byte, 1);
}

} // namespace

void ReloadOnHangup(const QString &path, const QStringList &units, LiveConfigStore &store, QObject *owner)
{
    ::socketpair(AF_UNIX, SOCK_STREAM, 0, hangups);
    auto *notifier = new QSocketNotifier(hangups[0], QSocketNotifier::Read, owner);
    QObject::connect(notifier, &QSocketNotifier::activated, owner, [path, units, &store] {
        char bytes[64];
        [[maybe_unused]] const ssize_t read = ::read(hangups[0], bytes, sizeof bytes);
        QString error;
        // The whole file is judged: a fault in its fixed part is a fault of the file.
        std::optional<LiveConfig> next;
        if (ReadServiceConfig(path, &error))
            next = ReadLiveConfig(path, units, &error);
        if (!next)
            return void(std::fprintf(stderr, "quorind: reload refused, the configuration in force is kept: %s\n", qPrintable(error)));
        std::fprintf(stderr, "quorind: reloaded %s: %lld scenes, %lld schedule entries\n", qPrintable(path),
                     qlonglong(next->scenes.size()), qlonglong(next->schedule.size()));
        store.Replace(std::move(*next));
    });
    struct sigaction action{};
    action.sa_handler = HungUp;
    action.sa_flags = SA_RESTART;
    sigemptyset(&action.sa_mask);
    sigaction(SIGHUP, &action, nullptr);
}
