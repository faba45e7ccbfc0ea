#include "TimedBackup.h"

#include "ConfigFile.h"
#include "Dialogs.h"
#include "Unit0.h"

#include <QCoreApplication>
#include <QTimer>

#include <algorithm>
#include <utility>

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

bool writesTo(const SharedSettings& settings) {
    return !settings.ConfigFileName.isEmpty() && !settings.ConfigFileIncomplete;
}

QString write(const ConfigTree& tree, const SharedSettings& settings) {
    if (!writesTo(settings))
        return QString();
    QString message;
    if (writeConfigFile(tree, settings.ConfigFileName, &message))
        return QString();
    return message.isEmpty() ? QCoreApplication::translate("ConfigFile", "Cannot create file %1")
                                   .arg(settings.ConfigFileName)
                             : message;
}

void FailureReports::report(const QString& message) {
    pending = message;
    if (showing)
        return;
    showing = true;
    while (!pending.isEmpty())
        dialogs.error(parent, std::exchange(pending, QString()));
    showing = false;
}

} // namespace timedbackup
