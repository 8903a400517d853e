#pragma once

#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QStringList>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QTest>

// The real ser2net on 127.0.0.1, bridging TCP ports to serial devices.
class Ser2Net
{
public:
    struct Line
    {
        QString device;
        bool rfc2217 = false;
        QString deviceSpeed = QStringLiteral("9600n81");
        quint16 port = 0;  // chosen by Start
        // ser2net's default gathers a reply for two character times before sending it on.
        bool chardelay = false;
    };

    static bool Available() { return !Executable().isEmpty(); }

    // True once something accepts connections on port, within about 3 s.
    static bool Listening(quint16 port)
    {
        for (int attempt = 0; attempt < 100; ++attempt) {
            QTcpSocket probe;
            probe.connectToHost(QHostAddress::LocalHost, port);
            if (probe.waitForConnected(100)) {
                probe.abort();
                return true;
            }
            QTest::qWait(20);
        }
        return false;
    }

    // A port nobody listens on now.
    static quint16 FreePort()
    {
        QTcpServer probe;
        probe.listen(QHostAddress::LocalHost);
        return probe.serverPort();
    }

    explicit Ser2Net(QList<Line> lines) : lines(std::move(lines))
    {
        for (Line &line : this->lines)
            line.port = FreePort();
    }
    ~Ser2Net() { Stop(); }

    // Listens where an earlier server listened, as a restarted one would.
    void SetPort(int i, quint16 port) { lines[i].port = port; }

    bool Start()
    {
        QString config;
        for (int i = 0; i < lines.size(); ++i) {
            const Line &line = lines.at(i);
            config += QStringLiteral("connection: &line%1\n"
                                     "  accepter: %2tcp,127.0.0.1,%3\n"
                                     "  connector: serialdev,%4,%5,local\n"
                                     "  options:\n"
                                     "    kickolduser: false\n"
                                     "    chardelay: %6\n")
                          .arg(i)
                          .arg(line.rfc2217 ? QStringLiteral("telnet(rfc2217),") : QString())
                          .arg(line.port)
                          .arg(line.device, line.deviceSpeed, line.chardelay ? QStringLiteral("true") : QStringLiteral("false"));
        }
        QFile file(dir.filePath(QStringLiteral("ser2net.yaml")));
        if (!file.open(QIODevice::WriteOnly) || file.write(config.toUtf8()) < 0)
            return false;
        file.close();
        process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        process.start(Executable(),
                      {QStringLiteral("-n"), QStringLiteral("-d"), QStringLiteral("-P"),
                       dir.filePath(QStringLiteral("pid")), QStringLiteral("-c"), file.fileName()});
        if (!process.waitForStarted(3000))
            return false;
        // Listening once a connection is accepted.
        if (!Listening(lines.constLast().port))
            return false;
        QTest::qWait(50);
        return true;
    }

    void Stop()
    {
        if (process.state() == QProcess::NotRunning)
            return;
        process.terminate();
        if (!process.waitForFinished(3000))
            process.kill();
        process.waitForFinished(3000);
    }

    QString Entry(int i) const
    {
        const Line &line = lines.at(i);
        return QStringLiteral("%1://127.0.0.1:%2").arg(line.rfc2217 ? QStringLiteral("rfc2217") : QStringLiteral("tcp")).arg(line.port);
    }

private:
    static QString Executable()
    {
        return QStandardPaths::findExecutable(QStringLiteral("ser2net"),
                                              {QStringLiteral("/usr/sbin"), QStringLiteral("/usr/local/sbin")});
    }

    QList<Line> lines;
    QTemporaryDir dir;
    QProcess process;
};
