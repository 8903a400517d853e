#include "PortClaim.h"

#include <QFile>
#include <QFileInfo>
#include <QStringList>
#include <cerrno>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <grp.h>
#include <sys/stat.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <unistd.h>

namespace {

// Where UUCP-style lock files live on Linux; /var/lock is often a link to /run/lock.
const char *const LockFolders[] = {"/run/lock", "/var/lock", "/var/spool/lock"};

// Lock file names in use for a device: the base name (minicom, older tools) and
// the path below /dev with slashes as underscores (lockdev, Qt).
QStringList LockNames(const QString &devicePath)
{
    QStringList names;
    for (const QString &path : {devicePath, QFileInfo(devicePath).canonicalFilePath()}) {
        if (path.isEmpty())
            continue;
        names << QStringLiteral("LCK..") + QFileInfo(path).fileName();
        QString below = path;
        if (below.startsWith(QLatin1String("/dev/")))
            below.remove(0, 5);
        below.replace(QLatin1Char('/'), QLatin1Char('_'));
        names << QStringLiteral("LCK..") + below;
    }
    names.removeDuplicates();
    return names;
}

// The process id in a lock file: ASCII (HDB, possibly padded, possibly followed by
// more lines) or a 4-byte binary number (the oldest format).
qint64 LockFileProcess(const QByteArray &content)
{
    if (content.size() == 4 && !content.contains('\n')) {
        qint32 pid = 0;
        std::memcpy(&pid, content.constData(), 4);
        return pid;
    }
    bool ok = false;
    const qint64 pid = content.split('\n').value(0).trimmed().toLongLong(&ok);
    return ok ? pid : 0;
}

bool ProcessAlive(qint64 pid)
{
    if (pid <= 0 || pid == qint64(getpid()))
        return false;
    return kill(pid_t(pid), 0) == 0 || errno == EPERM;
}

} // namespace

qint64 PortClaim::LiveLockOwner(const QString &devicePath)
{
    for (const char *folder : LockFolders) {
        for (const QString &name : LockNames(devicePath)) {
            QFile file(QLatin1String(folder) + QLatin1Char('/') + name);
            if (!file.open(QIODevice::ReadOnly))
                continue;
            const qint64 pid = LockFileProcess(file.read(64));
            if (ProcessAlive(pid))
                return pid;
        }
    }
    return 0;
}

bool PortClaim::Claim(const QString &devicePath)
{
    Release();
    fault = PortFault::None;
    holder = LiveLockOwner(devicePath);
    if (holder != 0) {
        fault = PortFault::Busy;
        return false;
    }
    // Non-blocking, so that a modem line without carrier cannot hold the open.
    const int probe = ::open(QFile::encodeName(devicePath).constData(),
                             O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (probe < 0) {
        fault = errno == EACCES || errno == EPERM ? PortFault::NotAllowed
            : errno == EBUSY                      ? PortFault::Busy
                                                  : PortFault::Missing;
        return false;
    }
    // Exclusive mode keeps others out, except the superuser: ask instead of relying on it.
    int exclusive = 0;
    const bool heldExclusive = ::ioctl(probe, TIOCGEXCL, &exclusive) == 0 && exclusive != 0;
    if (heldExclusive || ::flock(probe, LOCK_EX | LOCK_NB) != 0) {
        ::close(probe);
        fault = PortFault::Busy;
        return false;
    }
    fd = probe;
    return true;
}

QString PortClaim::DeviceGroup(const QString &devicePath)
{
    struct stat info {};
    if (::stat(QFile::encodeName(devicePath).constData(), &info) == 0
        && (info.st_mode & (S_IRGRP | S_IWGRP)) == (S_IRGRP | S_IWGRP)) {
        if (const struct group *owner = ::getgrgid(info.st_gid))
            return QString::fromLocal8Bit(owner->gr_name);
    }
    return QStringLiteral("dialout");
}

void PortClaim::Release()
{
    if (fd >= 0)
        ::close(fd);
    fd = -1;
}
