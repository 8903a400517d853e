// Holds a serial device the way another program would, until its standard input closes:
//   port_holder flock|exclusive|lockfile|editor DEVICE
// and prints "held" once it holds it.
#include "RS232Port.h"

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <cstdio>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <unistd.h>

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    if (argc != 3)
        return 2;
    const QByteArray mode = argv[1];
    const QString device = QString::fromLocal8Bit(argv[2]);
    RS232Port port;
    QString lockPath;
    int fd = -1;
    if (mode == "editor") {
        port.SetPortList(QStringList{device});
        if (!port.OpenPort(QStringLiteral("1")))
            return 1;
    } else if (mode == "lockfile") {
        // The HDB format: the process id as ten characters and a line end.
        lockPath = QStringLiteral("/var/lock/LCK..") + QFileInfo(device).fileName();
        QFile lock(lockPath);
        if (!lock.open(QIODevice::WriteOnly | QIODevice::NewOnly))
            return 1;
        lock.write(QByteArray::number(qint64(getpid())).rightJustified(10, ' ') + '\n');
    } else {
        fd = open(argv[2], O_RDWR | O_NOCTTY | O_NONBLOCK);
        if (fd < 0)
            return 1;
        if (mode == "flock" && flock(fd, LOCK_EX | LOCK_NB) != 0)
            return 1;
        if (mode == "exclusive" && ioctl(fd, TIOCEXCL) != 0)
            return 1;
    }
    std::printf("held\n");
    std::fflush(stdout);
    char c;
    while (read(STDIN_FILENO, &c, 1) > 0) {
    }
    if (!lockPath.isEmpty())
        QFile::remove(lockPath);
    // As a well-behaved program lets go: another holder of the terminal would keep the mode.
    if (mode == "exclusive")
        ioctl(fd, TIOCNXCL);
    return 0;
}
