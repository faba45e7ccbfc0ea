#pragma once

#include <QString>
#include <QStringList>

namespace platform {

// What a UUCP lock file (LCK..ttyUSB0) says about its device. Serial programs write one holding
// their process number, in ASCII ("       812\n", "812 minicom user\n", or a Qt lock's four lines)
// or as four binary bytes.
struct UucpLockInfo {
    enum Kind {
        Absent,   // no lock file
        Live,     // names a running process: the device is in use
        Stale,    // names a process that no longer exists
        Unusable, // too large, unreadable, not a regular file or no process number: proves nothing
    };
    Kind kind = Absent;
    QString file;
    qint64 pid = 0;
    QString why; // Unusable: what is wrong with it
};

// More than any lock file holds; only this much is ever read.
inline constexpr qint64 MaxLockFileBytes = 1024;

// "LCK..ttyUSB0" for /dev/ttyUSB0, "LCK..pts_3" for /dev/pts/3.
QString uucpLockName(const QString& devicePath);
// Where serial programs put their lock files.
QStringList uucpLockFolders();
UucpLockInfo readUucpLock(const QString& file);

// The lock files of devicePath before the port is opened (Qt's own locking takes any lock it cannot
// parse for its own, so it must not see them first): a live one refuses the port; stale and
// unusable ones are removed. Unusable is returned when one could not be removed: then the port
// cannot be locked either.
struct UucpLockCheck {
    UucpLockInfo refused; // Live or Unusable: do not open
    QString note;         // for the status field: "removed lock file LCK..ttyS0 (too large)"
};
UucpLockCheck checkUucpLocks(const QString& devicePath, const QStringList& folders);

// "minicom, process 812", or "process 812" where the name cannot be read.
QString processText(qint64 pid);

} // namespace platform
