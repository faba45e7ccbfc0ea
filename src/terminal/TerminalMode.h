#pragma once

#include "DataLog.h"
#include "ReceiveWindow.h"
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

    // For tests: the window shows received lines once per frame; tests flush it instead of waiting.
    ReceiveWindow& receiveWindow() { return receive; }

private:
    void sendCommand(const QString& suffix);
    void showLoggingButtons(bool logging);
    void writeFailed(const QString& error);

    Services& svc;
    const ConfigTree& tree;
    TerminalScreen& screen;
    TerminalHost host;
    ReceiveWindow receive;
    DataLog log;
};
