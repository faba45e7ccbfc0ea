// Whole user sessions in the real main window, through menus, keys and dialogs, against simulated
// instruments on a pseudo-terminal. The sessions build on each other and run in order.
#include "ConfigFile.h"
#include "ConfigTree.h"
#include "FakeDialogs.h"
#include "FileCommands.h"
#include "Main.h"
#include "ModalHelper.h"
#include "Positional.h"
#include "ProgramReports.h"
#include "SerialPort.h"
#include "SimNetworkFixture.h"
#include "Sound.h"

#include <QAbstractButton>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPlainTextEdit>
#include <QPrinter>
#include <QProcess>
#include <QPushButton>
#include <QSpinBox>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTreeView>
#include <QtTest>

namespace {

template <typename T> T* child(QWidget* w, const char* name) {
    T* c = w->findChild<T*>(QString::fromLatin1(name));
    if (!c)
        qWarning("no %s in %s", name, qPrintable(w->objectName()));
    return c;
}

QAbstractButton* buttonWithText(QWidget* w, const QString& text) {
    for (QAbstractButton* b : w->findChildren<QAbstractButton*>())
        if (b->text() == text && b->isVisible())
            return b;
    qWarning("no button %s", qPrintable(text));
    return nullptr;
}

// Focus events reach only the active window, as on a desktop. A dialog that opens as the previous
// one closes may not be active yet on a busy machine: ask until it is.
void activate(QWidget* w) {
    QElapsedTimer t;
    t.start();
    while (QApplication::activeWindow() != w && t.elapsed() < 10000) {
        w->raise();
        w->activateWindow();
        QTest::qWait(20);
    }
    if (QApplication::activeWindow() != w)
        qWarning("%s did not become the active window", qPrintable(w->windowTitle()));
}

void click(QAbstractButton* b) {
    if (b)
        QTest::mouseClick(b, Qt::LeftButton);
}

// Types into a field as a user does: focus by Tab order is not needed, a click puts the caret there.
void typeInto(QWidget* field, const QString& text, bool replace = true) {
    field->setFocus(Qt::MouseFocusReason);
    if (replace)
        QTest::keyClick(field, Qt::Key_A, Qt::ControlModifier);
    QTest::keyClicks(field, text);
}

QByteArray readFile(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

const QByteArray kExpectedFile = "Communication Settings\r\n"
                                 "\tCOM1,RS232,19200\r\n"
                                 "\tCommand Prefix,#\r\n"
                                 "\tData Separator,Tab\r\n"
                                 "Instrument Address 01 (917 Version 1.01)\r\n"
                                 "\tChannel Configuration\r\n"
                                 "\t\tSET CHANNEL,001A,ON,OFF,10,0,0,30,100\r\n"
                                 "\tData Logging Parameters\r\n"
                                 "\t\tSET HYSTERESIS,0\r\n"
                                 "\t\tSET LOGSPEC,3,1,OFF,OFF,COMM,ASCII,ON,OFF\r\n"
                                 "\t\tSET PASS,1,1,0,IMM,,,,BURST,1,,\r\n"
                                 "\t\tSET PASS,2,1,0,IMM,,,,BURST,1,,\r\n"
                                 "\t\tSET PASS,3,1,0,IMM,,,,BURST,1,,\r\n";

} // namespace

class TestScenarios : public QObject {
    Q_OBJECT

    QTemporaryDir dir;
    FakeDialogs dialogs;
    platform::SilentSound sound;
    std::unique_ptr<SimNetworkFixture> net; // one factory-new instrument at 00, 9600 baud
    QString configPath;

    std::unique_ptr<TMainForm> mainWindow(const platform::PortMap& map) {
        MainFormDeps deps;
        deps.port = std::make_unique<platform::QtSerialPort>(map);
        deps.dialogs = &dialogs;
        deps.sound = &sound;
        deps.executableFolder = QCoreApplication::applicationDirPath() + "/";
        auto w = std::make_unique<TMainForm>(std::move(deps));
        return w;
    }

    // A main window on screen with the welcome sequence's timer stopped, for sessions that start
    // from the menus; null when the window never showed.
    std::unique_ptr<TMainForm> shownMainWindow(const platform::PortMap& map) {
        auto w = mainWindow(map);
        w->show();
        if (!QTest::qWaitForWindowExposed(w.get()))
            return nullptr;
        w->Timer1.stop();
        return w;
    }

    // Shows the window and lets the start-up timer bring the welcome dialog up at once.
    void start(TMainForm& w) {
        w.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        QVERIFY(w.SplashPanel()->isVisible());
        w.Timer1.start(10);
    }

private slots:
    void initTestCase() {
        QVERIFY(dir.isValid());
        net = std::make_unique<SimNetworkFixture>();
        QVERIFY2(net->ok(), qPrintable(net->error()));
        configPath = dir.filePath("plant.917");
    }

    void newConfigurationFromTheWelcomeDialog() {
        auto w = mainWindow(net->portMap());
        bool menusWereDisabled = false;
        QStringList seen;

        whenModalTitled("Welcome to the 917 Configuration Software", [&](QWidget* d) {
            seen << d->windowTitle();
            menusWereDisabled = !w->topMenus().first()->isEnabled();
            click(buttonWithText(d, "&New Configuration"));
        });
        whenModalTitled("Configure Host Computer Serial Communication Settings", [&](QWidget* d) {
            seen << d->windowTitle();
            child<QComboBox>(d, "Edit3")->setCurrentIndex(5); // 19200
            click(child<QAbstractButton>(d, "Button1"));
        });
        whenModalTitled("Add a new instrument", [&](QWidget* d) {
            seen << d->windowTitle();
            activate(d);
            // Present settings 00, RS232, 9600 are the defaults; the new address is 01.
            typeInto(child<QLineEdit>(d, "Edit4"), "01");
            click(buttonWithText(d, "Find Instrument"));
            click(buttonWithText(d, "OK"));
            whenModalTitled("Modify 917 Configuration", [&](QWidget* wiz) {
                seen << wiz->windowTitle();
                activate(wiz);
                QLineEdit* fullScale = child<QLineEdit>(wiz, "Edit1b");
                typeInto(fullScale, "100");
                QTest::keyClick(fullScale, Qt::Key_Tab);
                click(child<QAbstractButton>(wiz, "Button1e"));
                QSpinBox* passes = child<QSpinBox>(wiz, "Edit2b");
                typeInto(passes, "3");
                QTest::keyClick(passes, Qt::Key_Tab);
                click(child<QAbstractButton>(wiz, "Button2b"));
                click(child<QAbstractButton>(wiz, "Button3b"));
                click(child<QAbstractButton>(wiz, "Button3b"));
                QAbstractButton* finish = child<QAbstractButton>(wiz, "Button3d");
                seen << finish->text();
                click(finish);
                // The sequence comes back to the add dialog; this time it is cancelled.
                whenModalTitled("Add a new instrument", [&](QWidget* again) {
                    seen << "again";
                    click(buttonWithText(again, "Cancel"));
                });
            });
        });
        dialogs.saveAnswers.push_back(configPath);

        start(*w);
        QTRY_VERIFY_WITH_TIMEOUT(QFileInfo::exists(configPath), 60000);
        QCOMPARE(seen,
                 QStringList({"Welcome to the 917 Configuration Software",
                              "Configure Host Computer Serial Communication Settings", "Add a new instrument",
                              "Modify 917 Configuration", "Update and step to next instrument", "again"}));
        QVERIFY(menusWereDisabled);
        QCOMPARE(dialogs.errors, QStringList());
        QCOMPARE(dialogs.infos, QStringList({"Instrument '#00 917 Version 1.01' has been located"}));
        QCOMPARE(readFile(configPath), kExpectedFile);
        QCOMPARE(w->form0().Settings.ConfigFileName, configPath);

        // On the wire: found at 9600, set up at its present settings, saved at the network's.
        const QList<QByteArray> lines = net->receivedLines();
        QCOMPARE(lines, QList<QByteArray>({"#00 SYS\r\n", "#00 SET COMMAND PREFIX,#\r\n",
                                           "#00 SET DELIMITERS,@09@00,@13@10\r\n",
                                           "#00 SET COMMS,01,232,19200,ON\r\n", "#01 SAVE\r\n"}));
        QCOMPARE(net->savedLink(0).address, QByteArray("01"));
        QCOMPARE(net->savedLink(0).baud, 19200);
        for (QMenu* m : w->topMenus())
            QVERIFY(m->isEnabled());
        net->clearTraffic();
    }

    void openAndProgramTheInstrument() {
        auto w = mainWindow(net->portMap());
        dialogs.openAnswers.push_back(configPath);
        QString choiceCaption;
        whenModalTitled("Welcome to the 917 Configuration Software",
                        [&](QWidget* d) { click(buttonWithText(d, "&Load Existing Configuration")); });
        whenModalTitled("Configure Host Computer Serial Communication Settings", [&](QWidget* d) {
            QCOMPARE(child<QComboBox>(d, "Edit3")->currentText(), QString("19200")); // from the file
            click(child<QAbstractButton>(d, "Button1"));
        });
        start(*w);
        QTRY_VERIFY_WITH_TIMEOUT(w->topMenus().first()->isEnabled(), 20000);
        QTRY_VERIFY(!QApplication::activeModalWidget());
        QCOMPARE(serializeConfig(w->tree()), kExpectedFile);
        QCOMPARE(w->form0().Settings.HostComSpeed, 5);

        whenModalTitled("Program Instrument", [&](QWidget* d) {
            choiceCaption = d->windowTitle();
            click(child<QAbstractButton>(d, "BitBtn1"));
        });
        w->action("CommsProgramInstrumentItem")->trigger();
        QTRY_VERIFY(!QApplication::activeModalWidget());
        QCOMPARE(choiceCaption, QString("Program Instrument"));
        QCOMPARE(dialogs.errors, QStringList());
        QCOMPARE(net->receivedLines(),
                 QList<QByteArray>({"#01 SET CHANNEL,001A,ON,OFF,10,0,0,30\r\n", "#01 SET HYSTERESIS,0\r\n",
                                    "#01 SET LOGSPEC,3,1,OFF,OFF,COMM,ASCII,ON,OFF\r\n",
                                    "#01 SET PASS,1,1,0,IMM,,,,BURST,1,,\r\n",
                                    "#01 SET PASS,2,1,0,IMM,,,,BURST,1,,\r\n",
                                    "#01 SET PASS,3,1,0,IMM,,,,BURST,1,,\r\n", "#01 SAVE\r\n"}));
        // The instrument holds exactly the stored records, and has saved them.
        const QList<QByteArray> saved = net->savedRecords(0);
        QVERIFY2(saved.contains("SET CHANNEL,001A,ON,OFF,10,0,0,30"), qPrintable(saved.join(" | ")));
        QVERIFY(saved.contains("SET LOGSPEC,3,1,OFF,OFF,COMM,ASCII,ON,OFF"));
        QVERIFY(saved.contains("SET PASS,3,1,0,IMM,,,,BURST,1,,"));
        QCOMPARE(w->statusText(),
                 QString("Instrument 01 (917 Version 1.01) programmed: 6 lines sent and saved"));
        // The single command keeps its report too, for the File menu.
        QVERIFY(w->action("FileSaveReportItem")->isEnabled());
        QCOMPARE(w->programReports().report()->lines().last(),
                 QString("Summary: 1 of 1 instruments programmed and saved"));
        net->clearTraffic();
    }

    void fileFromTheCommandLineEditedAndClosed() {
        auto w = mainWindow(net->portMap());
        w->openFileAtStart(configPath);
        // No welcome dialog: the file is opened, then the link settings are offered.
        whenModalTitled("Configure Host Computer Serial Communication Settings",
                        [&](QWidget* d) { click(child<QAbstractButton>(d, "Button1")); });
        start(*w);
        QTRY_VERIFY_WITH_TIMEOUT(w->topMenus().first()->isEnabled(), 20000);
        QTRY_VERIFY(!QApplication::activeModalWidget());
        QCOMPARE(serializeConfig(w->tree()), kExpectedFile);
        QCOMPARE(w->windowTitle(), QString("plant.917[*] - V917 Configuration Software"));
        QVERIFY(!w->isWindowModified());

        // The wizard's write-back leaves the tree as the user arranged it.
        ConfigTree& tree = w->tree();
        QTreeView* view = w->View();
        ConfigNode* instrument = tree.rootAt(1);
        const QModelIndex settings = tree.indexOf(tree.rootAt(0));
        const QModelIndex channels = tree.indexOf(positional::channelGroup(instrument));
        const QModelIndex logging = tree.indexOf(positional::loggingGroup(instrument));
        view->expand(settings);
        view->expand(tree.indexOf(instrument));
        view->expand(logging);
        view->setCurrentIndex(tree.indexOf(positional::loggingGroup(instrument)->child(1)));
        whenModalTitled("Modify 917 Configuration", [&](QWidget* choice) {
            whenModalNamed("TForm6",
                           [&](QWidget* wizard) { click(child<QAbstractButton>(wizard, "Button1d")); });
            click(child<QAbstractButton>(choice, "BitBtn1"));
        });
        w->action("Modify917")->trigger();
        QTRY_VERIFY(!QApplication::activeModalWidget());
        QCOMPARE(w->form0().Settings.LastModalResult, int(mrAbort));
        QVERIFY(view->isExpanded(settings));
        QVERIFY(view->isExpanded(tree.indexOf(instrument)));
        QVERIFY(!view->isExpanded(channels));
        QVERIFY(view->isExpanded(logging));
        QCOMPARE(tree.nodeAt(view->currentIndex())->text,
                 QString("SET LOGSPEC,3,1,OFF,OFF,COMM,ASCII,ON,OFF"));
        QVERIFY(!w->isWindowModified()); // written back unchanged

        whenModalTitled("Delete Instrument Configuration",
                        [&](QWidget* d) { click(child<QAbstractButton>(d, "BitBtn1")); });
        w->action("EditDeleteItem")->trigger();
        QVERIFY(w->isWindowModified());
        const QByteArray edited = serializeConfig(tree);

        // Cancel leaves everything as it was, for the close box and for New alike.
        dialogs.saveQuestions.clear();
        dialogs.saveChangesAnswer = platform::SaveChoice::Cancel;
        QVERIFY(!w->close());
        w->action("FileNewItem")->trigger();
        QCOMPARE(dialogs.saveQuestions.size(), 2);
        QVERIFY(w->isVisible());
        QCOMPARE(serializeConfig(tree), edited);
        // Save whose dialog is cancelled wrote nothing: still open.
        dialogs.saveChangesAnswer = platform::SaveChoice::Save;
        QVERIFY(!w->close());
        const QString savedPath = dir.filePath("edited.917");
        dialogs.saveAnswers.push_back(savedPath);
        QVERIFY(w->close());
        QCOMPARE(readFile(savedPath), edited);
        QCOMPARE(dialogs.saveQuestions.size(), 4);
        dialogs.saveChangesAnswer = platform::SaveChoice::Discard;
    }

    void longOperationsStopWhenAsked() {
        SimNetworkFixture two({SimNetworkFixture::instrument("01"), SimNetworkFixture::instrument("03")});
        QVERIFY2(two.ok(), qPrintable(two.error()));
        auto w = shownMainWindow(two.portMap());
        QVERIFY(w);

        // Past the two instruments a digit and Escape are typed: Escape stops the scan after the
        // address being asked, and neither key is left over to act once the scan is done.
        QString results, label, typed;
        bool stillOpen = false;
        whenModalTitled("Scan Network for Connected Instruments", [&](QWidget* d) {
            activate(d);
            QLineEdit* last = child<QLineEdit>(d, "Edit1");
            typeInto(last, "FF");
            QTimer keys;
            QObject::connect(&keys, &QTimer::timeout, d, [&] {
                if (two.receivedLines().size() < 6)
                    return;
                keys.stop();
                QCoreApplication::postEvent(last,
                                            new QKeyEvent(QEvent::KeyPress, Qt::Key_7, Qt::NoModifier, "7"));
                QCoreApplication::postEvent(d,
                                            new QKeyEvent(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier));
            });
            keys.start(0);
            click(buttonWithText(d, "Scan Network"));
            QCoreApplication::processEvents();
            results = child<QPlainTextEdit>(d, "Memo1")->toPlainText();
            label = child<QLabel>(d, "Label2")->text();
            typed = last->text();
            stillOpen = d->isVisible();
            click(buttonWithText(d, "OK"));
        });
        w->action("ScanNetworkItem")->trigger();
        QCOMPARE(
            results,
            QString("Instrument Address 01 (917 Version 1.01)\nInstrument Address 03 (917 Version 1.01)"));
        const int asked = int(two.receivedLines().size());
        QVERIFY2(asked < 256, qPrintable(label));
        const QString stoppedAt = QString::number(asked - 1, 16).toUpper().rightJustified(2, '0');
        QCOMPARE(label, "Scan stopped after address " + stoppedAt +
                            " of FF - the following instruments have been found");
        QCOMPARE(typed, QString("FF"));
        QVERIFY(stillOpen);
        QCOMPARE(w->form0().Comms.OutputTimeout(), quint16(4000));

        // Programming stopped by its Cancel button: no SAVE, and the user is told what that leaves.
        two.clearTraffic();
        dialogs.infos.clear();
        w->files().openFile(configPath); // the link stays at the network's 9600 baud
        QTimer stopper;
        QObject::connect(&stopper, &QTimer::timeout, w.get(), [&] {
            if (w->cancelButton()->isVisible()) {
                stopper.stop();
                click(w->cancelButton());
            }
        });
        stopper.start(0);
        whenModalTitled("Program Instrument",
                        [&](QWidget* d) { click(child<QAbstractButton>(d, "BitBtn1")); });
        w->action("CommsProgramInstrumentItem")->trigger();
        const QList<QByteArray> sent = two.receivedLines();
        QVERIFY(!sent.isEmpty());
        QVERIFY(sent.size() < 7);
        QVERIFY(!sent.contains("#01 SAVE\r\n"));
        QCOMPARE(dialogs.infos.size(), 1);
        QVERIFY2(dialogs.infos.first().contains("partial, unsaved configuration"),
                 qPrintable(dialogs.infos.first()));
        QVERIFY(!w->cancelButton()->isVisible());
        QCOMPARE(w->statusText(), QString());
    }

    void programAllWithOneSilentInstrumentThenSaveTheReport() {
        // Three instruments; 02 never answers. The run carries on past it, and the saved report
        // matches, line by line, what the instruments received.
        sim::InstrumentConfig silent = SimNetworkFixture::instrument("02");
        silent.faults.silent = true;
        SimNetworkFixture three(
            {SimNetworkFixture::instrument("01"), silent, SimNetworkFixture::instrument("03")});
        QVERIFY2(three.ok(), qPrintable(three.error()));
        QByteArray file = "Communication Settings\r\n\tCOM1,RS232,9600\r\n\tCommand Prefix,#\r\n"
                          "\tData Separator,Tab\r\n";
        for (const char* address : {"01", "02", "03"})
            file +=
                QByteArray("Instrument Address ") + address +
                " (917 Version 1.01)\r\n\tChannel Configuration\r\n\t\tSET "
                "CHANNEL,001A,ON,OFF,10,0,0,30,100\r\n"
                "\tData Logging Parameters\r\n\t\tSET HYSTERESIS,0\r\n"
                "\t\tSET LOGSPEC,1,1,OFF,OFF,COMM,ASCII,ON,OFF\r\n\t\tSET PASS,1,1,0,IMM,,,,BURST,1,,\r\n";
        const QString plant = dir.filePath("three.917");
        QFile out(plant);
        QVERIFY(out.open(QIODevice::WriteOnly));
        out.write(file);
        out.close();
        auto w = shownMainWindow(three.portMap());
        QVERIFY(w);
        QVERIFY(!w->action("CommsProgramAllItem")->isEnabled());
        QVERIFY(!w->action("FileSaveReportItem")->isEnabled());
        w->files().openFile(plant);
        QVERIFY(w->action("CommsProgramAllItem")->isEnabled());
        dialogs.errors.clear();
        const int tonesBefore = sound.tones;

        QStringList statuses;
        QString summary;
        whenModalTitled("Program All Instruments", [&](QWidget* d) {
            activate(d);
            QTableWidget* table = child<QTableWidget>(d, "Instruments");
            QCOMPARE(table->rowCount(), 3);
            click(buttonWithText(d, "&Start"));
            for (int row = 0; row < table->rowCount(); ++row)
                statuses << table->item(row, 3)->text();
            summary = child<QLabel>(d, "Summary")->text();
            QTest::keyClick(d, Qt::Key_Escape);
        });
        w->action("CommsProgramAllItem")->trigger();
        QCOMPARE(statuses, QStringList({"saved", "failed at line 1: no reply", "saved"}));
        QCOMPARE(summary, QString("2 of 3 instruments programmed and saved; 02 failed at line 1 (no reply)"));
        QCOMPARE(w->statusText(), summary);
        QCOMPARE(sound.tones, tonesBefore + 1);
        QCOMPARE(dialogs.errors, QStringList());

        const QString reportPath = dir.filePath("three-report.TXT");
        dialogs.saveAnswers.push_back(reportPath);
        QVERIFY(w->action("FileSaveReportItem")->isEnabled());
        w->action("FileSaveReportItem")->trigger();
        const QByteArray report = readFile(reportPath);
        QVERIFY(report.endsWith("\r\n"));
        QList<QByteArray> lines = report.split('\n');
        lines.removeLast();
        QList<QByteArray> received = three.receivedLines();
        QStringList results;
        int exchanges = 0;
        for (QByteArray line : lines) {
            QVERIFY2(line.endsWith('\r'), line.constData());
            line.chop(1);
            const QList<QByteArray> columns = line.split('\t');
            if (line.startsWith("Result: "))
                results << QString::fromLatin1(line);
            if (columns.size() != 4)
                continue;
            // Milliseconds since the start, the line as the instrument got it, its reply, the round trip.
            QVERIFY2(exchanges < received.size(), line.constData());
            QCOMPARE(columns[1] + "\r\n", received[exchanges]);
            QCOMPARE(columns[2], columns[1].startsWith("#02") ? QByteArray("(no reply)") : QByteArray("OK"));
            const int roundTrip = columns[3].toInt();
            if (columns[1].startsWith("#02"))
                QVERIFY(roundTrip >= 3900);
            ++exchanges;
        }
        QCOMPARE(exchanges, received.size());
        QCOMPARE(exchanges, 11); // 5 each to 01 and 03, the first to 02
        QCOMPARE(results, QStringList({"Result: 01 saved", "Result: 02 failed at line 1: no reply",
                                       "Result: 03 saved"}));
        QCOMPARE(lines.last(), "Summary: " + summary.toLatin1() + "\r");
        QVERIFY(lines.contains("Configuration file: " + plant.toLatin1() + "\r"));
        QVERIFY(lines.contains("File on disk: the same bytes\r"));

        // Printed through the File menu's printing path: the same lines, the TAB columns spaced.
        if (!QStandardPaths::findExecutable("pdftotext").isEmpty()) {
            const QString pdf = dir.filePath("report.pdf");
            w->files().printer().setOutputFormat(QPrinter::PdfFormat);
            w->files().printer().setOutputFileName(pdf);
            w->action("FilePrintReportItem")->trigger();
            QCOMPARE(w->statusText(), "Programming report printed to the file " + pdf);
            QProcess p;
            p.start("pdftotext", {"-layout", pdf, "-"});
            QVERIFY(p.waitForFinished(20000));
            const QString printed = QString::fromLatin1(p.readAllStandardOutput());
            QVERIFY2(printed.contains("Result: 02 failed at line 1: no reply"), qPrintable(printed));
            QVERIFY(printed.contains("Summary: " + summary));
            QVERIFY(printed.contains("#02 SET CHANNEL,001A,ON,OFF,10,0,0,30"));
        }
    }

    void terminalSessionWithDataLog() {
        auto w = shownMainWindow(net->portMap());
        QVERIFY(w);
        dialogs.openAnswers.push_back(configPath);
        w->action("FileOpenItem")->trigger();
        // Confirming the link settings opens the link at the file's 19200 baud.
        whenModalTitled("Configure Host Computer Serial Communication Settings",
                        [&](QWidget* d) { click(child<QAbstractButton>(d, "Button1")); });
        w->action("CommsConfigureItem")->trigger();

        w->action("TerminalModeItem")->trigger();
        QVERIFY(w->TerminalScreen()->isVisible());
        activate(w.get());
        auto* tx = child<QPlainTextEdit>(w.get(), "TermTX");
        auto* rx = child<QPlainTextEdit>(w.get(), "TermRX");
        tx->setFocus();
        QTest::keyClicks(tx, "#01 SYS");
        QTest::keyClick(tx, Qt::Key_Return);
        QTRY_VERIFY_WITH_TIMEOUT(rx->toPlainText().contains("917 Version 1.01"), 5000);

        click(child<QAbstractButton>(w.get(), "TerminalScan"));
        QTRY_VERIFY_WITH_TIMEOUT(rx->toPlainText().split('\n').size() >= 3, 5000);
        QVERIFY(tx->toPlainText().contains("#01 SCAN"));

        const QString logPath = dir.filePath("readings.TXT");
        dialogs.saveAnswers.push_back(logPath);
        auto* log = child<QAbstractButton>(w.get(), "TerminalLog");
        click(log);
        QCOMPARE(log->text(), QString("End"));
        QCOMPARE(dialogs.saveAsked.last().filters.at(dialogs.saveAsked.last().filterIndex),
                 QString("Data File (*.TXT)"));
        // RUN sends a line of readings every second until END.
        QTRY_VERIFY_WITH_TIMEOUT(readFile(logPath).count("\r\n") >= 2, 10000);
        click(log);
        QCOMPARE(log->text(), QString("Log"));
        QVERIFY(tx->toPlainText().contains("#01 RUN"));
        QVERIFY(tx->toPlainText().contains("#01 END"));
        const QList<QByteArray> records = readFile(logPath).split('\n');
        QVERIFY(records.size() >= 3);
        for (const QByteArray& r : records.mid(0, records.size() - 1)) {
            QVERIFY2(r.endsWith('\r'), r.constData());
            QVERIFY2(r.size() > 1, "a record of readings");
        }
        w->action("TerminalModeItem")->trigger();
        QVERIFY(w->ConfigurationScreen()->isVisible());
    }

    void scanFindsTheAnsweringAddresses() {
        SimNetworkFixture two({SimNetworkFixture::instrument("01"), SimNetworkFixture::instrument("03")});
        QVERIFY2(two.ok(), qPrintable(two.error()));
        auto w = shownMainWindow(two.portMap());
        QVERIFY(w);
        QString results;
        whenModalTitled("Scan Network for Connected Instruments", [&](QWidget* d) {
            activate(d);
            typeInto(child<QLineEdit>(d, "Edit1"), "05");
            click(buttonWithText(d, "Scan Network"));
            results = child<QPlainTextEdit>(d, "Memo1")->toPlainText();
            click(buttonWithText(d, "OK"));
        });
        w->action("ScanNetworkItem")->trigger();
        QCOMPARE(
            results,
            QString("Instrument Address 01 (917 Version 1.01)\nInstrument Address 03 (917 Version 1.01)"));
        QCOMPARE(two.receivedLines().size(), 6);
        QCOMPARE(w->form0().Comms.OutputTimeout(), quint16(4000));
    }

    void deletePrintAndTimedBackup() {
        // A configuration with two instruments.
        ConfigTree prepared;
        QVERIFY(parseConfig(prepared, kExpectedFile).ok);
        QByteArray second = kExpectedFile.mid(kExpectedFile.indexOf("Instrument Address 01"));
        second.replace("Instrument Address 01", "Instrument Address 03");
        QVERIFY(parseConfig(prepared, second).ok);
        const QString path = dir.filePath("two.917");
        QVERIFY(writeConfigFile(prepared, path));

        auto w = mainWindow(net->portMap());
        dialogs.openAnswers.push_back(path);
        whenModalTitled("Welcome to the 917 Configuration Software",
                        [&](QWidget* d) { click(buttonWithText(d, "&Load Existing Configuration")); });
        whenModalTitled("Configure Host Computer Serial Communication Settings", [&](QWidget* d) {
            click(child<QAbstractButton>(d, "Button2"));
        }); // cancel: keep as loaded
        start(*w);
        QTRY_VERIFY_WITH_TIMEOUT(w->topMenus().first()->isEnabled(), 20000);
        QTRY_VERIFY(!QApplication::activeModalWidget());
        QCOMPARE(positional::listEntries(w->tree()),
                 QStringList({"01 (917 Version 1.01)", "03 (917 Version 1.01)"}));

        whenModalTitled("Delete Instrument Configuration",
                        [&](QWidget* d) { click(child<QAbstractButton>(d, "BitBtn1")); });
        w->action("EditDeleteItem")->trigger();
        QCOMPARE(positional::listEntries(w->tree()), QStringList({"03 (917 Version 1.01)"}));

        if (!QStandardPaths::findExecutable("pdftotext").isEmpty()) {
            const QString pdf = dir.filePath("listing.pdf");
            w->files().printer().setOutputFormat(QPrinter::PdfFormat);
            w->files().printer().setOutputFileName(pdf);
            whenModalTitled("Print Instrument Configuration",
                            [&](QWidget* d) { click(child<QAbstractButton>(d, "BitBtn1")); });
            w->action("FilePrintItem")->trigger();
            QCOMPARE(w->statusText(), "Instrument 03 (917 Version 1.01) printed to the file " + pdf);
            QProcess p;
            p.start("pdftotext", {pdf, "-"});
            QVERIFY(p.waitForFinished(20000));
            const QStringList printed =
                QString::fromLatin1(p.readAllStandardOutput()).split('\n', Qt::SkipEmptyParts);
            QCOMPARE(
                printed.mid(0, 7),
                QStringList({"Instrument Address 03 (917 Version 1.01)",
                             "SET CHANNEL,001A,ON,OFF,10,0,0,30,100", "SET HYSTERESIS,0",
                             "SET LOGSPEC,3,1,OFF,OFF,COMM,ASCII,ON,OFF", "SET PASS,1,1,0,IMM,,,,BURST,1,,",
                             "SET PASS,2,1,0,IMM,,,,BURST,1,,", "SET PASS,3,1,0,IMM,,,,BURST,1,,"}));
        }

        // Timed backup every minute; the timer is then made to expire at once instead of waiting.
        whenModalTitled("Timed Backup", [&](QWidget* d) {
            activate(d);
            child<QCheckBox>(d, "Edit1")->setChecked(true);
            typeInto(child<QSpinBox>(d, "Edit2"), "1");
            click(child<QAbstractButton>(d, "Button1"));
        });
        w->action("TimedBackup1")->trigger();
        QCOMPARE(w->Timer1.interval(), 60000);
        QVERIFY(w->Timer1.isActive());
        const int tonesBefore = sound.tones;
        w->Timer1.setInterval(5);
        QTRY_VERIFY(sound.tones > tonesBefore);
        w->Timer1.stop();
        QCOMPARE(sound.lastHz, 1000);
        QCOMPARE(sound.lastMs, 250);
        QCOMPARE(readFile(path), serializeConfig(w->tree())); // the deletion reached the file
        QVERIFY(!readFile(path).contains("Instrument Address 01"));
    }
};

QTEST_MAIN(TestScenarios)
#include "test_scenarios.moc"
