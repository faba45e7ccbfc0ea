#pragma once

#include <QByteArray>
#include <QIODevice>
#include <QtGlobal>

#include <optional>

class QFile;
class QString;

namespace platform {

// Far above any configuration (255 instruments with every record are about 2 MB) or help text the
// program could meet; a larger file is refused rather than read into memory.
inline constexpr qint64 MaxReadableFileSize = qint64(16) * 1024 * 1024;

// Opens the file (its name already set) for reading only if it is a regular file of at most maxSize
// bytes. A FIFO would hold the open until some writer came, and a device such as /dev/zero never
// ends: both are refused without blocking.
bool openRegularFile(QFile& file, qint64 maxSize = MaxReadableFileSize);

// The whole of a regular file of at most maxSize bytes, or nothing: not a regular file, too big (also
// when it grows past maxSize while it is read), or a read error. Memory follows the file's real size,
// never the limit.
std::optional<QByteArray> readRegularFile(const QString& path, qint64 maxSize = MaxReadableFileSize);

// The per-user settings files (remembered devices, folders, terminal options) hold a few short lines.
inline constexpr qint64 MaxSettingsFileSize = 64 * 1024;
// Whether QSettings may read and write file: a name that does not exist yet, or a regular file of at
// most MaxSettingsFileSize bytes. QSettings reads a file before it writes it, so a FIFO in its place
// would hold the program for good and a huge file would fill the memory; both are left alone.
bool settingsFileUsable(const QString& file);

// Opens the file (its name already set) for writing, created if new and emptied if it exists, only if
// it is a regular file: a FIFO would hold the open until some reader came, and a device is no place
// for a file. Refused without blocking, and without emptying anything but a regular file. extra adds
// open modes (Unbuffered).
bool createRegularFile(QFile& file, QIODevice::OpenMode extra = {});

} // namespace platform
