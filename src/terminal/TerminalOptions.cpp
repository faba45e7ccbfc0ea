#include "TerminalOptions.h"

#include "RegularFile.h"

#include <QFileInfo>
#include <QSettings>

namespace {
const char* const kTimeStampLog = "TimeStampEachLine";
const char* const kShowTimeStamps = "ShowTimeStamps";
const char* const kHexView = "HexView";
const char* const kEchoSent = "EchoSentLines";
} // namespace

TerminalOptions loadTerminalOptions(const QString& file) {
    TerminalOptions o;
    if (!QFileInfo::exists(file) || !platform::settingsFileUsable(file))
        return o;
    QSettings s(file, QSettings::IniFormat);
    s.beginGroup(QStringLiteral("Terminal"));
    o.timeStampLog = s.value(kTimeStampLog, false).toBool();
    o.showTimeStamps = s.value(kShowTimeStamps, false).toBool();
    o.hexView = s.value(kHexView, false).toBool();
    o.echoSent = s.value(kEchoSent, false).toBool();
    return o;
}

void saveTerminalOptions(const QString& file, const TerminalOptions& o) {
    if (!platform::settingsFileUsable(file))
        return;
    QSettings s(file, QSettings::IniFormat);
    s.beginGroup(QStringLiteral("Terminal"));
    s.setValue(kTimeStampLog, o.timeStampLog);
    s.setValue(kShowTimeStamps, o.showTimeStamps);
    s.setValue(kHexView, o.hexView);
    s.setValue(kEchoSent, o.echoSent);
}
