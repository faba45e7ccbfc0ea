#pragma once

#include <QWidget>

#include <functional>
#include <memory>

namespace Ui {
class TerminalScreen;
}
class HexView;
class QComboBox;
class QLabel;
class QPlainTextEdit;
class QPushButton;

// The content of the main window's terminal screen: the receive window with its header, the
// transmit header with the instrument list and the Log, Scan and Clear buttons, the transmit window.
// It only shows; TerminalMode decides.
class TerminalScreen : public QWidget {
    Q_OBJECT
public:
    explicit TerminalScreen(QWidget* parent = nullptr);
    ~TerminalScreen() override;

    QLabel* TermRXLabel() const;
    QPushButton* TermRXClear() const;
    QPlainTextEdit* TermRX() const;
    QLabel* TermTXLabel() const;
    QLabel* TerminalLabel() const;
    QComboBox* TerminalList() const;
    QPushButton* TerminalLog() const;
    QPushButton* TerminalScan() const;
    QPushButton* TermTXClear() const;
    QPlainTextEdit* TermTX() const;
    // In place of TermRX while the hex view is on.
    HexView* TermHex() const { return hex; }

    // Every character typed in the transmit window, before the window handles the key.
    std::function<void(QChar key)> onTransmitKey;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    std::unique_ptr<Ui::TerminalScreen> ui;
    HexView* hex = nullptr;
};
