#pragma once

#include "PortTransport.h"

#include <QString>

// Keeps a serial device from being shared with another program. A device is
// taken only when no live process names it in a lock file, nobody holds it in
// exclusive mode and nobody holds an flock on it; once taken, our own flock
// (on a descriptor of our own, held until Release) keeps the others out.
// A lock file of a process that is gone is stale: it is removed, and the
// exclusive mode that process left on the device is cleared.
class PortClaim
{
public:
    PortClaim() = default;
    PortClaim(const PortClaim &) = delete;
    PortClaim &operator=(const PortClaim &) = delete;
    ~PortClaim() { Release(); }

    bool Claim(const QString &devicePath);
    void Release();
    bool Held() const { return fd >= 0; }
    // Why the last Claim failed: Missing, NotAllowed or Busy (with the holder's process when known).
    PortFault Fault() const { return fault; }
    qint64 Holder() const { return holder; }

    // The group whose members may open the device: its own group when that group
    // may read and write it, else the one serial devices have on Debian.
    static QString DeviceGroup(const QString &devicePath);

    // The process a lock file for the device names, when that process is alive; 0 otherwise.
    static qint64 LiveLockOwner(const QString &devicePath);
    // The name a process gives itself (its comm), or empty when it cannot be read.
    static QString ProgramName(qint64 pid);

    // For a process about to end without closing its ports (_exit): every device
    // claimed now leaves exclusive mode and loses the lock files naming this process.
    static void LetGoOfAll();

private:
    int fd = -1;
    PortFault fault = PortFault::None;
    qint64 holder = 0;
};
