#pragma once

#include "Delimiter.h"
#include "HelpText.h"
#include "KovComms.h"
#include "LineAssembly.h"

#include <QFile>
#include <QObject>
#include <QString>

#include <memory>

class QAbstractButton;
class QPlainTextEdit;

namespace platform {
class DialogService;
class Sound;
class SerialPort;
class Clock;
} // namespace platform

// Dialog results shared by the add and modify sequence.
enum ModalResult { mrNone = 0, mrOk = 1, mrCancel = 2, mrAbort = 3 };

// Settings the whole program shares; dialogs copy them in when shown and back when confirmed.
struct SharedSettings {
    int HostComPort = 0;     // 0 COM1, 1 COM2
    int HostComProtocol = 0; // 0 RS232, 1 RS422, 2 RS485
    int HostComSpeed = 4;    // index into 600 .. 57600; 4 is 9600
    QString HostCommandPrefix = QStringLiteral("#");
    TDelimiter HostDataSeparator;
    QString ConfigFileName;
    // The current file was loaded only in part (or not at all): the timed backup leaves it alone until
    // the user saves explicitly.
    bool ConfigFileIncomplete = false;
    QString LogFileName;
    QFile LogFile;
    bool LoggingActive = false;
    bool TerminalActive = false;
    bool TimedBackupEnabled = false;
    int TimedBackupMinutes = 10;
    QString HelpTextFileName = QStringLiteral("48710093.TXT");

    // The add/modify sequence's last dialog result, and the reply of the last successful find.
    int LastModalResult = mrNone;
    QString InstrumentIdentification;
};

// Texts of the shared indexes, as they stand in the tree and in commands.
QString comPortText(int index);     // "COM1", "COM2", empty otherwise
QString comProtocolText(int index); // "RS232", "RS422", "RS485", empty otherwise
QString comSpeedText(int index);    // "600" .. "57600", empty otherwise

// The status bar of the main window, as the long operations use it.
class StatusReporter {
public:
    virtual ~StatusReporter() = default;
    // Each call repaints at once: no event loop runs during an exchange.
    virtual void setStatusText(const QString& text) = 0;
    virtual void setProgressRange(int maximum) = 0;
    virtual void setProgressPosition(int position) = 0;
    virtual void setProgressVisible(bool visible) = 0;
    // Where a run is, shown on the progress bar ("line 40 of 175").
    virtual void setProgressText(const QString& text) { Q_UNUSED(text); }
    // The Cancel button shown while a run lasts; null where there is none.
    virtual QAbstractButton* cancelButton() { return nullptr; }
    // A short note that goes away by itself: what a finished command did.
    virtual void showTemporaryMessage(const QString& text) { Q_UNUSED(text); }
};

// The hidden shared form: the one serial link, the receive log and the help topics.
class TForm0 : public QObject {
    Q_OBJECT
public:
    explicit TForm0(std::unique_ptr<platform::SerialPort> port, platform::Clock* clock = nullptr,
                    QObject* parent = nullptr);
    ~TForm0() override;

    SharedSettings Settings;
    TKovComms Comms;
    LineBuffer RX;
    HelpTable HelpGrid;
    // The program's own folder with one separator appended.
    QString ExecutableFolder;
    // Where the help text and pages are: beside the program in a build tree, under share/ installed.
    QString DataFolder;

    // rememberedFolder: where the user last opened or saved a configuration (empty: unknown).
    void InitialiseVariables(const QString& executableFolder, const QString& rememberedFolder = QString());
    bool ApplySettings();
    void RXReceive(TKovComms* Sender, const char* DataPtr, qint32 DataSize);
    void installRXReceive();
    void ReadUserHelp(QPlainTextEdit* memo, int topic) const;
};

// The folder of the program's data files for a program in executableFolder (with trailing separator).
QString dataFolderFor(const QString& executableFolder, const QString& probeFile);

// Where configuration files start (with trailing separator): the program's folder when it is not an
// installed copy's and the user may write there; else the remembered folder, the user's documents
// folder or home, the first that exists.
QString configStartFolder(const QString& executableFolder, const QString& rememberedFolder = QString());

// What every form and command needs from the program around it.
struct Services {
    TForm0& form0;
    platform::DialogService& dialogs;
    platform::Sound& sound;

    SharedSettings& settings() const { return form0.Settings; }
    TKovComms& comms() const { return form0.Comms; }
};
