#include "FileIdentity.h"

#include <QFile>

#ifdef Q_OS_UNIX
#include <sys/stat.h>
#endif

namespace platform {

#ifdef Q_OS_UNIX
bool pathNamesOpenFile(const QString& path, int fd) {
    struct stat opened {};
    struct stat named {};
    if (::fstat(fd, &opened) != 0)
        return true; // nothing to compare with: the write itself will tell
    if (::stat(QFile::encodeName(path).constData(), &named) != 0)
        return false;
    return opened.st_dev == named.st_dev && opened.st_ino == named.st_ino;
}
#else
bool pathNamesOpenFile(const QString&, int) {
    return true;
}
#endif

} // namespace platform
