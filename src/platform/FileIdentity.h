#pragma once

#include <QString>

namespace platform {

// True while `path` still names the file open as `fd`; false once that file was deleted, renamed away
// or replaced by another, which then goes on receiving nothing of what is written to `fd`.
bool pathNamesOpenFile(const QString& path, int fd);

} // namespace platform
