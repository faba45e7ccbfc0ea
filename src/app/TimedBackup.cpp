#include "TimedBackup.h"

#include "ConfigFile.h"
#include "Dialogs.h"
#include "Unit0.h"

#include <QTimer>

#include <algorithm>

int QtBackupTimer::interval() const {
    return timer.interval();
}

bool QtBackupTimer::isActive() const {
    return timer.isActive();
}

void QtBackupTimer::setInterval(int ms) {
    // QTimer restarts a running timer on every setInterval; the caller only calls on a change.
    timer.setInterval(ms);
}

void QtBackupTimer::setActive(bool active) {
    if (active)
        timer.start();
    else
        timer.stop();
}

namespace timedbackup {

int minutesForDialog(int storedMinutes) {
    return std::clamp(storedMinutes, MinMinutes, MaxMinutes);
}

int minutesFromText(const QString& text) {
    bool ok = false;
    const int value = text.trimmed().toInt(&ok);
    return ok ? std::clamp(value, MinMinutes, MaxMinutes) : MinMinutes;
}

void confirm(SharedSettings& settings, bool enabled, int minutes, BackupTimer& timer) {
    settings.TimedBackupEnabled = enabled;
    settings.TimedBackupMinutes = minutes;
    const int intervalMs = minutes * MsPerMinute;
    if (timer.interval() != intervalMs)
        timer.setInterval(intervalMs);
    if (timer.isActive() != enabled)
        timer.setActive(enabled);
}

bool write(const ConfigTree& tree, const QString& fileName, platform::DialogService& dialogs,
           QWidget* parent) {
    QString message;
    if (writeConfigFile(tree, fileName, &message))
        return true;
    dialogs.error(parent,
                  message.isEmpty() ? QStringLiteral("Cannot create file %1").arg(fileName) : message);
    return false;
}

} // namespace timedbackup
