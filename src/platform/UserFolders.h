#pragma once

#include <QString>

namespace platform {

// The folder of the configuration file last opened or saved, kept per user beside the remembered
// devices, so an installed program does not start its file dialogs in a system folder every time.
QString rememberedFolderFile();
// The folder remembered in file; empty when nothing usable is there (no file, not a regular file of
// a settings file's size, or a folder that no longer exists).
QString loadRememberedFolder(const QString& file);
void rememberFolder(const QString& file, const QString& folder);

// Whether a program in this folder is an installed copy: bin under /usr, /usr/local or /opt.
bool isInstalledLocation(const QString& executableFolder);

} // namespace platform
