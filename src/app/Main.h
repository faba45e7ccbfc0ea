#pragma once

#include "Unit0.h"

#include <QMainWindow>
#include <QTimer>

#include <functional>
#include <memory>

namespace Ui {
class TMainForm;
}
namespace platform {
class SerialPort;
class DialogService;
class Sound;
class Clock;
class HelpViewer;
class HelpKey;
class PortSource;
} // namespace platform

class TForm1;
class TForm2;
class TForm3;
class TForm4;
class InstrumentCommands;
class TForm5;
class TForm6;
class Modify917Command;
class CommSettingsCommand;
class FileCommands;
class InstrumentPicker;
class TForm7;
class TForm8;
class TerminalMode;
class TerminalScreen;
class ProgramInstrument;

class ConfigTree;
class QAbstractButton;
class QAction;
class QFrame;
class QLabel;
class QProgressBar;
class QTreeView;

// What the main window is built from; tests hand in fakes.
struct MainFormDeps {
    std::unique_ptr<platform::SerialPort> port;
    platform::DialogService* dialogs = nullptr;
    platform::Sound* sound = nullptr;
    platform::Clock* clock = nullptr;
    QString executableFolder;              // empty: the program's own folder
    platform::HelpViewer* help = nullptr;  // null: the help pages beside the program
    platform::PortSource* ports = nullptr; // null: the devices present on the machine
    QString portMapFile;                   // where a chosen device is remembered; empty: nowhere
};

// The main window: splash, menus, configuration and terminal screens, status bar. It is the one
// place that knows every subsystem; their commands live in their own folders and are connected here.
class TMainForm : public QMainWindow, public StatusReporter {
    Q_OBJECT
public:
    explicit TMainForm(MainFormDeps deps, QWidget* parent = nullptr);
    ~TMainForm() override;

    TForm0& form0() { return *Form0; }
    Services& services() { return *svc; }
    ConfigTree& tree() { return *configTree; }
    QTreeView* View() const;
    QFrame* ConfigurationScreen() const;
    QFrame* TerminalScreen() const;
    QWidget* SplashPanel() const { return splash; }
    QProgressBar* ProgressBar() const;
    QString statusText() const;
    // The permanent field at the right of the status bar: the link's state.
    QString linkStatusText() const;
    QAction* action(const QString& objectName) const;
    QList<QMenu*> topMenus() const;

    // StatusReporter
    void setStatusText(const QString& text) override;
    void setProgressRange(int maximum) override;
    void setProgressPosition(int position) override;
    void setProgressVisible(bool visible) override;
    void setProgressText(const QString& text) override;
    QAbstractButton* cancelButton() override;
    void showTemporaryMessage(const QString& text) override;

    // A configuration file named on the command line: opened in place of the welcome dialog's
    // choice, then the link settings dialog, as "Load Existing Configuration" does.
    void openFileAtStart(const QString& path);
    // Closing at the system's request (a termination signal): nobody may be there to answer, so
    // nothing is asked.
    void closeUnattended();

    // Start-up sequence.
    void FormShow();
    void Timer1_Time0();
    void Timer1_Time1();
    QTimer Timer1;

    // The welcome dialog's choice (1, 2 or 7), asked once from Timer1_Time0. Without a welcome
    // dialog the start-up sequence simply enables the menus.
    std::function<int()> showWelcome;
    std::function<void(int)> actOnWelcome;
    // The timed backup's write of the tree to ConfigFileName.
    std::function<void()> writeBackup;

    // Help menu, Options menu.
    void Form1Show();
    void HelpContents();
    void TimedBackup1Click();
    TForm7& form7() { return *Form7; }
    TForm2& form2() { return *Form2; }
    // The one instrument-choice dialog; delete, print, modify and program all use it.
    InstrumentPicker& instrumentPicker();
    // "Configure &Communications" (Form2Show), also run by the welcome dialog and new configuration.
    CommSettingsCommand& commSettings() { return *commSettingsCommand; }
    // Add and delete instrument; a new configuration repeats the add.
    InstrumentCommands& instrumentCommands() { return *addDeleteCommands; }
    // The File menu: new, open, save, print set-up, print.
    FileCommands& files() { return *fileCommands; }

    // "&Terminal Mode" and "Program &Instrument" of the Comms menu.
    TerminalMode& terminal() { return *terminalMode; }
    ProgramInstrument& programInstrument() { return *programCommand; }
    // "Modify &917 Configuration"; the add sequence opens the wizard through it too.
    Modify917Command& modify917() { return *modify917Command; }
    TForm6& form6() { return *Form6; }

protected:
    void showEvent(QShowEvent* event) override;
    // Closing by any means completes an open data log first, so no received record is lost.
    void closeEvent(QCloseEvent* event) override;

private:
    void buildSplash();
    void enableMenus();
    void updateTitle();
    // "Configure &Communications", saying once why the link did not open.
    void configureCommunications();
    // The View menu: the terminal's options, session recording and saving the receive window.
    void buildViewMenu();

    std::unique_ptr<Ui::TMainForm> ui;
    std::unique_ptr<TForm0> Form0;
    std::unique_ptr<Services> svc;
    ConfigTree* configTree = nullptr;
    QWidget* splash = nullptr;
    QString exeFolder;
    bool shownOnce = false;
    bool unattended = false;
    QString startFile;
    QAbstractButton* cancel = nullptr;
    QTimer messageTimer;
    std::function<void()> timerHandler;
    std::unique_ptr<TForm1> Form1;
    std::unique_ptr<TForm2> Form2;
    std::unique_ptr<TForm3> Form3;
    std::unique_ptr<TForm4> Form4;
    std::unique_ptr<InstrumentCommands> addDeleteCommands;
    std::unique_ptr<FileCommands> fileCommands;
    std::unique_ptr<TForm5> Form5;
    std::unique_ptr<TForm6> Form6;
    std::unique_ptr<Modify917Command> modify917Command;
    std::unique_ptr<CommSettingsCommand> commSettingsCommand;
    std::unique_ptr<TForm7> Form7;
    std::unique_ptr<TForm8> Form8;
    std::unique_ptr<platform::HelpViewer> ownHelp;
    platform::HelpViewer* help = nullptr;
    std::unique_ptr<platform::HelpKey> helpKey;
    std::unique_ptr<platform::PortSource> ownPorts;
    QLabel* linkStatus = nullptr;
    QMenu* viewMenu = nullptr;
    QString userSettingsFile; // where per-user choices are remembered; empty: nowhere
    // Last, so they go before the link and the settings they use.
    std::unique_ptr<TerminalMode> terminalMode;
    std::unique_ptr<ProgramInstrument> programCommand;
};

// The program's facts (version, build date, Qt, licence, where its documentation is) and logo,
// shared by the splash panel and the About box.
QWidget* makeMakerPanel(QWidget* parent);
QStringList aboutFacts(const QString& executableFolder);
