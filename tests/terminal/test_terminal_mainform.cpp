#include "FakeDialogs.h"
#include "FakeMainFormDeps.h"
#include "FakeSerialPort.h"
#include "Main.h"
#include "ModalHelper.h"
#include "Positional.h"
#include "Sound.h"
#include "TerminalMode.h"

#include "ConfigTree.h"

#include <QAction>
#include <QComboBox>
#include <QFileInfo>
#include <QFrame>
#include <QMenu>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QTemporaryDir>
#include <QtTest>

// Terminal mode, data logging and programming as the main window wires them.
class TestTerminalMainForm : public QObject {
    Q_OBJECT
    FakeClock clock;
    FakeDialogs dialogs;
    platform::SilentSound sound;
    QTemporaryDir dir;
    FakeSerialPort* port = nullptr;

    std::unique_ptr<TMainForm> make() {
        MainFormDeps deps = fakeMainFormDeps(clock, dialogs, sound, dir.path(), &port);
        auto w = std::make_unique<TMainForm>(std::move(deps));
        w->Timer1.stop(); // no welcome dialog here
        w->show();
        if (!QTest::qWaitForWindowActive(w.get()))
            return nullptr;
        return w;
    }

    void arrive(TMainForm& w, const QByteArray& bytes) {
        port->feed(bytes);
        w.form0().Comms.PollReceive();
        w.terminal().receiveWindow().flush();
    }

private slots:
    void init() {
        dialogs.errors.clear();
        dialogs.saveAnswers.clear();
    }

    void theMenuItemSwitchesTheScreens() {
        auto w = make();
        QVERIFY(w);
        QAction* item = w->action("TerminalModeItem");
        auto* rx = w->findChild<QPlainTextEdit*>("TermRX");
        QVERIFY(rx && rx->parentWidget() && w->TerminalScreen()->isAncestorOf(rx));
        item->trigger();
        QVERIFY(item->isChecked());
        QVERIFY(w->TerminalScreen()->isVisible());
        QVERIFY(!w->ConfigurationScreen()->isVisible());
        arrive(*w, "917 Version 1.01\r\n");
        QCOMPARE(rx->toPlainText(), QString("917 Version 1.01\n"));
        item->trigger();
        QVERIFY(!item->isChecked());
        QVERIFY(!w->TerminalScreen()->isVisible());
        QVERIFY(w->ConfigurationScreen()->isVisible());
    }

    void closingTheWindowClosesTheLog_data() {
        QTest::addColumn<bool>("byExit");
        QTest::newRow("close box") << false;
        QTest::newRow("E&xit") << true;
    }
    void closingTheWindowClosesTheLog() {
        QFETCH(bool, byExit);
        auto w = make();
        QVERIFY(w);
        w->tree().appendRoot(positional::instrumentNodeText("07", "917 Version 1.01"));
        w->action("TerminalModeItem")->trigger();
        const QString path = dir.filePath(QString("LOG%1.TXT").arg(byExit));
        dialogs.saveAnswers = {path};
        QTest::mouseClick(w->findChild<QPushButton*>("TerminalLog"), Qt::LeftButton);
        QVERIFY(w->form0().Settings.LoggingActive);
        QCOMPARE(port->written, QByteArray("#07 RUN\r\n"));
        arrive(*w, "1.5\t2.5\r\n3.5\t");
        if (byExit)
            w->action("FileExitItem")->trigger();
        else
            w->close();
        QVERIFY(!w->isVisible());
        QVERIFY(!w->form0().Settings.LoggingActive);
        QVERIFY(!w->form0().Settings.LogFile.isOpen());
        QFile f(path);
        QVERIFY(f.open(QIODevice::ReadOnly));
        QCOMPARE(f.readAll(), QByteArray("1.5\t2.5\r\n"));
        QVERIFY(dialogs.errors.isEmpty());
    }

    // The View menu drives terminal mode's options, remembers them per user for the next start,
    // and saves what the receive window shows.
    void theViewMenu() {
        const QString settings = dir.filePath("ports.ini");
        QFile::remove(settings);
        const auto makeRemembering = [&] {
            MainFormDeps deps = fakeMainFormDeps(clock, dialogs, sound, dir.path(), &port);
            deps.portMapFile = settings;
            auto w = std::make_unique<TMainForm>(std::move(deps));
            w->Timer1.stop();
            w->show();
            return w;
        };
        {
            auto w = makeRemembering();
            QVERIFY(QTest::qWaitForWindowActive(w.get()));
            QVERIFY(w->topMenus().contains(w->findChild<QMenu*>("MenuView")));
            for (const char* name :
                 {"TimeStampEachLineItem", "ShowTimeStampsItem", "HexViewItem", "EchoSentLinesItem"})
                QVERIFY2(!w->action(name)->isChecked(), name); // off until chosen
            w->action("TerminalModeItem")->trigger();
            w->action("EchoSentLinesItem")->trigger();
            auto* tx = w->findChild<QPlainTextEdit*>("TermTX");
            QTest::keyClicks(tx, "#01 SYS");
            QTest::keyClick(tx, Qt::Key_Return);
            arrive(*w, "917 Version 1.01\r\nnext");
            dialogs.saveAnswers = {dir.filePath("WINDOW.TXT")};
            w->action("SaveReceiveWindowItem")->trigger();
            QFile saved(dir.filePath("WINDOW.TXT"));
            QVERIFY(saved.open(QIODevice::ReadOnly));
            QCOMPARE(saved.readAll(), QByteArray("> #01 SYS\r\n917 Version 1.01\r\nnext\r\n"));

            QAction* record = w->action("RecordSessionItem");
            dialogs.saveAnswers = {};
            record->trigger(); // cancelled
            QVERIFY(!record->isChecked());
            dialogs.saveAnswers = {dir.filePath("missing/REC.BIN")};
            record->trigger();
            QVERIFY(!record->isChecked());
            QCOMPARE(dialogs.errors.size(), 1);
            dialogs.saveAnswers = {dir.filePath("REC.BIN")};
            record->trigger();
            QVERIFY(record->isChecked());
            QVERIFY(w->terminal().isRecording());
            w->action("HexViewItem")->trigger();
            QVERIFY(w->findChild<QWidget*>("TermHex")->isVisible());
            QVERIFY(!w->findChild<QWidget*>("TermRX")->isVisible());
        }
        // The recording ended with the window; the choices are there at the next start.
        QCOMPARE(QFileInfo(dir.filePath("REC.BIN")).size(), 0);
        auto w = makeRemembering();
        QVERIFY(w->action("EchoSentLinesItem")->isChecked());
        QVERIFY(w->action("HexViewItem")->isChecked());
        QVERIFY(!w->action("TimeStampEachLineItem")->isChecked());
        QVERIFY(!w->action("RecordSessionItem")->isChecked());
        QCOMPARE(w->terminal().options().hexView, true);
    }

    void programInstrumentThroughTheChoiceDialog() {
        auto w = make();
        QVERIFY(w);
        ConfigNode* node = w->tree().appendRoot(positional::instrumentNodeText("01", "917 Version 1.01"));
        w->tree().appendChild(w->tree().appendChild(node, "Channel Configuration"),
                              "SET CHANNEL,001A,OFF,OFF,1,0,0,23,");
        w->tree().appendChild(w->tree().appendChild(node, "Data Logging Parameters"), "SET HYSTERISES,0");
        QStringList during;
        port->responder = [&](const QByteArray& bytes) {
            during << QString("%1|%2|%3/%4")
                          .arg(w->statusText())
                          .arg(w->ProgressBar()->isVisible())
                          .arg(w->ProgressBar()->value())
                          .arg(w->ProgressBar()->maximum());
            port->feed("OK\r\n");
            Q_UNUSED(bytes);
        };
        QString caption;
        whenModal([&](QWidget* dialog) {
            caption = dialog->windowTitle();
            dialog->findChild<QPushButton*>("BitBtn1")->click();
        });
        w->action("CommsProgramInstrumentItem")->trigger();
        QCOMPARE(caption, QString("Program Instrument"));
        QCOMPARE(port->written,
                 QByteArray("#01 SET CHANNEL,001A,OFF,OFF,1,0,0,23\r\n#01 SET HYSTERISES,0\r\n#01 SAVE\r\n"));
        const QString busy = "Please Wait - Programming Instrument|1|";
        QCOMPARE(during, QStringList({busy + "1/2", busy + "2/2", busy + "2/2"}));
        QCOMPARE(w->statusText(),
                 QString("Instrument 01 (917 Version 1.01) programmed: 2 lines sent and saved"));
        QVERIFY(!w->ProgressBar()->isVisible());
        QVERIFY(dialogs.errors.isEmpty());
    }
};

QTEST_MAIN(TestTerminalMainForm)
#include "test_terminal_mainform.moc"
