#include "PortClaim.h"

#include <QFile>
#include <QFileInfo>
#include <QStringList>
#include <cerrno>
#include <map>
#include <mutex>
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

bool ProcessGone(qint64 pid)
{
    return pid > 0 && kill(pid_t(pid), 0) != 0 && errno == ESRCH;
}

// Every lock file that may name the device, with the process it names (0 when unreadable).
std::map<QString, qint64> LockFiles(const QString &devicePath)
{
    std::map<QString, qint64> found;
    for (const char *folder : LockFolders) {
        for (const QString &name : LockNames(devicePath)) {
            QFile file(QLatin1String(folder) + QLatin1Char('/') + name);
            if (file.open(QIODevice::ReadOnly))
                found[file.fileName()] = LockFileProcess(file.read(64));
        }
    }
    return found;
}

// Removes the lock files of processes that are gone; true when there was one.
bool RemoveStaleLocks(const QString &devicePath)
{
    bool removed = false;
    for (const auto &[path, pid] : LockFiles(devicePath))
        if (ProcessGone(pid))
            removed = QFile::remove(path) || removed;
    return removed;
}

// The devices claimed now, by descriptor, for a process that must let go of them in a hurry.
std::mutex claimedLock;
std::map<int, QString> claimed;

} // namespace

qint64 PortClaim::LiveLockOwner(const QString &devicePath)
{
    for (const auto &[path, pid] : LockFiles(devicePath))
        if (ProcessAlive(pid))
            return pid;
    return 0;
}

QString PortClaim::ProgramName(qint64 pid)
{
    QFile comm(QStringLiteral("/proc/%1/comm").arg(pid));
    if (pid <= 0 || !comm.open(QIODevice::ReadOnly))
        return {};
    return QString::fromLocal8Bit(comm.readLine().trimmed());
}

void PortClaim::LetGoOfAll()
{
    const std::lock_guard<std::mutex> hold(claimedLock);
    for (const auto &[descriptor, devicePath] : claimed) {
        ::ioctl(descriptor, TIOCNXCL);
        for (const auto &[path, pid] : LockFiles(devicePath))
            if (pid == qint64(getpid()))
                QFile::remove(path);
    }
}

bool PortClaim::Claim(const QString &devicePath)
{
    Release();
    fault = PortFault::None;
    const bool staleRemoved = RemoveStaleLocks(devicePath);
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
    if (::flock(probe, LOCK_EX | LOCK_NB) != 0) {
        ::close(probe);
        fault = PortFault::Busy;
        return false;
    }
    // The exclusive mode a dead owner set outlives it while another process keeps the
    // terminal open (as a pseudo-terminal's other side does); its stale lock said whose it was.
    if (staleRemoved)
        ::ioctl(probe, TIOCNXCL);
    // Exclusive mode keeps others out, except the superuser: ask instead of relying on it.
    int exclusive = 0;
    if (::ioctl(probe, TIOCGEXCL, &exclusive) == 0 && exclusive != 0) {
        ::close(probe);
        fault = PortFault::Busy;
        return false;
    }
    fd = probe;
    const std::lock_guard<std::mutex> hold(claimedLock);
    claimed[fd] = devicePath;
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
    if (fd < 0)
        return;
    {
        const std::lock_guard<std::mutex> hold(claimedLock);
        claimed.erase(fd);
    }
    ::close(fd);
    fd = -1;
}
