#pragma once

#include "Ser2Net.h"

#include <QFile>
#include <QProcess>
#include <QStringList>
#include <QTemporaryDir>
#include <QTest>
#include <pwd.h>
#include <unistd.h>

// The real mosquitto on 127.0.0.1 with a password file and an ACL, and its command-line
// clients to publish and to listen.
class Mosquitto
{
public:
    struct User
    {
        QString name;
        QString password;
    };

    Mosquitto(QList<User> users, const QString &acl) : users(std::move(users)), acl(acl) {}
    ~Mosquitto() { Stop(); }

    bool Start()
    {
        QFile passwords(dir.filePath(QStringLiteral("passwords")));
        passwords.open(QIODevice::WriteOnly);
        passwords.close();
        for (const User &user : users)
            if (QProcess::execute(QStringLiteral("mosquitto_passwd"),
                                  {QStringLiteral("-b"), passwords.fileName(), user.name, user.password}) != 0)
                return false;
        QFile aclFile(dir.filePath(QStringLiteral("acl")));
        aclFile.open(QIODevice::WriteOnly);
        aclFile.write(acl.toUtf8());
        aclFile.close();
        QFile config(dir.filePath(QStringLiteral("mosquitto.conf")));
        config.open(QIODevice::WriteOnly);
        // Run as whoever runs the test: started by root it would switch to a user who cannot read this folder.
        config.write(QStringLiteral("listener %1 127.0.0.1\nallow_anonymous false\npersistence %5\npersistence_location %6/\n"
                                    "user %4\npassword_file %2\nacl_file %3\n")
                         .arg(port).arg(passwords.fileName(), aclFile.fileName(), QString::fromLocal8Bit(getpwuid(getuid())->pw_name),
                              persistent ? QStringLiteral("true") : QStringLiteral("false"), dir.path()).toUtf8()
                     + extra.toUtf8());
        config.close();
        broker.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        broker.start(QStringLiteral("mosquitto"), {QStringLiteral("-c"), config.fileName()});
        if (!broker.waitForStarted(3000))
            return false;
        return Ser2Net::Listening(port);
    }
    // Gracefully, a persistent broker keeps its sessions and queued messages for its next start.
    void Stop(bool gracefully = false)
    {
        if (broker.state() == QProcess::NotRunning)
            return;
        gracefully ? broker.terminate() : broker.kill();
        broker.waitForFinished(3000);
    }

    QStringList Client(const User &user) const
    {
        return {QStringLiteral("-h"), QStringLiteral("127.0.0.1"), QStringLiteral("-p"), QString::number(port),
                QStringLiteral("-u"), user.name, QStringLiteral("-P"), user.password};
    }
    bool Publish(const User &user, const QString &topic, const QByteArray &payload) const
    {
        return QProcess::execute(QStringLiteral("mosquitto_pub"),
                                 Client(user) + QStringList{QStringLiteral("-q"), QStringLiteral("1"), QStringLiteral("-t"),
                                                            topic, QStringLiteral("-m"), QString::fromUtf8(payload)}) == 0;
    }

    const quint16 port = Ser2Net::FreePort();
    bool persistent = false;
    QString extra;  // more of the configuration, such as a bridge

private:
    QList<User> users;
    QString acl;
    QTemporaryDir dir;
    QProcess broker;
};

// A subscriber that keeps listening: "topic payload" lines as they come.
class Listener
{
public:
    Listener(const Mosquitto &broker, const Mosquitto::User &user, const QString &topic)
    {
        process.start(QStringLiteral("mosquitto_sub"),
                      broker.Client(user) + QStringList{QStringLiteral("-v"), QStringLiteral("-t"), topic});
        process.waitForStarted(3000);
    }
    ~Listener()
    {
        process.kill();
        process.waitForFinished(3000);
    }

    // Every message heard so far, as topic and payload.
    QList<std::pair<QString, QByteArray>> Heard()
    {
        buffer += process.readAllStandardOutput();
        QList<std::pair<QString, QByteArray>> messages;
        for (const QByteArray &line : buffer.split('\n')) {
            const qsizetype space = line.indexOf(' ');
            if (space > 0)
                messages.append({QString::fromUtf8(line.left(space)), line.mid(space + 1)});
        }
        return messages;
    }
    // The last payload on topic, or nothing.
    QByteArray Last(const QString &topic)
    {
        QByteArray last;
        for (const auto &[t, payload] : Heard())
            if (t == topic)
                last = payload;
        return last;
    }
    int Count(const QString &topic)
    {
        int n = 0;
        for (const auto &message : Heard())
            n += message.first == topic;
        return n;
    }

private:
    QProcess process;
    QByteArray buffer;
};
