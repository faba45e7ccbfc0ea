#include "UserFolders.h"

#include "RegularFile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSettings>
#include <QStandardPaths>

namespace platform {

namespace {
constexpr qsizetype MaxFolderLength = 4096;

const QString& key() {
    static const QString k = QStringLiteral("Folders/Configuration");
    return k;
}

} // namespace

QString rememberedFolderFile() {
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) +
           QStringLiteral("/v917config/folders.ini");
}

QString loadRememberedFolder(const QString& file) {
    if (!QFileInfo::exists(file) || !settingsFileUsable(file))
        return QString();
    const QString folder = QSettings(file, QSettings::IniFormat).value(key()).toString();
    if (folder.isEmpty() || folder.size() > MaxFolderLength || !QDir::isAbsolutePath(folder) ||
        !QFileInfo(folder).isDir())
        return QString();
    return folder;
}

void rememberFolder(const QString& file, const QString& folder) {
    if (!settingsFileUsable(file) || folder.isEmpty() || folder.size() > MaxFolderLength)
        return;
    QSettings s(file, QSettings::IniFormat);
    if (s.value(key()).toString() != folder)
        s.setValue(key(), folder);
}

bool isInstalledLocation(const QString& executableFolder) {
    // Through links: on a merged /usr, /bin is /usr/bin.
    QString folder = QFileInfo(executableFolder).canonicalFilePath();
    if (folder.isEmpty())
        folder = QDir::cleanPath(executableFolder);
    if (folder == QLatin1String("/usr/bin") || folder == QLatin1String("/usr/local/bin"))
        return true;
    return folder.startsWith(QLatin1String("/opt/")) &&
           (folder.endsWith(QLatin1String("/bin")) || folder.contains(QLatin1String("/bin/")));
}

} // namespace platform
