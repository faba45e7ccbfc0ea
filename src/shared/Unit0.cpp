#include "Unit0.h"

#include "SerialPort.h"
#include "UserFolders.h"

#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

QString comPortText(int index) {
    switch (index) {
    case 0:
        return QStringLiteral("COM1");
    case 1:
        return QStringLiteral("COM2");
    default:
        return QString();
    }
}

QString comProtocolText(int index) {
    static const char* const names[] = {"RS232", "RS422", "RS485"};
    return index >= 0 && index < 3 ? QString::fromLatin1(names[index]) : QString();
}

QString comSpeedText(int index) {
    return index >= 0 && index < 8 ? QString::number(comSpeedBaud(TComSpeed(index))) : QString();
}

QString dataFolderFor(const QString& executableFolder, const QString& probeFile) {
    if (QFileInfo::exists(executableFolder + probeFile))
        return executableFolder;
    const QString installed =
        QDir::cleanPath(executableFolder + QStringLiteral("../share/v917config")) + QLatin1Char('/');
    if (QFileInfo::exists(installed + probeFile))
        return installed;
    return executableFolder;
}

QString configStartFolder(const QString& executableFolder, const QString& rememberedFolder) {
    const QFileInfo here(executableFolder);
    if (!platform::isInstalledLocation(executableFolder) && here.isDir() && here.isWritable())
        return executableFolder;
    // Installed, the program's folder is the system's (writable when run as root): the user's files
    // belong in their own folders, the one used last or else their documents.
    QString folder = rememberedFolder;
    if (folder.isEmpty() || !QFileInfo(folder).isDir())
        folder = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    if (folder.isEmpty() || !QFileInfo(folder).isDir())
        folder = QDir::homePath();
    return folder.endsWith(QLatin1Char('/')) ? folder : folder + QLatin1Char('/');
}

TForm0::TForm0(std::unique_ptr<platform::SerialPort> port, platform::Clock* clock, QObject* parent)
    : QObject(parent), Comms(std::move(port), clock) {
    Comms.setCommandPrefix(QStringLiteral("#"));
    Comms.setAddress(QStringLiteral("00"));
    Comms.setDelay_Polling(0);
}

TForm0::~TForm0() {
    Comms.setOnReceiveData(nullptr);
    Comms.Close();
}

void TForm0::InitialiseVariables(const QString& executableFolder, const QString& rememberedFolder) {
    ExecutableFolder = executableFolder;
    if (!ExecutableFolder.endsWith(QLatin1Char('/')))
        ExecutableFolder += QLatin1Char('/');
    Settings.HostCommandPrefix = QStringLiteral("#");
    SetDelimiter(Settings.HostDataSeparator, QStringLiteral("Tab"), 9, 0);
    Settings.ConfigFileName = configStartFolder(ExecutableFolder, rememberedFolder) + QStringLiteral("*.917");
    HelpGrid.clearRows(200);
    DataFolder = dataFolderFor(ExecutableFolder, Settings.HelpTextFileName);
    HelpGrid.load(DataFolder + Settings.HelpTextFileName);
    installRXReceive();
    ApplySettings();
}

void TForm0::installRXReceive() {
    Comms.setOnReceiveData(
        [this](TKovComms* sender, const char* data, qint32 size) { RXReceive(sender, data, size); });
}

bool TForm0::ApplySettings() {
    Comms.Close();
    Comms.setComPort(TComPort(qBound(0, Settings.HostComPort, 3)));
    Comms.setComMode(TComMode(qBound(0, Settings.HostComProtocol, 2)));
    Comms.setComSpeed(TComSpeed(qBound(0, Settings.HostComSpeed, 7)));
    return Comms.Open();
}

void TForm0::RXReceive(TKovComms* Sender, const char* DataPtr, qint32 DataSize) {
    Q_UNUSED(Sender);
    AssembleLines(RX, DataPtr, DataSize);
}

void TForm0::ReadUserHelp(QPlainTextEdit* memo, int topic) const {
    ::ReadUserHelp(memo, HelpGrid, topic);
}
