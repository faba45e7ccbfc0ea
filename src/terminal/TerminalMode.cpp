#include "TerminalMode.h"

#include "ConfigTree.h"
#include "Dialogs.h"
#include "FileCommands.h"
#include "HexView.h"
#include "Positional.h"
#include "Sound.h"
#include "TerminalCommands.h"
#include "TerminalScreen.h"

#include <QAction>
#include <QComboBox>
#include <QCoreApplication>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSaveFile>
#include <QTimer>

TerminalMode::TerminalMode(Services& services, const ConfigTree& tree, TerminalScreen& screen,
                           TerminalHost host, QObject* parent)
    : QObject(parent), svc(services), tree(tree), screen(screen), host(host), receive(screen.TermRX()),
      log(services.settings()), recording(services.comms()) {
    // The log takes every block the link delivers, before whichever receive handler is installed.
    log.attach(services.comms());
    log.onWriteFailed = [this](const QString& error) { writeFailed(error); };
    recording.onWriteFailed = [this](const QString& error) { recordingFailed(error); };
    screen.onTransmitKey = [this](QChar key) { TerminalTransmit(key); };
    connect(screen.TermRXClear(), &QPushButton::clicked, this, &TerminalMode::TerminalRXClear);
    connect(screen.TermTXClear(), &QPushButton::clicked, this, &TerminalMode::TerminalTXClear);
    connect(screen.TerminalScan(), &QPushButton::clicked, this, &TerminalMode::TerminalScanClick);
    connect(screen.TerminalLog(), &QPushButton::clicked, this, &TerminalMode::TerminalLogClick);
    // However the session ends, the log is closed; each record is already on its way to disk.
    connect(qApp, &QCoreApplication::aboutToQuit, this, [this] {
        if (svc.settings().LoggingActive)
            log.stop();
        recording.stop();
    });
}

TerminalMode::~TerminalMode() {
    screen.onTransmitKey = nullptr;
}

void TerminalMode::TerminalSelect() {
    SharedSettings& s = svc.settings();
    s.TerminalActive = !s.TerminalActive;
    if (s.TerminalActive)
        TerminalOpen();
    else
        TerminalClose();
}

void TerminalMode::TerminalOpen() {
    QComboBox* list = screen.TerminalList();
    list->clear();
    list->addItems(positional::listEntries(tree));
    const bool any = list->count() > 0;
    for (QWidget* w :
         {static_cast<QWidget*>(screen.TerminalLabel()), static_cast<QWidget*>(list),
          static_cast<QWidget*>(screen.TerminalScan()), static_cast<QWidget*>(screen.TerminalLog())})
        w->setVisible(any);
    screen.TerminalScan()->setEnabled(any);
    screen.TerminalLog()->setEnabled(any);
    list->setCurrentIndex(any ? 0 : -1);

    if (host.terminalModeItem)
        host.terminalModeItem->setChecked(true);
    if (host.terminalScreen) {
        host.terminalScreen->setVisible(true);
        host.terminalScreen->setEnabled(true);
    }
    if (host.configurationScreen) {
        host.configurationScreen->setVisible(false);
        host.configurationScreen->setEnabled(false);
    }

    screen.TermRXLabel()->setEnabled(true);
    screen.TermRXClear()->setEnabled(true);
    screen.TermRX()->setEnabled(true);
    screen.TermHex()->setEnabled(true);
    receive.clear();
    lines.cleared();
    screen.TermHex()->clear();

    screen.TermTXLabel()->setEnabled(true);
    screen.TermTXClear()->setEnabled(true);
    screen.TermTX()->setEnabled(true);
    screen.TermTX()->clear();
    screen.TermTX()->setFocus();

    svc.comms().setOnReceiveData(
        [this](TKovComms* sender, const char* data, qint32 size) { TerminalReceive(sender, data, size); });
}

void TerminalMode::TerminalClose() {
    if (host.terminalModeItem)
        host.terminalModeItem->setChecked(false);
    if (host.configurationScreen) {
        host.configurationScreen->setVisible(true);
        host.configurationScreen->setEnabled(true);
    }
    if (host.terminalScreen) {
        host.terminalScreen->setVisible(false);
        host.terminalScreen->setEnabled(false);
    }
    svc.form0.installRXReceive();
}

void TerminalMode::TerminalRXClear() {
    receive.clear();
    lines.cleared();
    screen.TermHex()->clear();
    log.clearLine();
}

void TerminalMode::TerminalTXClear() {
    screen.TermTX()->clear();
}

void TerminalMode::TerminalTransmit(QChar Key) {
    if (Key != QLatin1Char('\r'))
        return;
    if (const std::optional<QString> line = transmitLine(*screen.TermTX()->document())) {
        svc.comms().SendText(*line + QStringLiteral("\r\n"));
        echo(*line);
    }
}

void TerminalMode::TerminalReceive(TKovComms* Sender, const char* DataPtr, qint32 DataSize) {
    Q_UNUSED(Sender);
    lines.receive(DataPtr, DataSize);
    receive.showIfDue();
    screen.TermHex()->append(DataPtr, DataSize);
}

void TerminalMode::echo(const QString& sent) {
    // Only what really went out: a closed port sends nothing.
    if (opts.echoSent && svc.comms().IsOpen())
        lines.echo(sent);
}

void TerminalMode::sendCommand(const QString& suffix) {
    const QString command =
        terminalCommand(svc.settings().HostCommandPrefix, screen.TerminalList()->currentText(), suffix);
    writeCommandLine(screen.TermTX(), command);
    svc.comms().SendText(command + QStringLiteral("\r\n"));
    echo(command);
}

void TerminalMode::TerminalScanClick() {
    sendCommand(QStringLiteral(" SCAN"));
}

void TerminalMode::showLoggingButtons(bool logging) {
    screen.TerminalList()->setEnabled(!logging);
    screen.TerminalScan()->setEnabled(!logging);
    // Under the form's context, so both labels of the button are translated together.
    screen.TerminalLog()->setText(logging ? QCoreApplication::translate("TerminalScreen", "End")
                                          : QCoreApplication::translate("TerminalScreen", "Log"));
}

void TerminalMode::TerminalLogClick() {
    SharedSettings& s = svc.settings();
    if (!s.LoggingActive) {
        const std::optional<QString> name =
            svc.dialogs.saveFileName(host.window, dataLogDialogOptions(s.LogFileName, s.ConfigFileName));
        if (!name)
            return;
        if (!log.start(*name)) {
            svc.sound.tone(500, 100);
            svc.dialogs.error(host.window, tr("Cannot create output file - terminating data logging"));
            return;
        }
        showLoggingButtons(true);
        sendCommand(QStringLiteral(" RUN"));
    } else {
        log.stop();
        showLoggingButtons(false);
        sendCommand(QStringLiteral(" END"));
    }
}

void TerminalMode::writeFailed(const QString& error) {
    showLoggingButtons(false);
    // This runs inside the receive handler; a message box there would run a delivery again before the
    // block being assembled is finished.
    //: %1 is the log file's name, %2 the system's reason (such as "No space left on device")
    const QString text = tr("Cannot write to the data log file %1: %2. Data logging has stopped.")
                             .arg(svc.settings().LogFileName, error);
    QTimer::singleShot(0, this, [this, text] { svc.dialogs.error(host.window, text); });
}

void TerminalMode::setOptions(const TerminalOptions& options) {
    opts = options;
    lines.showTimeStamps = opts.showTimeStamps;
    log.timeStamps = opts.timeStampLog;
    QWidget* text = screen.TermRX();
    HexView* hex = screen.TermHex();
    const bool hadFocus = text->hasFocus() || hex->hasFocus();
    text->setVisible(!opts.hexView);
    hex->setVisible(opts.hexView);
    if (opts.hexView)
        hex->flush();
    else
        receive.flush();
    if (hadFocus)
        (opts.hexView ? static_cast<QWidget*>(hex) : text)->setFocus();
}

// The save dialog of the View menu's files: it starts where the same kind of file went last, else
// beside the data log, else beside the configuration.
std::optional<QString> TerminalMode::askSaveName(const QString& title, const QString& filter,
                                                 const QString& suffix, const QString& last) {
    const SharedSettings& s = svc.settings();
    platform::FileDialogOptions o;
    o.title = title;
    o.filters = QStringList{filter, tr("All Files (*)")};
    o.defaultSuffix = suffix;
    o.directory = folderPart(!last.isEmpty()            ? last
                             : !s.LogFileName.isEmpty() ? s.LogFileName
                                                        : s.ConfigFileName);
    o.fileName = QStringLiteral("*.") + suffix;
    o.helpContext = 4005;
    return svc.dialogs.saveFileName(host.window, o);
}

void TerminalMode::RecordSessionClick() {
    if (recording.isRecording()) {
        recording.stop();
        if (onRecordingChanged)
            onRecordingChanged(false);
        return;
    }
    const std::optional<QString> name = askSaveName(
        tr("Record Session"), tr("Session Recording (*.BIN *.bin)"), QStringLiteral("BIN"), recordingName);
    if (!name)
        return;
    recordingName = *name;
    if (!recording.start(*name)) {
        svc.sound.tone(500, 100);
        svc.dialogs.error(host.window, tr("Cannot create file %1: %2").arg(*name, recording.errorString()));
        return;
    }
    if (onRecordingChanged)
        onRecordingChanged(true);
}

void TerminalMode::recordingFailed(const QString& error) {
    if (onRecordingChanged)
        onRecordingChanged(false);
    // Inside a delivery or an exchange: the message waits until that is over.
    const QString text =
        tr("Cannot write to the session recording %1: %2. Recording has stopped.").arg(recordingName, error);
    QTimer::singleShot(0, this, [this, text] { svc.dialogs.error(host.window, text); });
}

void TerminalMode::SaveReceiveWindowAsClick() {
    const std::optional<QString> name = askSaveName(
        tr("Save Receive Window As"), tr("Text File (*.TXT *.txt)"), QStringLiteral("TXT"), savedWindowName);
    if (!name)
        return;
    savedWindowName = *name;
    QByteArray bytes;
    if (opts.hexView) {
        bytes = screen.TermHex()->history().text("\r\n");
    } else {
        receive.flush();
        bytes = receivedWindowText(screen.TermRX()->toPlainText());
    }
    QSaveFile file(*name);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size() || !file.commit()) {
        svc.sound.tone(500, 100);
        svc.dialogs.error(host.window, tr("Cannot create file %1: %2").arg(*name, file.errorString()));
    }
}
