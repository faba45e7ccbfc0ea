#include "Main.h"

#include "ui_Main.h"

#include "CommSettings.h"
#include "ConfigTree.h"
#include "Dialogs.h"
#include "FileCommands.h"
#include "HelpViewer.h"
#include "Modify917.h"
#include "PortDiscovery.h"
#include "ProgramInstrument.h"
#include "SerialPort.h"
#include "Sound.h"
#include "TerminalMode.h"
#include "TerminalOptions.h"
#include "TerminalScreen.h"
#include "TimedBackup.h"
#include "Unit1.h"
#include "Unit2.h"
#include "Unit3.h"
#include "Unit4.h"
#include "Unit5.h"
#include "Unit6.h"
#include "Unit7.h"
#include "Unit8.h"
#include "V917Version.h"

#include <QApplication>
#include <QCloseEvent>
#include <QDir>
#include <QFileInfo>
#include <QLabel>
#include <QMenuBar>
#include <QPainter>
#include <QPushButton>
#include <QShowEvent>
#include <QVBoxLayout>

namespace {

QPixmap makeLogo() {
    return QPixmap(QStringLiteral(":/icons/128/v917config.png"))
        .scaled(72, 72, Qt::KeepAspectRatio, Qt::SmoothTransformation);
}

QLabel* boldLine(const QString& text, int pixelSize, QWidget* parent) {
    auto* l = new QLabel(text, parent);
    QFont f = l->font();
    f.setBold(true);
    f.setPixelSize(pixelSize);
    l->setFont(f);
    l->setAlignment(Qt::AlignCenter);
    return l;
}

} // namespace

QStringList aboutFacts(const QString& executableFolder) {
    // Installed, the documentation sits in the system's doc folder; in a build tree, the help
    // pages beside the program are all there is.
    QString docs = QDir::cleanPath(executableFolder + QStringLiteral("../share/doc/v917config"));
    docs = QFileInfo::exists(docs)
               ? QCoreApplication::translate("TMainForm", "Documentation: %1").arg(docs)
               : QCoreApplication::translate("TMainForm", "Help pages: %1")
                     .arg(QDir::cleanPath(dataFolderFor(executableFolder, QStringLiteral("48710093.TXT"))));
    return {QCoreApplication::translate("TMainForm", "Version %1, built %2")
                .arg(QStringLiteral(V917_VERSION), QStringLiteral(V917_BUILD_DATE)),
            QCoreApplication::translate("TMainForm", "Qt %1").arg(QString::fromLatin1(qVersion())),
            QCoreApplication::translate("TMainForm", "Free software under the %1 licence")
                .arg(QStringLiteral(V917_LICENSE)),
            docs};
}

QWidget* makeMakerPanel(QWidget* parent) {
    auto* panel = new QFrame(parent);
    panel->setObjectName(QStringLiteral("MakerPanel"));
    panel->setAutoFillBackground(true);
    QPalette pal = panel->palette();
    pal.setColor(QPalette::Window, Qt::white);
    pal.setColor(QPalette::WindowText, Qt::black);
    panel->setPalette(pal);
    auto* row = new QHBoxLayout(panel);
    auto* logo = new QLabel(panel);
    logo->setPixmap(makeLogo());
    row->addWidget(logo);
    auto* text = new QVBoxLayout;
    auto* name = new QLabel(QCoreApplication::translate("TMainForm", "V917 Configuration Project"), panel);
    QFont f = name->font();
    f.setBold(true);
    f.setPixelSize(20);
    name->setFont(f);
    text->addWidget(name);
    for (const QString& line : aboutFacts(QCoreApplication::applicationDirPath() + QLatin1Char('/'))) {
        auto* label = new QLabel(line, panel);
        label->setTextFormat(Qt::PlainText);
        text->addWidget(label);
    }
    row->addLayout(text, 1);
    return panel;
}

TMainForm::TMainForm(MainFormDeps deps, QWidget* parent)
    : QMainWindow(parent), ui(std::make_unique<Ui::TMainForm>()),
      Form0(std::make_unique<TForm0>(std::move(deps.port), deps.clock)), exeFolder(deps.executableFolder) {
    ui->setupUi(this);
    Q_ASSERT(deps.dialogs && deps.sound);
    svc = std::make_unique<Services>(Services{*Form0, *deps.dialogs, *deps.sound});
    if (exeFolder.isEmpty())
        exeFolder = QCoreApplication::applicationDirPath() + QLatin1Char('/');
    Form1 = std::make_unique<TForm1>(this);
    SharedSettings& shared = Form0->Settings;
    Form2 = std::make_unique<TForm2>(shared.HostComPort, shared.HostComProtocol, shared.HostComSpeed, this);
    Form3 = std::make_unique<TForm3>(*svc, this);
    Form4 = std::make_unique<TForm4>(*svc, this);
    Form5 = std::make_unique<TForm5>(this);
    Form6 = std::make_unique<TForm6>(*svc, this);

    configTree = new ConfigTree(this);
    configTree->resetToStartup();
    setUpConfigView(ui->View, configTree);
    commSettingsCommand = std::make_unique<CommSettingsCommand>(*svc, *configTree, *Form2);
    connect(ui->CommsConfigureItem, &QAction::triggered, this, &TMainForm::configureCommunications);
    addDeleteCommands = std::make_unique<InstrumentCommands>(*svc, *configTree, *this, *Form3, ui->View);
    connect(ui->EditAddItem, &QAction::triggered, this, [this] { addDeleteCommands->EditAddItemClick(); });
    connect(ui->EditDeleteItem, &QAction::triggered, this,
            [this] { addDeleteCommands->EditDeleteItemClick(instrumentPicker()); });
    modify917Command = std::make_unique<Modify917Command>(*svc, *configTree, *Form6, instrumentPicker());
    connect(ui->Modify917, &QAction::triggered, this,
            [this] { modify917Command->Modify917Configuration(ui->Modify917); });
    addDeleteCommands->runWizardForNewInstrument = [this] {
        modify917Command->Modify917Configuration(
            nullptr, Modify917Command::addedInstrumentKey(addDeleteCommands->newInstrumentAddress(),
                                                          Form0->Settings.InstrumentIdentification));
    };
    connect(ui->ScanNetworkItem, &QAction::triggered, this, [this] { ScanNetworkClick(*Form4); });
    fileCommands = std::make_unique<FileCommands>(*svc, *configTree, instrumentPicker(), this);
    fileCommands->showCommSettings = [this] { configureCommunications(); };
    fileCommands->addInstrument = [this] { addDeleteCommands->EditAddItemClick(); };
    fileCommands->setFinishCaption = [this](const QString& caption) { Form6->setButton3dCaption(caption); };
    fileCommands->showMessage = [this](const QString& text) { showTemporaryMessage(text); };
    connect(ui->FileNewItem, &QAction::triggered, this, [this] { fileCommands->FileNewClick(); });
    connect(ui->FileOpenItem, &QAction::triggered, this, [this] { fileCommands->FileOpenClick(); });
    connect(fileCommands.get(), &FileCommands::documentChanged, this, &TMainForm::updateTitle);
    connect(ui->FileSaveItem, &QAction::triggered, this, [this] { fileCommands->FileSave(); });
    connect(ui->FilePrintSetupItem, &QAction::triggered, this, [this] { fileCommands->FilePrintSetup(); });
    connect(ui->FilePrintItem, &QAction::triggered, this, [this] { fileCommands->FilePrint(); });

    buildSplash();

    // The timed backup and welcome dialogs come last, after every other dialog.
    Form7 = std::make_unique<TForm7>(Form0->Settings, this);
    Form8 = std::make_unique<TForm8>(this);
    showWelcome = [this] { return Form8->choose(); };
    // The welcome choice runs the same commands as their menu items.
    actOnWelcome = [this](int choice) {
        actOnWelcomeChoice(choice,
                           {[this] { ui->FileNewItem->trigger(); }, [this] { ui->FileOpenItem->trigger(); },
                            [this] { ui->CommsConfigureItem->trigger(); },
                            [this] {
                                if (!ui->TerminalModeItem->isChecked())
                                    ui->TerminalModeItem->trigger();
                            }});
    };
    writeBackup = [this, reports = std::make_shared<timedbackup::FailureReports>(svc->dialogs, this)] {
        // The backup goes to the configuration's own file, which then holds what is shown.
        const SharedSettings& settings = Form0->Settings;
        const bool writes = timedbackup::writesTo(settings);
        const QString message = timedbackup::write(*configTree, settings);
        if (!message.isEmpty())
            reports->report(message);
        else if (writes)
            fileCommands->markSaved();
    };
    if (deps.help) {
        help = deps.help;
    } else {
        // Installed, the pages live under share/ rather than beside the program.
        ownHelp = std::make_unique<platform::BrowserHelpViewer>(
            dataFolderFor(exeFolder, QStringLiteral("contents.html")), this);
        help = ownHelp.get();
    }
    helpKey = std::make_unique<platform::HelpKey>(*help);
    connect(ui->AboutItem, &QAction::triggered, this, &TMainForm::Form1Show);
    connect(ui->HelpContentsItem, &QAction::triggered, this, &TMainForm::HelpContents);
    connect(ui->TimedBackup1, &QAction::triggered, this, &TMainForm::TimedBackup1Click);
    auto* terminalWidget = new ::TerminalScreen(ui->TerminalScreen);
    ui->TerminalLayout->addWidget(terminalWidget);
    terminalMode = std::make_unique<TerminalMode>(
        *svc, *configTree, *terminalWidget,
        TerminalHost{ui->ConfigurationScreen, ui->TerminalScreen, ui->TerminalModeItem, this});
    connect(ui->TerminalModeItem, &QAction::triggered, this, [this] { terminalMode->TerminalSelect(); });
    userSettingsFile = deps.portMapFile;
    buildViewMenu();
    programCommand = std::make_unique<ProgramInstrument>(*svc, *configTree, instrumentPicker(), *this, this);
    connect(ui->CommsProgramInstrumentItem, &QAction::triggered, this,
            [this] { programCommand->CommsProgramInstrumentClick(); });

    cancel = new QPushButton(tr("Cancel"), ui->StatusPanel);
    cancel->setAccessibleName(tr("Cancel the operation"));
    cancel->setVisible(false);
    ui->StatusLayout->insertWidget(ui->StatusLayout->indexOf(ui->ProgressBar) + 1, cancel);
    messageTimer.setSingleShot(true);
    messageTimer.setInterval(8000);
    connect(&messageTimer, &QTimer::timeout, this, [this] { setStatusText(QString()); });
    updateTitle();
    platform::PortSource* ports = deps.ports;
    if (!ports) {
        ownPorts = std::make_unique<platform::SystemPortSource>();
        ports = ownPorts.get();
    }
    Form2->setDeviceChoice(&Form0->Comms.port().portMap(), ports, deps.portMapFile);
    linkStatus = new QLabel(ui->StatusPanel);
    linkStatus->setObjectName(QStringLiteral("LinkStatus"));
    linkStatus->setTextFormat(Qt::PlainText);
    linkStatus->setContentsMargins(8, 0, 6, 0);
    ui->StatusLayout->setStretchFactor(ui->StatusText, 1);
    ui->StatusLayout->addWidget(linkStatus);
    connect(&Form0->Comms, &TKovComms::stateChanged, linkStatus,
            [this] { linkStatus->setText(::linkStatusText(Form0->Comms.state())); });

    Timer1.setInterval(2500);
    timerHandler = [this] { Timer1_Time0(); };
    // Queued, so the handler never runs inside Timer1's own event: while that event is handled the
    // timer cannot fire again, and a dialog or error box opened from it would swallow every expiry.
    connect(
        &Timer1, &QTimer::timeout, this, [this] { timerHandler(); }, Qt::QueuedConnection);
    Timer1.start();

    connect(ui->FileExitItem, &QAction::triggered, this, &QWidget::close);
}

TMainForm::~TMainForm() = default;

void TMainForm::buildSplash() {
    splash = new QFrame(ui->ClientArea);
    splash->setObjectName(QStringLiteral("SplashPanel"));
    auto* frame = static_cast<QFrame*>(splash);
    frame->setFrameStyle(QFrame::Panel | QFrame::Raised);
    frame->setLineWidth(2);
    frame->setAutoFillBackground(true);
    QPalette pal = frame->palette();
    pal.setColor(QPalette::Window, Qt::white);
    frame->setPalette(pal);
    auto* layout = new QVBoxLayout(frame);
    layout->addWidget(makeMakerPanel(frame));
    layout->addWidget(boldLine(tr("Kov Part Number: 4871-0093"), 14, frame));
    layout->addWidget(boldLine(tr("V917 Configuration software"), 14, frame));
    layout->addWidget(boldLine(tr("Version 1.01"), 14, frame));
    frame->resize(480, 242);
    frame->raise();
}

QTreeView* TMainForm::View() const {
    return ui->View;
}
QFrame* TMainForm::ConfigurationScreen() const {
    return ui->ConfigurationScreen;
}
QFrame* TMainForm::TerminalScreen() const {
    return ui->TerminalScreen;
}
QProgressBar* TMainForm::ProgressBar() const {
    return ui->ProgressBar;
}
QString TMainForm::statusText() const {
    return ui->StatusText->text();
}
QString TMainForm::linkStatusText() const {
    return linkStatus->text();
}

void TMainForm::configureCommunications() {
    if (!commSettingsCommand->Form2Show() || Form0->Comms.IsOpen())
        return;
    svc->sound.tone(500, 100);
    svc->dialogs.error(this, linkFailureMessage(Form0->Comms.state()));
}

QAction* TMainForm::action(const QString& objectName) const {
    return findChild<QAction*>(objectName);
}

QList<QMenu*> TMainForm::topMenus() const {
    return {ui->MenuFile, ui->MenuEdit, viewMenu, ui->MenuComms, ui->MenuOptions, ui->MenuHelp};
}

void TMainForm::setStatusText(const QString& text) {
    messageTimer.stop();
    ui->StatusText->setText(text);
    ui->StatusPanel->repaint();
}

void TMainForm::setProgressRange(int maximum) {
    // A range of 0 to 0 would show the busy animation; nothing to do is an empty bar.
    ui->ProgressBar->setRange(0, qMax(1, maximum));
    ui->ProgressBar->repaint();
}

void TMainForm::setProgressPosition(int position) {
    ui->ProgressBar->setValue(position);
    ui->ProgressBar->repaint();
}

void TMainForm::setProgressVisible(bool visible) {
    ui->ProgressBar->setVisible(visible);
    if (!visible)
        ui->ProgressBar->setTextVisible(false);
    ui->StatusPanel->repaint();
}

void TMainForm::setProgressText(const QString& text) {
    QString format = text;
    ui->ProgressBar->setFormat(format.replace(QLatin1Char('%'), QStringLiteral("%%")));
    ui->ProgressBar->setTextVisible(!text.isEmpty());
    ui->ProgressBar->repaint();
}

QAbstractButton* TMainForm::cancelButton() {
    return cancel;
}

void TMainForm::showTemporaryMessage(const QString& text) {
    setStatusText(text);
    messageTimer.start();
}

void TMainForm::updateTitle() {
    const QString& file = Form0->Settings.ConfigFileName;
    const bool named = !file.isEmpty() && !namePart(file).contains(QLatin1Char('*'));
    setWindowFilePath(named ? file : QString());
    const QString program = tr("V917 Configuration Software");
    setWindowTitle(named ? namePart(file) + QStringLiteral("[*] - ") + program
                         : program + QStringLiteral("[*]"));
    setWindowModified(fileCommands->isModified());
}

void TMainForm::openFileAtStart(const QString& path) {
    startFile = QFileInfo(path).absoluteFilePath();
}

void TMainForm::closeUnattended() {
    unattended = true;
    close();
}

void TMainForm::showEvent(QShowEvent* event) {
    QMainWindow::showEvent(event);
    if (splash) {
        const QSize area = ui->ClientArea->size();
        splash->move((area.width() - splash->width()) / 2, (area.height() - splash->height()) / 2);
        splash->raise();
    }
    if (!shownOnce) {
        shownOnce = true;
        FormShow();
    }
}

void TMainForm::closeEvent(QCloseEvent* event) {
    if (!unattended && !fileCommands->maybeSave()) {
        event->ignore();
        return;
    }
    SharedSettings& s = Form0->Settings;
    if (s.LoggingActive) {
        s.LoggingActive = false;
        const bool flushed = s.LogFile.flush();
        const QString error = s.LogFile.errorString();
        s.LogFile.close();
        if (!flushed) {
            // The user learns that the end of the log is missing before the program goes away.
            svc->dialogs.error(this, error);
            event->ignore();
            return;
        }
    }
    QMainWindow::closeEvent(event);
}

void TMainForm::FormShow() {
    Form0->InitialiseVariables(exeFolder);
    updateTitle();
}

void TMainForm::Timer1_Time0() {
    Timer1.setInterval(18'000'000);
    timerHandler = [this] { Timer1_Time1(); };
    if (splash) {
        splash->hide();
        splash->setEnabled(false);
    }
    if (!startFile.isEmpty()) {
        enableMenus();
        fileCommands->openFile(startFile);
        commSettingsCommand->Form2Show();
        return;
    }
    const int choice = showWelcome ? showWelcome() : 0;
    enableMenus();
    if (actOnWelcome && choice)
        actOnWelcome(choice);
}

void TMainForm::buildViewMenu() {
    viewMenu = new QMenu(tr("&View"), ui->MainMenu);
    viewMenu->setObjectName(QStringLiteral("MenuView"));
    viewMenu->setEnabled(false);
    ui->MainMenu->insertMenu(ui->MenuComms->menuAction(), viewMenu);
    viewMenu->menuAction()->setEnabled(false);
    const auto item = [this](const char* name, const QString& text, bool checkable) {
        QAction* a = viewMenu->addAction(text);
        a->setObjectName(QLatin1String(name));
        a->setCheckable(checkable);
        a->setProperty("helpContext", 4005);
        return a;
    };
    QAction* stampLog = item("TimeStampEachLineItem", tr("&Time stamp each line"), true);
    viewMenu->addSeparator();
    QAction* showStamps = item("ShowTimeStampsItem", tr("Show time &stamps"), true);
    QAction* hex = item("HexViewItem", tr("&Hex view"), true);
    QAction* echo = item("EchoSentLinesItem", tr("&Echo sent lines"), true);
    viewMenu->addSeparator();
    QAction* record = item("RecordSessionItem", tr("&Record Session..."), true);
    QAction* save = item("SaveReceiveWindowItem", tr("Save Receive &Window As..."), false);

    const TerminalOptions remembered = loadTerminalOptions(userSettingsFile);
    stampLog->setChecked(remembered.timeStampLog);
    showStamps->setChecked(remembered.showTimeStamps);
    hex->setChecked(remembered.hexView);
    echo->setChecked(remembered.echoSent);
    terminalMode->setOptions(remembered);
    const auto apply = [this, stampLog, showStamps, hex, echo] {
        TerminalOptions o;
        o.timeStampLog = stampLog->isChecked();
        o.showTimeStamps = showStamps->isChecked();
        o.hexView = hex->isChecked();
        o.echoSent = echo->isChecked();
        terminalMode->setOptions(o);
        saveTerminalOptions(userSettingsFile, o);
    };
    for (QAction* a : {stampLog, showStamps, hex, echo})
        connect(a, &QAction::triggered, this, apply);
    connect(record, &QAction::triggered, this, [this, record] {
        terminalMode->RecordSessionClick();
        record->setChecked(terminalMode->isRecording()); // a cancelled dialog leaves it as it was
    });
    terminalMode->onRecordingChanged = [record](bool on) {
        record->setChecked(on);
        record->setText(on ? tr("Stop &Recording Session") : tr("&Record Session..."));
    };
    connect(save, &QAction::triggered, this, [this] { terminalMode->SaveReceiveWindowAsClick(); });
}

InstrumentPicker& TMainForm::instrumentPicker() {
    return *Form5;
}

void TMainForm::Form1Show() {
    Form1->exec();
}

void TMainForm::HelpContents() {
    help->showContents();
}

void TMainForm::TimedBackup1Click() {
    QtBackupTimer timer(Timer1);
    ::TimedBackup1Click(*Form7, Form0->Settings, timer);
}

void TMainForm::Timer1_Time1() {
    svc->sound.tone(1000, 250);
    if (!Form0->Settings.ConfigFileName.isEmpty() && writeBackup)
        writeBackup();
}

void TMainForm::enableMenus() {
    for (QMenu* m : topMenus())
        m->setEnabled(true);
    // The menu bar shows the menus' own actions; keep them in step.
    for (QMenu* m : topMenus())
        m->menuAction()->setEnabled(true);
}
