#include "ConfigTree.h"
#include "FakeCommandParts.h"
#include "FakeDialogs.h"
#include "InstrumentChoice.h"
#include "Positional.h"
#include "ProgramInstrument.h"
#include "SimNetworkFixture.h"
#include "Sound.h"
#include "TerminalMode.h"
#include "TerminalScreen.h"

#include <QAction>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QVBoxLayout>
#include <QtTest>

namespace {

// The program side: the shared form with the real serial port on the simulator's pseudo-terminal,
// the terminal screen in a window, and the commands under test.
struct Program {
    FakeDialogs dialogs;
    platform::SilentSound sound;
    TForm0 form0;
    Services svc{form0, dialogs, sound};
    ConfigTree tree;
    QWidget window;
    QWidget* configuration = new QWidget(&window);
    QWidget* frame = new QWidget(&window);
    TerminalScreen* screen = new TerminalScreen(frame);
    QAction item;
    TerminalMode terminal{svc, tree, *screen, TerminalHost{configuration, frame, &item, &window}};
    FakePicker picker;
    NoStatus status;
    ProgramInstrument program{svc, tree, picker, status, &window};

    explicit Program(const SimNetworkFixture& net)
        : form0(std::make_unique<platform::QtSerialPort>(net.portMap())) {
        tree.resetToStartup();
        auto* layout = new QVBoxLayout(&window);
        layout->addWidget(configuration);
        layout->addWidget(frame);
        (new QVBoxLayout(frame))->addWidget(screen);
        form0.installRXReceive();
        form0.ApplySettings();
    }
    ConfigNode* addInstrument(const QString& address, const QStringList& channels,
                              const QStringList& logging) {
        ConfigNode* node = tree.appendRoot(positional::instrumentNodeText(address, "917 Version 1.01"));
        ConfigNode* ch = tree.appendChild(node, "Channel Configuration");
        ConfigNode* lg = tree.appendChild(node, "Data Logging Parameters");
        for (const QString& c : channels)
            tree.appendChild(ch, c);
        for (const QString& l : logging)
            tree.appendChild(lg, l);
        return node;
    }
    QStringList shownLines() const { return screen->TermRX()->toPlainText().split('\n'); }
};

QList<QByteArray> fileLines(const QString& path) {
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return {};
    QList<QByteArray> lines = f.readAll().split('\n');
    lines.removeLast(); // after the last LF
    return lines;
}

QList<QByteArray> latin1(const QStringList& list) {
    QList<QByteArray> out;
    for (const QString& s : list)
        out.append(s.toLatin1());
    return out;
}

} // namespace

// Terminal logging and programming against simulated instruments through a real pseudo-terminal.
class TestTerminalPty : public QObject {
    Q_OBJECT
private slots:
    void loggingWhatALoggingInstrumentSends() {
        sim::InstrumentConfig c = SimNetworkFixture::instrument("07");
        c.records = {"SET CHANNEL,001A,ON,OFF,1,0,0,23,", "SET CHANNEL,001B,ON,OFF,2,5,0,32,",
                     "SET LOGSPEC,1,1,OFF,OFF,COMM,ASCII,ON,OFF", "SET PASS,1,0.02,0,IMM,,,,BURST,1,,"};
        SimNetworkFixture net({c});
        QVERIFY2(net.ok(), qPrintable(net.error()));
        Program p(net);
        p.addInstrument("07", {}, {});
        p.window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&p.window));
        p.terminal.TerminalSelect();

        QTemporaryDir dir;
        const QString path = dir.filePath("RUN07.TXT");
        {
            QFile old(path);
            QVERIFY(old.open(QIODevice::WriteOnly));
            old.write("from an earlier run\r\n");
        }
        p.dialogs.saveAnswers = {path};
        QTest::mouseClick(p.screen->TerminalLog(), Qt::LeftButton);
        QVERIFY(p.form0.Settings.LoggingActive);
        QVERIFY(net.waitForReceivedLines(1));
        QCOMPARE(net.receivedLines(), QList<QByteArray>({"#07 RUN\r\n"}));

        QTRY_VERIFY_WITH_TIMEOUT(fileLines(path).size() >= 5, 10000);
        QTest::mouseClick(p.screen->TerminalLog(), Qt::LeftButton);
        QVERIFY(!p.form0.Settings.LoggingActive);
        QVERIFY(net.waitForReceivedLines(2));
        QCOMPARE(net.receivedLines().last(), QByteArray("#07 END\r\n"));
        QTRY_VERIFY_WITH_TIMEOUT(p.shownLines().contains("OK"), 5000);
        QVERIFY(!net.running(0));

        // Every record is a completed line of the window, in order, from the answer to RUN on; the
        // answer to END is shown but not logged.
        const QList<QByteArray> logged = fileLines(path);
        const QList<QByteArray> shown = latin1(p.shownLines());
        QVERIFY(logged.size() >= 5);
        QVERIFY(!logged.contains("OK\r"));
        for (int i = 0; i < logged.size(); ++i) {
            QVERIFY2(logged[i].endsWith('\r'), logged[i].constData());
            QCOMPARE(logged[i].chopped(1), shown.value(i));
            QVERIFY2(
                QRegularExpression("^-?[0-9.]+\t-?[0-9.]+$").match(QString::fromLatin1(shown[i])).hasMatch(),
                shown[i].constData());
        }
    }

    void programmingAnInstrument() {
        SimNetworkFixture net({SimNetworkFixture::instrument("01")});
        QVERIFY2(net.ok(), qPrintable(net.error()));
        Program p(net);
        const QStringList channels = {"SET CHANNEL,001A,OFF,OFF,1,0,0,23,",
                                      "SET CHANNEL,002B,ON,OFF,2.5,0,0,23,100"};
        const QStringList logging = {"SET HYSTERESIS,0.5", "SET LOGSPEC,1,1,OFF,OFF,COMM,ASCII,ON,OFF",
                                     "SET PASS,1,1,0,IMM,,,,BURST,1,,", "SET PASS,2,5,0,IMM,,,,BURST,1,,"};
        p.addInstrument("01", channels, logging);
        p.program.CommsProgramInstrumentClick();
        QVERIFY(p.dialogs.errors.isEmpty());
        QStringList expected;
        for (const QString& c : channels)
            expected << cutFinalField(c);
        expected << logging;
        QCOMPARE(net.savedRecords(0), latin1(expected));
        QCOMPARE(net.receivedLines().last(), QByteArray("#01 SAVE\r\n"));
    }

    void aSilentInstrumentStopsTheRun() {
        SimNetworkFixture net({SimNetworkFixture::instrument("01")});
        QVERIFY2(net.ok(), qPrintable(net.error()));
        sim::Faults silent;
        silent.silent = true;
        net.setFaults(0, silent);
        Program p(net);
        p.form0.Comms.setOutputTimeout(300); // the 4 s of the real link add nothing here
        p.addInstrument("01", {"SET CHANNEL,001A,OFF,OFF,1,0,0,23,"}, {"SET HYSTERISES,0"});
        p.program.CommsProgramInstrumentClick();
        QCOMPARE(p.dialogs.errors, QStringList({"Serial Communications Error"}));
        QCOMPARE(p.sound.lastHz, 500);
        QCOMPARE(net.receivedLines(), QList<QByteArray>({"#01 SET CHANNEL,001A,OFF,OFF,1,0,0,23\r\n"}));
        QVERIFY(net.savedRecords(0).isEmpty());
    }
};

QTEST_MAIN(TestTerminalPty)
#include "test_terminal_pty.moc"
