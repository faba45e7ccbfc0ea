#pragma once

#include <QDialog>

#include <functional>
#include <memory>

namespace Ui {
class TForm8;
}

// The welcome dialog shown once after the splash: the user's first action.
class TForm8 : public QDialog {
    Q_OBJECT
public:
    enum Choice { NewConfiguration = 1, LoadExisting = 2, TerminalMode = 7 };

    explicit TForm8(QWidget* parent = nullptr);
    ~TForm8() override;

    // Shows the dialog modally; always 1, 2 or 7.
    int choose();

    // The close box and Escape count as "Load Existing Configuration", so the dialog always
    // ends with one of its three results.
    void reject() override;

protected:
    void showEvent(QShowEvent* event) override;

private:
    std::unique_ptr<Ui::TForm8> ui;
};

// The commands the welcome choice starts. Each may be empty while its command is not connected.
struct WelcomeCommands {
    std::function<void()> FileNew;
    std::function<void()> FileOpen;
    std::function<void()> Form2Show;
    std::function<void()> TerminalSelect;
};

// 1: a new configuration; 2: open a file, then the link settings dialog (also when the open dialog
// was cancelled); 7: terminal mode on.
void actOnWelcomeChoice(int choice, const WelcomeCommands& commands);
