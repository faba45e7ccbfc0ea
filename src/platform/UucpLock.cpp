#include "UucpLock.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>

#ifdef Q_OS_UNIX
#include <cerrno>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace platform {

namespace {

bool processAlive(qint64 pid) {
#ifdef Q_OS_UNIX
    if (pid <= 0 || pid > 0x7fffffff)
        return false;
    // EPERM: it exists, it is only someone else's.
    return ::kill(pid_t(pid), 0) == 0 || errno == EPERM;
#else
    Q_UNUSED(pid);
    return false;
#endif
}

qint64 parsePid(const QByteArray& bytes) {
    // The old binary form: a native int and nothing else.
    if (bytes.size() == 4) {
        bool text = true;
        for (char c : bytes)
            text = text && (c == ' ' || c == '\n' || (c >= '0' && c <= '9'));
        if (!text) {
            qint32 pid = 0;
            std::memcpy(&pid, bytes.constData(), 4);
            return pid;
        }
    }
    qsizetype i = 0;
    while (i < bytes.size() && (bytes[i] == ' ' || bytes[i] == '\t'))
        ++i;
    qint64 pid = 0;
    qsizetype digits = 0;
    for (; i < bytes.size() && bytes[i] >= '0' && bytes[i] <= '9' && digits < 10; ++i, ++digits)
        pid = pid * 10 + (bytes[i] - '0');
    return digits ? pid : 0;
}

} // namespace

QString uucpLockName(const QString& devicePath) {
    QString name = devicePath.startsWith(QLatin1String("/dev/")) ? devicePath.mid(5) : devicePath;
    name.replace(QLatin1Char('/'), QLatin1Char('_'));
    return QStringLiteral("LCK..") + name;
}

QStringList uucpLockFolders() {
    QStringList folders;
    for (const QString& f :
         {QStringLiteral("/var/lock"), QStringLiteral("/run/lock"), QStringLiteral("/etc/locks"),
          QStringLiteral("/var/spool/locks"), QStringLiteral("/var/spool/uucp"), QDir::tempPath()}) {
        // /var/lock is a link to /run/lock on most systems: look at each folder once.
        const QString real = QFileInfo(f).canonicalFilePath();
        if (!real.isEmpty() && !folders.contains(real))
            folders << real;
    }
    return folders;
}

UucpLockInfo readUucpLock(const QString& file) {
    UucpLockInfo info;
    info.file = file;
#ifdef Q_OS_UNIX
    const QByteArray native = QFile::encodeName(file);
    struct stat st {};
    // A folder this user cannot look into holds no lock of ours either, and no locking uses it.
    if (::lstat(native.constData(), &st) != 0)
        return info;
    info.kind = UucpLockInfo::Unusable;
    if (!S_ISREG(st.st_mode)) {
        info.why = QCoreApplication::translate("UucpLock", "not a regular file");
        return info;
    }
    if (st.st_size > MaxLockFileBytes) {
        info.why = QCoreApplication::translate("UucpLock", "too large");
        return info;
    }
    // Non-blocking and not through a link: the name may have been swapped since the look above.
    const int fd = ::open(native.constData(), O_RDONLY | O_NONBLOCK | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0) {
        info.why = QCoreApplication::translate("UucpLock", "unreadable");
        return info;
    }
    char buffer[MaxLockFileBytes];
    struct stat opened {};
    const bool regular = ::fstat(fd, &opened) == 0 && S_ISREG(opened.st_mode);
    const ssize_t n = regular ? ::read(fd, buffer, sizeof buffer) : -1;
    ::close(fd);
    if (n < 0) {
        info.why = QCoreApplication::translate("UucpLock", "unreadable");
        return info;
    }
    info.pid = parsePid(QByteArray(buffer, qsizetype(n)));
    if (info.pid <= 0) {
        info.pid = 0;
        info.why = QCoreApplication::translate("UucpLock", "without a process number");
        return info;
    }
    info.kind = processAlive(info.pid) ? UucpLockInfo::Live : UucpLockInfo::Stale;
#else
    Q_UNUSED(file);
#endif
    return info;
}

UucpLockCheck checkUucpLocks(const QString& devicePath, const QStringList& folders) {
    UucpLockCheck check;
    const QString name = uucpLockName(devicePath);
    for (const QString& folder : folders) {
        const UucpLockInfo info = readUucpLock(folder + QLatin1Char('/') + name);
        switch (info.kind) {
        case UucpLockInfo::Absent:
            break;
        case UucpLockInfo::Live:
            check.refused = info;
            return check;
        case UucpLockInfo::Stale:
            // Left behind by a program that ended without removing it; if it cannot go, locking
            // the port fails and says so.
            QFile::remove(info.file);
            break;
        case UucpLockInfo::Unusable:
            // Not evidence of a holder, but it would stand in the way of our own lock file.
            if (!QFile::remove(info.file)) {
                check.refused = info;
                return check;
            }
            check.note = QCoreApplication::translate("UucpLock", "removed lock file %1 (%2)")
                             .arg(QFileInfo(info.file).fileName(), info.why);
            break;
        }
    }
    return check;
}

QString processText(qint64 pid) {
    QFile comm(QStringLiteral("/proc/%1/comm").arg(pid));
    QString name;
    if (comm.open(QIODevice::ReadOnly))
        name = QString::fromLocal8Bit(comm.read(64)).trimmed();
    if (name.isEmpty())
        return QCoreApplication::translate("SerialPort", "process %1").arg(pid);
    return QCoreApplication::translate("SerialPort", "%1, process %2").arg(name).arg(pid);
}

} // namespace platform
