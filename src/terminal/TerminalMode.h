#pragma once

#include "DataLog.h"
#include "ReceiveWindow.h"
#include "SessionRecording.h"
#include "TerminalLines.h"
#include "TerminalOptions.h"
#include "Unit0.h"

#include <QObject>

class ConfigTree;
class QAction;
class QWidget;
class TerminalScreen;

// What terminal mode needs of the main window.
struct TerminalHost {
    QWidget* configurationScreen = nullptr;
    QWidget* terminalScreen = nullptr; // the frame that holds the TerminalScreen widget
    QAction* terminalModeItem = nullptr;
    QWidget* window = nullptr; // parent of the file dialog and message boxes
};

// Terminal mode, its Scan and Log buttons and the data log (menu item "&Terminal Mode").
class TerminalMode : public QObject {
    Q_OBJECT
public:
    TerminalMode(Services& services, const ConfigTree& tree, TerminalScreen& screen, TerminalHost host,
                 QObject* parent = nullptr);
    ~TerminalMode() override;

    void TerminalSelect();
    void TerminalOpen();
    void TerminalClose();
    void TerminalRXClear();
    void TerminalTXClear();
    // Every character typed in the transmit window; Enter sends the last line.
    void TerminalTransmit(QChar Key);
    void TerminalReceive(TKovComms* Sender, const char* DataPtr, qint32 DataSize);
    void TerminalScanClick();
    void TerminalLogClick();

    // The options of the View menu; they apply from the next line on.
    const TerminalOptions& options() const { return opts; }
    void setOptions(const TerminalOptions& options);
    // "Record Session...": asks for a file and records into it; while recording, stops.
    void RecordSessionClick();
    bool isRecording() const { return recording.isRecording(); }
    // "Save Receive Window As...": the receive window's text (the hex rows when those are shown).
    void SaveReceiveWindowAsClick();
    // The recording started or stopped (also by a failed write).
    std::function<void(bool recording)> onRecordingChanged;

    // For tests: the window shows received lines once per frame; tests flush it instead of waiting.
    ReceiveWindow& receiveWindow() { return receive; }
    DataLog& dataLog() { return log; }
    TerminalLines& terminalLines() { return lines; }

private:
    void sendCommand(const QString& suffix);
    void showLoggingButtons(bool logging);
    void writeFailed(const QString& error);
    void recordingFailed(const QString& error);
    void echo(const QString& sent);

    Services& svc;
    const ConfigTree& tree;
    TerminalScreen& screen;
    TerminalHost host;
    ReceiveWindow receive;
    TerminalLines lines{receive};
    DataLog log;
    SessionRecording recording;
    TerminalOptions opts;
    QString recordingName;
    QString savedWindowName;
};
