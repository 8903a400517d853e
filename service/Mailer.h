#pragma once

#include "AlertConfig.h"

#include <QByteArray>
#include <QString>
#include <atomic>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <thread>

// Alert mails sent through libcurl's SMTP on a thread of its own, so that a slow mail
// server never holds the service. smtp:// takes STARTTLS when the server offers it and
// insists on it when a password is to be sent; smtps:// is TLS from the start. A mail
// that fails is tried again with a growing pause; at most MostQueued wait.
class Mailer
{
public:
    static constexpr std::size_t MostQueued = 100;

    // The password is read from smtp-password-file now; false and why when it cannot be.
    bool Start(const AlertsConfig &config, QString *error);
    ~Mailer();

    // From any thread.
    void Send(const QString &subject, const QString &body);

private:
    void Run();
    bool Deliver(const QByteArray &message);

    QByteArray url, user, password, from;
    QList<QByteArray> to;
    QString host;
    std::thread thread;
    std::mutex lock;
    std::condition_variable wake;
    std::deque<QByteArray> queue;
    std::atomic<bool> stopping{false};
};
