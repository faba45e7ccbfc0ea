// Takes the README's pictures from the real program: the main window with a configuration, the
// terminal talking to the simulated instruments, each wizard page and the main dialogs.
//   screenshot_tour OUTPUT_FOLDER      (run by tools/screenshots.sh under Xvfb)
#include "ConfigFile.h"
#include "ConfigTree.h"
#include "Dialogs.h"
#include "Main.h"
#include "ModalHelper.h"
#include "SerialPort.h"
#include "SimOptions.h"
#include "SimPtyServer.h"
#include "Sound.h"

#include <QAbstractButton>
#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QMenu>
#include <QPlainTextEdit>
#include <QTreeView>

#include <cstdio>

namespace {

QString outDir;
int failures = 0;

void save(QWidget* w, const QString& name) {
    QApplication::processEvents();
    const QString path = outDir + "/" + name + ".png";
    if (!w->grab().save(path)) {
        std::fprintf(stderr, "cannot write %s\n", qPrintable(path));
        ++failures;
        return;
    }
    std::printf("%s\n", qPrintable(path));
}

void settle(int ms) {
    QElapsedTimer t;
    t.start();
    while (t.elapsed() < ms)
        QApplication::processEvents(QEventLoop::AllEvents, 20);
}

void click(QWidget* parent, const char* name) {
    if (auto* b = parent->findChild<QAbstractButton*>(QString::fromLatin1(name)))
        b->click();
    else
        std::fprintf(stderr, "no button %s\n", name);
}

const char kConfiguration[] = "Communication Settings\r\n"
                              "\tCOM1,RS232,9600\r\n"
                              "\tCommand Prefix,#\r\n"
                              "\tData Separator,Tab\r\n"
                              "Instrument Address 05 (917 Version 1.01)\r\n"
                              "\tChannel Configuration\r\n"
                              "\t\tSET CHANNEL,001A,ON,OFF,10,0,0,30,100\r\n"
                              "\t\tSET CHANNEL,001B,ON,ON,2.5,0,5,21,25\r\n"
                              "\t\tSET CHANNEL,002A,ON,OFF,0.5,-2,0,13,5.000\r\n"
                              "\tData Logging Parameters\r\n"
                              "\t\tSET HYSTERESIS,0.5\r\n"
                              "\t\tSET LOGSPEC,2,1,ON,OFF,COMM,ASCII,ON,OFF\r\n"
                              "\t\tSET PASS,1,1,0,IMM,,,,BURST,10,,\r\n"
                              "\t\tSET PASS,2,60,0,LEVEL,001A,>,50,DURATION,3600,,\r\n";

} // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    outDir = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral(".");
    QDir().mkpath(outDir);

    QString error;
    auto demo = sim::startDemoServer(&error);
    if (!demo) {
        std::fprintf(stderr, "no simulated network: %s\n", qPrintable(error));
        return 1;
    }
    platform::PortMap map;
    map.setDevice("COM1", demo->slavePath());
    platform::QtDialogService dialogs;
    platform::SilentSound sound;
    MainFormDeps deps;
    deps.port = std::make_unique<platform::QtSerialPort>(map);
    deps.dialogs = &dialogs;
    deps.sound = &sound;
    TMainForm w(std::move(deps));
    w.show();
    settle(300);
    save(&w, "splash");

    // The welcome dialog as start-up shows it; closed by its close box, which changes nothing here.
    whenModalTitled("Welcome to the 917 Configuration Software", [](QWidget* d) {
        settle(200);
        save(d, "welcome");
        d->close();
    });
    w.showWelcome();
    whenModalTitled("About Box", [](QWidget* d) {
        settle(200);
        save(d, "about");
        d->close();
    });
    w.action("AboutItem")->trigger();

    // Past the splash without the welcome dialog, with a configuration loaded.
    w.Timer1.stop();
    w.SplashPanel()->hide();
    for (QMenu* m : w.topMenus())
        m->setEnabled(true);
    w.tree().clear();
    parseConfig(w.tree(), QByteArray(kConfiguration));
    takeLinkSettings(w.tree(), w.form0().Settings);
    w.View()->expandAll();
    settle(200);
    save(&w, "main-window");

    // The wizard, one page after the other, then cancelled.
    whenModalNamed("Form5", [](QWidget* choice) {
        whenModalNamed("TForm6", [](QWidget* wizard) {
            settle(200);
            save(wizard, "wizard-channel");
            click(wizard, "Button1e");
            settle(200);
            save(wizard, "wizard-logging");
            click(wizard, "Button2b");
            settle(200);
            save(wizard, "wizard-stage");
            click(wizard, "Button3b");
            settle(200);
            save(wizard, "wizard-stage-2");
            click(wizard, "Button3e");
        });
        save(choice, "instrument-choice");
        click(choice, "BitBtn1");
    });
    w.action("Modify917")->trigger();

    whenModalTitled("Configure Host Computer Serial Communication Settings", [](QWidget* d) {
        settle(100);
        save(d, "link-settings");
        click(d, "Button2");
    });
    w.action("CommsConfigureItem")->trigger();

    whenModalTitled("Add a new instrument", [](QWidget* d) {
        settle(100);
        save(d, "add-instrument");
        for (QAbstractButton* b : d->findChildren<QAbstractButton*>())
            if (b->text() == "Cancel")
                b->click();
    });
    w.action("EditAddItem")->trigger();

    // The terminal talking to the simulated instrument at 05.
    w.action("TerminalModeItem")->trigger();
    auto* tx = w.findChild<QPlainTextEdit*>("TermTX");
    tx->setFocus();
    for (const char* line : {"#05 SYS", "#05 SCAN"}) {
        tx->moveCursor(QTextCursor::End);
        tx->insertPlainText(QString::fromLatin1(line));
        QKeyEvent press(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier, "\r");
        QApplication::sendEvent(tx, &press);
        settle(600);
    }
    click(&w, "TerminalScan");
    settle(800);
    save(&w, "terminal");
    // The same bytes in the hex view, with the lines sent echoed and time-stamped in the text view.
    w.action("HexViewItem")->trigger();
    settle(300);
    save(&w, "terminal-hex");
    w.action("HexViewItem")->trigger();
    w.action("ShowTimeStampsItem")->trigger();
    w.action("EchoSentLinesItem")->trigger();
    click(&w, "TerminalScan");
    settle(800);
    save(&w, "terminal-options");
    w.action("ShowTimeStampsItem")->trigger();
    w.action("EchoSentLinesItem")->trigger();

    w.Timer1.stop();
    demo->stop();
    return failures ? 1 : 0;
}
