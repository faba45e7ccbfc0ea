#include "RegularFile.h"

#include <QFile>
#include <QFileInfo>

#ifdef Q_OS_UNIX
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace platform {

bool openRegularFile(QFile& file, qint64 maxSize) {
#ifdef Q_OS_UNIX
    // Opened without blocking and checked on the open descriptor, so the file cannot be swapped for
    // a FIFO between the check and the read.
    const QByteArray path = QFile::encodeName(file.fileName());
    const int fd = ::open(path.constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return false;
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode) || st.st_size > maxSize) {
        ::close(fd);
        return false;
    }
    const int flags = ::fcntl(fd, F_GETFL);
    if (flags >= 0)
        ::fcntl(fd, F_SETFL, flags & ~O_NONBLOCK);
    if (!file.open(fd, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle)) {
        ::close(fd);
        return false;
    }
    return true;
#else
    const QFileInfo info(file.fileName());
    if (!info.isFile() || info.size() > maxSize)
        return false;
    return file.open(QIODevice::ReadOnly);
#endif
}

std::optional<QByteArray> readRegularFile(const QString& path, qint64 maxSize) {
    QFile file(path);
    if (!openRegularFile(file, maxSize))
        return std::nullopt;
    QByteArray bytes;
    bytes.reserve(qsizetype(qMin(file.size(), maxSize)) + 1);
    // In pieces, so a file that grows while it is read costs at most the limit and one piece.
    constexpr qsizetype Piece = 64 * 1024;
    for (;;) {
        const qsizetype had = bytes.size();
        bytes.resize(had + Piece);
        const qint64 got = file.read(bytes.data() + had, Piece);
        if (got < 0)
            return std::nullopt;
        bytes.resize(had + qsizetype(got));
        if (bytes.size() > maxSize)
            return std::nullopt;
        if (got == 0)
            return bytes;
    }
}

bool settingsFileUsable(const QString& file) {
    if (file.isEmpty())
        return false;
    if (!QFileInfo::exists(file))
        return true;
    QFile f(file);
    return openRegularFile(f, MaxSettingsFileSize);
}

bool createRegularFile(QFile& file, QIODevice::OpenMode extra) {
#ifdef Q_OS_UNIX
    // Without blocking: a FIFO that nobody reads fails at once, and one that somebody reads is found
    // out on the open descriptor, like anything else that is not a regular file.
    const QByteArray path = QFile::encodeName(file.fileName());
    const int fd = ::open(path.constData(), O_WRONLY | O_CREAT | O_NONBLOCK | O_CLOEXEC, 0666);
    if (fd < 0)
        return false;
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode) || ::ftruncate(fd, 0) != 0) {
        ::close(fd);
        return false;
    }
    const int flags = ::fcntl(fd, F_GETFL);
    if (flags >= 0)
        ::fcntl(fd, F_SETFL, flags & ~O_NONBLOCK);
    if (!file.open(fd, QIODevice::WriteOnly | extra, QFileDevice::AutoCloseHandle)) {
        ::close(fd);
        return false;
    }
    return true;
#else
    const QFileInfo info(file.fileName());
    if (info.exists() && !info.isFile())
        return false;
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate | extra);
#endif
}

} // namespace platform
