#include "TerminalMode.h"

#include "ConfigTree.h"
#include "FakeDialogs.h"
#include "FakeSerialPort.h"
#include "HexView.h"
#include "Positional.h"
#include "QuitSignals.h"
#include "Sound.h"
#include "TerminalScreen.h"

#include <QAction>
#include <QComboBox>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QVBoxLayout>
#include <QtTest>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <sys/resource.h>

namespace {

// The main window as terminal mode sees it: two screens, the menu item, the link on a scripted port.
struct Harness {
    FakeClock clock;
    FakeSerialPort* port = nullptr;
    TForm0 form0{[this] {
                     auto p = std::make_unique<FakeSerialPort>(clock);
                     port = p.get();
                     return p;
                 }(),
                 &clock};
    FakeDialogs dialogs;
    platform::SilentSound sound;
    Services svc{form0, dialogs, sound};
    ConfigTree tree;
    QWidget window;
    QFrame* configurationScreen = new QFrame(&window);
    QFrame* terminalFrame = new QFrame(&window);
    TerminalScreen* screen = new TerminalScreen(terminalFrame);
    QAction item{"&Terminal Mode"};
    TerminalMode mode{svc, tree, *screen, TerminalHost{configurationScreen, terminalFrame, &item, &window}};

    explicit Harness(const QStringList& addresses = {"01", "07"}) {
        tree.resetToStartup();
        for (const QString& a : addresses)
            addInstrument(a);
        item.setCheckable(true);
        auto* layout = new QVBoxLayout(&window);
        layout->addWidget(configurationScreen);
        layout->addWidget(terminalFrame);
        (new QVBoxLayout(terminalFrame))->addWidget(screen);
        terminalFrame->hide();
        terminalFrame->setEnabled(false);
        window.resize(790, 520);
        form0.installRXReceive();
        form0.Comms.Open();
    }
    void addInstrument(const QString& address) {
        tree.appendRoot(positional::instrumentNodeText(address, "917 Version 1.0"));
    }
    bool showAndActivate() {
        window.show();
        return QTest::qWaitForWindowActive(&window);
    }
    // Bytes arriving on the line, delivered and shown.
    void arrive(const QByteArray& bytes) {
        port->feed(bytes);
        form0.Comms.PollReceive();
        mode.receiveWindow().flush();
    }
    // Keys typed into the transmit window; '\n' stands for the Enter key.
    void type(const QString& keys) {
        for (const QChar c : keys) {
            if (c == QLatin1Char('\n'))
                QTest::keyClick(screen->TermTX(), Qt::Key_Return);
            else
                QTest::keyClicks(screen->TermTX(), QString(c));
        }
    }
    QString rx() const { return screen->TermRX()->toPlainText(); }
    QString tx() const { return screen->TermTX()->toPlainText(); }
    QByteArray written() const { return port->written; }
};

QByteArray fileBytes(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
}

} // namespace

class TestTerminalMode : public QObject {
    Q_OBJECT
private slots:
    void startStateOfTheScreen() {
        Harness h;
        TerminalScreen* s = h.screen;
        for (QWidget* w : QList<QWidget*>{s->TermRXLabel(), s->TermRXClear(), s->TermRX(), s->TermTXLabel(),
                                          s->TerminalLog(), s->TerminalScan(), s->TermTXClear(), s->TermTX()})
            QVERIFY2(!w->isEnabled(), qPrintable(w->objectName()));
        // On the disabled header, but not disabled themselves: opening the terminal enables them.
        QVERIFY(s->TerminalList()->isEnabledTo(s->TermTXLabel()));
        QVERIFY(s->TerminalLabel()->isEnabledTo(s->TermTXLabel()));
        QVERIFY(s->TermRX()->isReadOnly());
        QCOMPARE(s->TermRX()->lineWrapMode(), QPlainTextEdit::NoWrap);
        QVERIFY(QFontInfo(s->TermRX()->font()).fixedPitch());
    }

    void openAndClose() {
        Harness h;
        QVERIFY(h.showAndActivate());
        h.arrive("before\r\n");
        QCOMPARE(h.form0.RX.lines.first(), QByteArray("before"));

        h.mode.TerminalSelect();
        QVERIFY(h.form0.Settings.TerminalActive);
        QVERIFY(h.item.isChecked());
        QVERIFY(h.terminalFrame->isVisible() && h.terminalFrame->isEnabled());
        QVERIFY(!h.configurationScreen->isVisible() && !h.configurationScreen->isEnabled());
        TerminalScreen* s = h.screen;
        QCOMPARE(s->TerminalList()->count(), 2);
        QCOMPARE(s->TerminalList()->itemText(1), QString("07 (917 Version 1.0)"));
        QCOMPARE(s->TerminalList()->currentIndex(), 0);
        for (QWidget* w :
             QList<QWidget*>{s->TerminalLabel(), s->TerminalList(), s->TerminalScan(), s->TerminalLog(),
                             s->TermRX(), s->TermTX(), s->TermRXClear(), s->TermTXClear()})
            QVERIFY2(w->isVisible() && w->isEnabled(), qPrintable(w->objectName()));
        QTRY_VERIFY(s->TermTX()->hasFocus());
        QVERIFY(h.rx().isEmpty()); // what came before terminal mode is not shown

        h.arrive("hello\r\n");
        QCOMPARE(h.rx(), QString("hello\n"));

        h.mode.TerminalSelect();
        QVERIFY(!h.form0.Settings.TerminalActive);
        QVERIFY(!h.item.isChecked());
        QVERIFY(h.configurationScreen->isVisible() && h.configurationScreen->isEnabled());
        QVERIFY(!h.terminalFrame->isVisible() && !h.terminalFrame->isEnabled());
        h.arrive("after\r");
        QCOMPARE(h.rx(), QString("hello\n"));        // left as it was ...
        QVERIFY(h.form0.RX.lines.contains("after")); // ... and the hidden log takes over again
    }

    void reenteringEmptiesBothWindowsAndRebuildsTheList() {
        Harness h;
        QVERIFY(h.showAndActivate());
        h.mode.TerminalSelect();
        h.type("#01 SYS\n");
        h.arrive("917 Version\r\npart");
        h.mode.TerminalSelect();
        h.tree.removeNode(positional::instruments(h.tree).first());
        h.addInstrument("0A");
        h.mode.TerminalSelect();
        QVERIFY(h.rx().isEmpty());
        QVERIFY(h.tx().isEmpty());
        QStringList entries;
        for (int i = 0; i < h.screen->TerminalList()->count(); ++i)
            entries.append(h.screen->TerminalList()->itemText(i));
        QCOMPARE(entries, QStringList({"07 (917 Version 1.0)", "0A (917 Version 1.0)"}));
        // The partial line was dropped with the window.
        h.arrive("x\r");
        QCOMPARE(h.rx(), QString("x\n"));
    }

    void withoutInstrumentsTheTerminalStillWorks() {
        Harness h(QStringList{});
        QVERIFY(h.showAndActivate());
        h.mode.TerminalSelect();
        TerminalScreen* s = h.screen;
        for (QWidget* w :
             QList<QWidget*>{s->TerminalLabel(), s->TerminalList(), s->TerminalScan(), s->TerminalLog()})
            QVERIFY2(w->isHidden(), qPrintable(w->objectName()));
        QVERIFY(!s->TerminalScan()->isEnabled());
        QVERIFY(!s->TerminalLog()->isEnabled());
        QCOMPARE(s->TerminalList()->currentIndex(), -1);
        h.type("#01 SYS\n");
        QCOMPARE(h.written(), QByteArray("#01 SYS\r\n"));
        h.arrive("917 Version 1.0\r\n");
        QCOMPARE(h.rx(), QString("917 Version 1.0\n"));
    }

    void enterSendsTheLastLine_data() {
        QTest::addColumn<QString>("keys");
        QTest::addColumn<QByteArray>("sent");
        QTest::newRow("a command") << "#01 SYS\n" << QByteArray("#01 SYS\r\n");
        QTest::newRow("empty window") << "\n" << QByteArray();
        QTest::newRow("again from the line below") << "#01 SYS\n\n" << QByteArray("#01 SYS\r\n#01 SYS\r\n");
        QTest::newRow("only one final empty line is not counted") << "abc\n\n\n"
                                                                  << QByteArray("abc\r\nabc\r\n\r\n");
        QTest::newRow("no prefix: sent as typed") << "SYS\n" << QByteArray("SYS\r\n");
        QTest::newRow("only the last line") << "one\ntwo\n" << QByteArray("one\r\ntwo\r\n");
    }
    void enterSendsTheLastLine() {
        QFETCH(QString, keys);
        QFETCH(QByteArray, sent);
        Harness h;
        QVERIFY(h.showAndActivate());
        h.mode.TerminalSelect();
        h.type(keys);
        QCOMPARE(h.written(), sent);
    }

    void enterSendsTheLastLineWhereverTheCaretIs() {
        Harness h;
        QVERIFY(h.showAndActivate());
        h.mode.TerminalSelect();
        h.type("one\ntwo");
        h.port->written.clear();
        QTextCursor c = h.screen->TermTX()->textCursor();
        c.setPosition(1);
        h.screen->TermTX()->setTextCursor(c);
        QTest::keyClick(h.screen->TermTX(), Qt::Key_Return);
        QCOMPARE(h.written(), QByteArray("two\r\n"));
        QCOMPARE(h.tx(), QString("o\nne\ntwo")); // the editor still breaks the line at the caret
        // Shift+Enter sends too and starts a real new line.
        h.port->written.clear();
        QTest::keyClick(h.screen->TermTX(), Qt::Key_End, Qt::ControlModifier);
        QTest::keyClick(h.screen->TermTX(), Qt::Key_Return, Qt::ShiftModifier);
        QTest::keyClicks(h.screen->TermTX(), "three");
        QTest::keyClick(h.screen->TermTX(), Qt::Key_Return);
        QCOMPARE(h.written(), QByteArray("two\r\nthree\r\n"));
    }

    void clearButtons() {
        Harness h;
        QVERIFY(h.showAndActivate());
        h.mode.TerminalSelect();
        h.type("abc");
        h.arrive("first\r\npart");
        QTest::mouseClick(h.screen->TermRXClear(), Qt::LeftButton);
        QTest::mouseClick(h.screen->TermTXClear(), Qt::LeftButton);
        QVERIFY(h.rx().isEmpty());
        QVERIFY(h.tx().isEmpty());
        h.arrive("rest\r");
        QCOMPARE(h.rx(), QString("rest\n"));
    }

    void scanWritesItsCommandAsALineOfItsOwn_data() {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("window");
        QTest::newRow("empty window") << ""
                                      << "#07 SCAN";
        QTest::newRow("after a partial line") << "abc"
                                              << "abc\n#07 SCAN";
        QTest::newRow("onto the empty final line") << "abc\n"
                                                   << "abc\n#07 SCAN";
    }
    void scanWritesItsCommandAsALineOfItsOwn() {
        QFETCH(QString, typed);
        QFETCH(QString, window);
        Harness h;
        QVERIFY(h.showAndActivate());
        h.mode.TerminalSelect();
        h.type(typed);
        h.port->written.clear();
        h.screen->TerminalList()->setCurrentIndex(1);
        QTest::mouseClick(h.screen->TerminalScan(), Qt::LeftButton);
        QCOMPARE(h.tx(), window);
        QCOMPARE(h.written(), QByteArray("#07 SCAN\r\n"));
    }

    void loggingWritesCompletedLinesByteForByte() {
        QTemporaryDir dir;
        const QString path = dir.filePath("LOG1.TXT");
        {
            QFile old(path);
            QVERIFY(old.open(QIODevice::WriteOnly));
            old.write("old contents\r\n");
        }
        Harness h;
        QVERIFY(h.showAndActivate());
        h.mode.TerminalSelect();
        h.screen->TerminalList()->setCurrentIndex(1);
        SharedSettings& s = h.form0.Settings;
        QStringList seen;
        h.port->responder = [&](const QByteArray& bytes) {
            if (bytes == "#07 RUN\r\n")
                seen << QString("RUN, file empty: %1").arg(s.LogFile.isOpen() && fileBytes(path).isEmpty());
            if (bytes == "#07 END\r\n")
                seen << QString("END, file closed: %1").arg(!s.LogFile.isOpen());
        };
        h.dialogs.saveAnswers = {path};
        h.arrive("begun ");
        QTest::mouseClick(h.screen->TerminalLog(), Qt::LeftButton);

        const platform::FileDialogOptions asked = h.dialogs.saveAsked.value(0);
        QCOMPARE(asked.filters.size(), 5);
        QCOMPARE(asked.filterIndex, 4);
        QVERIFY(asked.filters[4].startsWith("Data File"));
        QCOMPARE(asked.defaultSuffix, QString("TXT"));
        QCOMPARE(asked.fileName, QString("*.TXT"));
        QVERIFY(asked.directory.isEmpty());
        QCOMPARE(asked.helpContext, 2003);

        QVERIFY(s.LoggingActive);
        QCOMPARE(s.LogFileName, path);
        QCOMPARE(h.screen->TerminalLog()->text(), QString("End"));
        QVERIFY(!h.screen->TerminalList()->isEnabled());
        QVERIFY(!h.screen->TerminalScan()->isEnabled());

        h.arrive("before log\r\n");
        h.arrive("a\bb\r\r");
        h.arrive("x\ny\r\n12.5\t");
        h.arrive("13.0\r\nincomplete");
        QTest::mouseClick(h.screen->TerminalLog(), Qt::LeftButton);
        h.arrive(" line\r\n");

        QCOMPARE(fileBytes(path), QByteArray("begun before log\r\nb\r\n\r\nxy\r\n12.5\t13.0\r\n"));
        QCOMPARE(seen, QStringList({"RUN, file empty: 1", "END, file closed: 1"}));
        QCOMPARE(h.tx(), QString("#07 RUN\n#07 END"));
        QVERIFY(!s.LoggingActive);
        QCOMPARE(h.screen->TerminalLog()->text(), QString("Log"));
        QVERIFY(h.screen->TerminalList()->isEnabled());
        QVERIFY(h.screen->TerminalScan()->isEnabled());

        // The next dialog opens in the folder of the previous log; the file is emptied again.
        h.dialogs.saveAnswers = {path};
        QTest::mouseClick(h.screen->TerminalLog(), Qt::LeftButton);
        QCOMPARE(h.dialogs.saveAsked.value(1).directory, dir.path());
        QTest::mouseClick(h.screen->TerminalLog(), Qt::LeftButton);
        QCOMPARE(fileBytes(path), QByteArray());
    }

    void cancellingTheDialogDoesNothing() {
        Harness h;
        QVERIFY(h.showAndActivate());
        h.mode.TerminalSelect();
        QTest::mouseClick(h.screen->TerminalLog(), Qt::LeftButton);
        QCOMPARE(h.dialogs.saveAsked.size(), 1);
        QVERIFY(!h.form0.Settings.LoggingActive);
        QVERIFY(h.written().isEmpty());
        QVERIFY(h.tx().isEmpty());
        QCOMPARE(h.screen->TerminalLog()->text(), QString("Log"));
    }

    // Refused at once: opening a FIFO for writing would wait for a reader, the program deaf meanwhile.
    void aFileThatCannotBeCreated_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<int>("kind");
        QTest::newRow("missing folder") << "missing/LOG.TXT" << 0;
        QTest::newRow("FIFO nobody reads") << "fifo.TXT" << 1;
        QTest::newRow("FIFO somebody reads") << "fifo.TXT" << 2;
        QTest::newRow("device") << "/dev/full" << 0;
    }
    void aFileThatCannotBeCreated() {
        QFETCH(QString, name);
        QFETCH(int, kind);
        QTemporaryDir dir;
        const QString path = name.startsWith('/') ? name : dir.filePath(name);
        int reader = -1;
        if (kind > 0) {
            QCOMPARE(::mkfifo(QFile::encodeName(path).constData(), 0600), 0);
            if (kind == 2)
                QVERIFY((reader = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_NONBLOCK)) >= 0);
        }
        const auto closeReader = qScopeGuard([reader] {
            if (reader >= 0)
                ::close(reader);
        });
        Harness h;
        QVERIFY(h.showAndActivate());
        h.mode.TerminalSelect();
        h.dialogs.saveAnswers = {path};
        QTest::mouseClick(h.screen->TerminalLog(), Qt::LeftButton);
        QCOMPARE(h.sound.tones, 1);
        QCOMPARE(h.sound.lastHz, 500);
        QCOMPARE(h.sound.lastMs, 100);
        QCOMPARE(h.dialogs.errors, QStringList({"Cannot create output file - terminating data logging"}));
        QVERIFY(!h.form0.Settings.LoggingActive);
        QCOMPARE(h.form0.Settings.LogFileName, path);
        QVERIFY(h.written().isEmpty());
        QCOMPARE(h.screen->TerminalLog()->text(), QString("Log"));
        QVERIFY(h.screen->TerminalScan()->isEnabled());
        QVERIFY(h.screen->TerminalList()->isEnabled());
    }

    void theLogTakesEveryLineWhateverScreenIsShown() {
        QTemporaryDir dir;
        const QString path = dir.filePath("LOG.TXT");
        Harness h;
        QVERIFY(h.showAndActivate());
        h.mode.TerminalSelect();
        h.screen->TerminalList()->setCurrentIndex(1);
        h.dialogs.saveAnswers = {path};
        QTest::mouseClick(h.screen->TerminalLog(), Qt::LeftButton);
        // Lines arrive in pieces while the screens are switched back and forth; a switch falls
        // inside lines, between them, and between a CR and its LF.
        QByteArray expected;
        for (int i = 0; i < 40; ++i) {
            const QByteArray line = "line " + QByteArray::number(i) + "\t" + QByteArray::number(i * 1.5);
            expected += line + "\r\n";
            h.arrive(line.left(3));
            h.mode.TerminalSelect();
            h.arrive(line.mid(3) + (i % 3 == 0 ? "\r" : "\r\n"));
            if (i % 3 == 0) {
                h.mode.TerminalSelect();
                h.arrive("\n");
            }
        }
        h.arrive("partial");
        QVERIFY(h.form0.Settings.LoggingActive);
        if (!h.form0.Settings.TerminalActive)
            h.mode.TerminalSelect();
        QCOMPARE(h.screen->TerminalLog()->text(), QString("End"));
        QVERIFY(!h.screen->TerminalList()->isEnabled());
        QCOMPARE(h.screen->TerminalList()->currentIndex(), 0);
        QVERIFY(h.screen->TerminalScan()->isEnabled());
        // Clear drops the part received so far from the log too.
        QTest::mouseClick(h.screen->TermRXClear(), Qt::LeftButton);
        h.arrive("two\r\n");
        expected += "two\r\n";
        h.port->written.clear();
        QTest::mouseClick(h.screen->TerminalLog(), Qt::LeftButton);
        QCOMPARE(h.written(), QByteArray("#01 END\r\n")); // the selection went back to the first entry
        QCOMPARE(fileBytes(path), expected);
    }

    // What each option adds, byte for byte. Every row logs and records at once, so the rows also
    // show that one option leaves the other outputs alone. Steps in <>: <vanish> the device goes and
    // comes back, <send> types a line, <reply> an exchange reads one reply.
    void eachOptionsBytes_data() {
        QTest::addColumn<QString>("output");
        QTest::addColumn<int>("separator"); // first and second character of the data separator
        QTest::addColumn<int>("offset");    // of the clock's time zone, in seconds
        QTest::addColumn<QByteArrayList>("steps");
        QTest::addColumn<QByteArray>("expected");
        const QByteArray t = "2026-12-07T18:40:05.123+01:00";
        QTest::newRow("log, Tab") << "log" << 0x0900 << 3600 << QByteArrayList{"1.5\t2", "\r\n\r"}
                                  << t + "\t1.5\t2\r\n" + t + "\t\r\n";
        QTest::newRow("log, comma, west of UTC")
            << "log" << 0x2C00 << -(5 * 3600 + 30 * 60) << QByteArrayList{"a\r\n"}
            << QByteArray("2026-12-07T12:10:05.123-05:30,a\r\n");
        QTest::newRow("log, two characters") << "log" << 0x2C20 << 0 << QByteArrayList{"a\r\n"}
                                             << QByteArray("2026-12-07T17:40:05.123+00:00, a\r\n");
        for (const int sep : {0x0000, 0x0D00, 0x0A00, 0x0D0A})
            QTest::addRow("log, separator %04x gives Tab", sep)
                << "log" << sep << 3600 << QByteArrayList{"a\r\n"} << t + "\ta\r\n";
        QTest::newRow("log, device lost and back")
            << "log" << 0x0900 << 3600 << QByteArrayList{"be", "<vanish>", "fore\r\n"}
            << "# link lost " + t + "\r\n# link back " + t + "\r\n" + t + "\tbefore\r\n";
        QTest::newRow("window time stamps")
            << "window stamps" << 0x0900 << 3600 << QByteArrayList{"ab\bc\r", "\r", "\b", "x"}
            << QByteArray("18:40:05.123 ac\n18:40:05.123 \n18:40:05.123 x");
        QTest::newRow("echo") << "window echo" << 0x0900 << 0
                              << QByteArrayList{"part", "<send>", "ial\r\n", "<send>", "x"}
                              << QByteArray("> #07 RUN\n> #01 SYS\npartial\n> #01 SYS\n> #07 END\nx");
        QTest::newRow("hex rows")
            << "hex" << 0x0900 << 0 << QByteArrayList{QByteArray("AB\r\n\b\0\xff~ 0123456", 16), "Z"}
            << QByteArray("00000000  41 42 0D 0A 08 00 FF 7E  20 30 31 32 33 34 35 36  AB.....~ 0123456\n"
                          "00000010  5A                                                Z\n");
        QTest::newRow("recording") << "recording" << 0x0900 << 0
                                   << QByteArrayList{QByteArray("a\0b\xff\r", 5), "<reply>", "<vanish>",
                                                     "\b\n", "<send>"}
                                   << QByteArray("a\0b\xff\rOK\r\n\b\n", 11);
    }
    void eachOptionsBytes() {
        QFETCH(QString, output);
        QFETCH(int, separator);
        QFETCH(int, offset);
        QFETCH(QByteArrayList, steps);
        QFETCH(QByteArray, expected);
        QTemporaryDir dir;
        Harness h;
        QVERIFY(h.showAndActivate());
        const QDateTime at(QDate(2026, 12, 7), QTime(17, 40, 5, 123), Qt::UTC);
        const QDateTime local = at.toOffsetFromUtc(offset);
        h.mode.dataLog().now = [&] { return local; };
        h.mode.terminalLines().now = [&] { return local; };
        SetDelimiter(h.form0.Settings.HostDataSeparator, "Sep", quint8(separator >> 8), quint8(separator));
        TerminalOptions o;
        o.timeStampLog = output == "log";
        o.showTimeStamps = output == "window stamps";
        o.echoSent = output == "window echo";
        o.hexView = output == "hex";
        h.mode.setOptions(o);
        h.mode.TerminalSelect();
        h.screen->TerminalList()->setCurrentIndex(1);
        h.dialogs.saveAnswers = {dir.filePath("LOG.TXT"), dir.filePath("REC.BIN")};
        QTest::mouseClick(h.screen->TerminalLog(), Qt::LeftButton);
        h.mode.RecordSessionClick();
        QVERIFY(h.mode.isRecording());
        h.port->written.clear();
        for (const QByteArray& step : steps) {
            if (step == "<vanish>") {
                h.port->vanish();
                QTRY_VERIFY(h.form0.Comms.state().condition == LinkState::Condition::Lost);
                QTRY_VERIFY_WITH_TIMEOUT(h.form0.Comms.IsOpen(), 10000);
            } else if (step == "<send>") {
                h.mode.TerminalTXClear();
                h.screen->TermTX()->setFocus();
                h.type("#01 SYS\n");
            } else if (step == "<reply>") {
                h.port->feed("OK\r\n");
                QCOMPARE(h.form0.Comms.ReadReply(), QString("OK"));
            } else {
                h.arrive(step);
            }
        }
        h.mode.RecordSessionClick();
        QTest::mouseClick(h.screen->TerminalLog(), Qt::LeftButton);
        h.mode.receiveWindow().flush();
        h.screen->TermHex()->flush();
        QByteArray actual;
        if (output == "log")
            actual = fileBytes(dir.filePath("LOG.TXT"));
        else if (output == "recording")
            actual = fileBytes(dir.filePath("REC.BIN"));
        else if (output == "hex")
            actual = h.screen->TermHex()->history().text("\n");
        else
            actual = h.rx().toLatin1();
        QCOMPARE(actual, expected);
        // Echoes stay in the window; the hex view and the recording see only received bytes.
        QVERIFY(!fileBytes(dir.filePath("LOG.TXT")).contains("> "));
        QVERIFY(!fileBytes(dir.filePath("REC.BIN")).contains("> #"));
        QVERIFY(h.screen->TermHex()->isVisible() == o.hexView);
        QVERIFY(h.screen->TermRX()->isVisible() == !o.hexView);
    }

    // A full hex history drops its oldest whole rows; the rows kept keep their offsets.
    // The options live in the per-user settings file: a FIFO or a huge file in its place is neither
    // read nor written (either would hold the program), and the options stay off.
    void optionsFileThatIsNotOurs() {
        QTemporaryDir dir;
        const QString fifo = dir.filePath("fifo.ini");
        QVERIFY(::mkfifo(QFile::encodeName(fifo).constData(), 0600) == 0);
        const QString huge = dir.filePath("huge.ini");
        QFile f(huge);
        QVERIFY(f.open(QIODevice::WriteOnly) && f.write("[Terminal]\nHexView=true\n") > 0 &&
                f.resize(qint64(1) << 30));
        f.close();
        TerminalOptions on;
        on.hexView = true;
        for (const QString& file : {fifo, huge}) {
            saveTerminalOptions(file, on);
            QVERIFY(!loadTerminalOptions(file).hexView);
        }
        QCOMPARE(QFileInfo(huge).size(), qint64(1) << 30);
    }

    void theHexHistoryIsBounded() {
        HexHistory history(64);
        QByteArray all;
        for (int i = 0; i < 30; ++i) {
            const QByteArray block(7, char('a' + i % 26));
            all += block;
            history.append(block.constData(), block.size());
            QVERIFY(history.size() <= 64);
        }
        QCOMPARE(history.firstOffset() % kHexRowBytes, 0);
        QCOMPARE(history.firstOffset() + history.size(), qint64(all.size()));
        const qint64 last = history.rowCount() - 1;
        const qint64 lastOffset = history.firstOffset() + last * kHexRowBytes;
        QCOMPARE(history.row(last),
                 hexRow(lastOffset, all.constData() + lastOffset, int(all.size() - lastOffset)));
        history.clear();
        history.append("x", 1);
        QCOMPARE(history.text("\n"), hexRow(0, "x", 1) + "\n");
    }

    void aWriteFailureIsReportedOnceAndStopsLogging_data() {
        QTest::addColumn<QString>("fault");
        QTest::addColumn<QString>("reason");
        QTest::addColumn<QByteArray>("kept");
        // The limit falls inside the second record: only the first stays in the file.
        QTest::newRow("file-size limit") << "limit"
                                         << "File too large" << QByteArray("a\r\n");
        // Nothing is written into the void, nor a new file made under the name.
        QTest::newRow("file deleted") << "delete"
                                      << "deleted or replaced" << QByteArray("<missing>");
        QTest::newRow("file replaced") << "replace"
                                       << "deleted or replaced" << QByteArray("other");
    }
    void aWriteFailureIsReportedOnceAndStopsLogging() {
        QFETCH(QString, fault);
        QFETCH(QString, reason);
        QFETCH(QByteArray, kept);
        QTemporaryDir dir;
        const QString path = dir.filePath("LOG.TXT");
        Harness h;
        QVERIFY(h.showAndActivate());
        h.mode.TerminalSelect();
        h.dialogs.saveAnswers = {path};
        QTest::mouseClick(h.screen->TerminalLog(), Qt::LeftButton);
        QVERIFY(h.form0.Settings.LoggingActive);

        rlimit old{};
        getrlimit(RLIMIT_FSIZE, &old);
        if (fault == "limit") {
            platform::quitOnTerminationSignals({}); // the program's own: SIGXFSZ must not kill it
            rlimit five = old;
            five.rlim_cur = 5;
            QCOMPARE(setrlimit(RLIMIT_FSIZE, &five), 0);
        } else if (fault == "delete") {
            QVERIFY(QFile::remove(path));
        } else if (fault == "replace") {
            QVERIFY(QFile::rename(path, path + ".old"));
            QFile other(path);
            QVERIFY(other.open(QIODevice::WriteOnly));
            other.write("other");
        }
        h.arrive("a\r\nb\r\nc");
        setrlimit(RLIMIT_FSIZE, &old);
        // The block is shown whole before the report comes.
        QCOMPARE(h.rx(), QString("a\nb\nc"));
        QVERIFY(!h.form0.Settings.LoggingActive);
        QVERIFY(!h.form0.Settings.LogFile.isOpen());
        QCOMPARE(h.screen->TerminalLog()->text(), QString("Log"));
        QVERIFY(h.screen->TerminalScan()->isEnabled());
        QTRY_COMPARE(h.dialogs.errors.size(), 1);
        QVERIFY2(h.dialogs.errors[0].contains(reason), qPrintable(h.dialogs.errors[0]));
        QCOMPARE(fileBytes(path), kept);
        h.arrive("\r\nd\r\n");
        QCoreApplication::processEvents(); // a second report would be queued by now
        QCOMPARE(h.dialogs.errors.size(), 1);
    }
};

QTEST_MAIN(TestTerminalMode)
#include "test_terminalmode.moc"
