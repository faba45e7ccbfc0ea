#include "SimNetworkFixture.h"

#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

#include <algorithm>

namespace {

const QString app = QStringLiteral(V917CONFIG_PATH);

// A console with no display, and a config folder of its own so no remembered device interferes.
QProcessEnvironment console(const QString& configHome = QString()) {
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM", "XDG_SESSION_TYPE"})
        env.remove(QString::fromLatin1(name));
    if (!configHome.isEmpty())
        env.insert(QStringLiteral("XDG_CONFIG_HOME"), configHome);
    return env;
}

struct Run {
    int exitCode = -1;
    QString out;
    QString err;
};

Run run(const QString& program, const QStringList& arguments, const QProcessEnvironment& env = console()) {
    QProcess p;
    p.setProcessEnvironment(env);
    p.start(program, arguments);
    Run r;
    if (!p.waitForFinished(120000) || p.exitStatus() != QProcess::NormalExit)
        return r;
    r.exitCode = p.exitCode();
    r.out = QString::fromLocal8Bit(p.readAllStandardOutput());
    r.err = QString::fromLocal8Bit(p.readAllStandardError());
    return r;
}

// A configuration file's bytes from lines whose leading TABs are written "\t".
QByteArray fileBytes(const QList<QByteArray>& lines) {
    QByteArray bytes;
    for (const QByteArray& l : lines)
        bytes += l + "\r\n";
    return bytes;
}

const QList<QByteArray> kSettings = {"Communication Settings", "\tCOM1,RS232,9600", "\tCommand Prefix,#",
                                     "\tData Separator,Tab"};

// One instrument as the wizard leaves it: a channel, the logging records and one stage.
QList<QByteArray> instrumentLines(const QByteArray& address) {
    return {"Instrument Address " + address + " (917 Version 1.01)",
            "\tChannel Configuration",
            "\t\tSET CHANNEL,001A,ON,OFF,10,0,0,30,100",
            "\t\tSET CHANNEL,002B,OFF,OFF,1,0,0,23,",
            "\tData Logging Parameters",
            "\t\tSET HYSTERESIS,0",
            "\t\tSET LOGSPEC,1,1,OFF,OFF,COMM,ASCII,ON,OFF",
            "\t\tSET PASS,1,1,0,IMM,,,,BURST,1,,"};
}

QByteArray network(const QList<QByteArray>& addresses) {
    QList<QByteArray> lines = kSettings;
    for (const QByteArray& a : addresses)
        lines += instrumentLines(a);
    return fileBytes(lines);
}

QString writeFile(const QTemporaryDir& dir, const QString& name, const QByteArray& bytes) {
    const QString path = dir.filePath(name);
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly) || f.write(bytes) != bytes.size())
        return QString();
    return path;
}

// What instrument `address` of the file above holds once programmed and saved: the channel lines
// without their last field.
const QList<QByteArray> kProgrammed = {
    "SET CHANNEL,001A,ON,OFF,10,0,0,30", "SET CHANNEL,002B,OFF,OFF,1,0,0,23", "SET HYSTERESIS,0",
    "SET LOGSPEC,1,1,OFF,OFF,COMM,ASCII,ON,OFF", "SET PASS,1,1,0,IMM,,,,BURST,1,,"};

} // namespace

// The program as a user or a script starts it from a console with no display: help, version and a
// mistyped option are answered before any window system is needed, and --validate, --scan and
// --program do their work without one, against simulated instruments on a pseudo-terminal.
class TestCommandLine : public QObject {
    Q_OBJECT

private slots:
    void answersWithoutADisplay_data() {
        QTest::addColumn<QString>("program");
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<int>("exitCode");
        QTest::addColumn<QString>("out");
        QTest::addColumn<QString>("err");
        QTest::addColumn<QStringList>("environment"); // NAME=value, on top of a console's
        const QString sim = QStringLiteral(SIM917_PATH);
        const QStringList none;
        QTest::newRow("version") << app << QStringList{"--version"} << 0 << "v917config 1.01\n"
                                 << "" << none;
        QTest::newRow("help") << app << QStringList{"--help"} << 0 << "Usage: v917config [options]"
                              << "" << none;
        QTest::newRow("window-system option passed over")
            << app << QStringList{"-platform", "xcb", "--version"} << 0 << "v917config 1.01\n"
            << "" << none;
        QTest::newRow("unknown") << app << QStringList{"--bogus"} << 2 << ""
                                 << "v917config: Unknown option 'bogus'." << none;
        QTest::newRow("no display") << app << QStringList{} << 1 << ""
                                    << "v917config: no display to open a window on" << none;
        QTest::newRow("two commands") << app << QStringList{"--scan", "--validate", "x.917"} << 2 << ""
                                      << "v917config: give one of --validate, --program and --scan" << none;
        QTest::newRow("program without a choice")
            << app << QStringList{"--program", "x.917"} << 2 << ""
            << "v917config: --program needs either --address or --all" << none;
        QTest::newRow("scan option without scan")
            << app << QStringList{"--validate", "x.917", "--last", "0F"} << 2 << ""
            << "v917config: --last goes with --scan" << none;
        QTest::newRow("sim version") << sim << QStringList{"--version"} << 0 << "sim917 1.01\n"
                                     << "" << none;
        QTest::newRow("sim unknown") << sim << QStringList{"--bogus"} << 2 << ""
                                     << "sim917: Unknown option 'bogus'." << none;
        // A Wayland session without Qt's Wayland plugin or without its compositor, and X11 asked for
        // without a display: said, where Qt itself would abort.
        QTest::newRow("wayland asked for, nothing there")
            << app << QStringList{} << 1 << ""
            << "v917config: cannot open a window: "
            << QStringList{"QT_QPA_PLATFORM=wayland", "WAYLAND_DISPLAY=v917-none", "XDG_RUNTIME_DIR=/tmp"};
        QTest::newRow("wayland session without X")
            << app << QStringList{} << 1 << ""
            << "v917config: cannot open a window: " << QStringList{"WAYLAND_DISPLAY=v917-none"};
        QTest::newRow("x11 asked for without a display")
            << app << QStringList{"-platform", "xcb"} << 1 << ""
            << "v917config: no display to open a window on" << none;
    }
    void answersWithoutADisplay() {
        QFETCH(QString, program);
        QFETCH(QStringList, arguments);
        QFETCH(int, exitCode);
        QFETCH(QString, out);
        QFETCH(QString, err);
        QFETCH(QStringList, environment);
        QProcessEnvironment env = console();
        for (const QString& setting : environment)
            env.insert(setting.section('=', 0, 0), setting.section('=', 1));
        const Run r = run(program, arguments, env);
        QCOMPARE(r.exitCode, exitCode);
        QVERIFY2(out.isEmpty() ? r.out.isEmpty() : r.out.startsWith(out), qPrintable(r.out));
        QVERIFY2(err.isEmpty() ? r.err.isEmpty() : r.err.startsWith(err), qPrintable(r.err));
    }

    // One line per problem, FILE:LINE: message, every problem of the file and not only the first.
    void validateReportsEveryProblem_data() {
        QTest::addColumn<QByteArray>("file");
        QTest::addColumn<QStringList>("problems"); // "LINE: message"
        QTest::newRow("good") << network({"01", "02"}) << QStringList();
        QTest::newRow("new instrument")
            << fileBytes(kSettings + QList<QByteArray>{"Instrument Address 01 (917 Version 1.01)",
                                                       "\tChannel Configuration", "\tData Logging Parameters",
                                                       "\t\tSET HYSTERISES,0",
                                                       "\t\tSET LOGSPEC,1,1,OFF,OFF,COMM,ASCII,ON,OFF",
                                                       "\t\tSET PASS,1,1,0,IMM,,,,BURST,1,,"})
            << QStringList();
        QList<QByteArray> records = kSettings + instrumentLines("01");
        records[6] = "\t\tSET CHANNEL,013a,on,OFF,x,,0,39,1234567890";
        records[10] = "\t\tSET LOGSPEC,9,1,OFF,OFF,DISK,ASCII,ON,OFF";
        records[11] = "\t\tSET PASS,2,1,0,SOON,,,,BURST,1,";
        QTest::newRow("records")
            << fileBytes(records)
            << QStringList{"7: Invalid Channel Address",
                           "7: Channel Enabled must be ON or OFF, not \"on\"",
                           "7: Error detected in the scaling factor",
                           "7: Error detected in the zero offset",
                           "7: Error detected in the data format",
                           "7: Error detected in the full scale value",
                           "11: Error detected in the number of passes (a whole number from 1 to 8)",
                           "11: Logging Medium must be one of COMM, MEMORY, not \"DISK\"",
                           "12: a SET PASS record has 11 fields; this one has 10",
                           "12: the pass number must be 1, the stage's place in its group, not \"2\"",
                           "12: Start Condition must be one of IMM, BUTTON, DELAY, LEVEL, TIME, not "
                           "\"SOON\""};
        QList<QByteArray> layout = kSettings + instrumentLines("01") + instrumentLines("01").mid(0, 4);
        layout[1] = "\tCOM3,RS232,9600";
        layout.removeAt(3);                    // the separator line
        layout.insert(6, "\t\t\tSET CHANNEL"); // under the first channel record
        QTest::newRow("layout") << fileBytes(layout)
                                << QStringList{
                                       "1: the Communication Settings group holds three lines: the port "
                                       "line, \"Command Prefix,\" and \"Data Separator,\" (found 2)",
                                       "2: the port line must be COM1 or COM2, then RS232, RS422 or RS485, "
                                       "then a baud rate from 600 to 57600, such as \"COM1,RS232,9600\"",
                                       "7: a line one level below a record; records have nothing under them",
                                       "13: a second instrument with the address 01",
                                       "13: an instrument holds two groups, \"Channel Configuration\" and "
                                       "\"Data Logging Parameters\" (found 1)"};
        QByteArray stopped = network({"01"});
        stopped.insert(stopped.indexOf("\t\tSET HYSTERESIS"), "\t\t\tSET CHANNEL,001A,ON\r\n");
        QTest::newRow("invalid level")
            << stopped
            << QStringList{
                   "9: the Data Logging Parameters group needs the hysteresis record, the SET LOGSPEC "
                   "record and at least one SET PASS record (found 0)",
                   "10: Invalid level (3) for item \"SET CHANNEL,001A,ON\""};
        QTest::newRow("empty") << QByteArray()
                               << QStringList{"1: the file holds no configuration; it begins with "
                                              "\"Communication Settings\""};
    }
    void validateReportsEveryProblem() {
        QFETCH(QByteArray, file);
        QFETCH(QStringList, problems);
        QTemporaryDir dir;
        const QString path = writeFile(dir, QStringLiteral("plant.917"), file);
        const Run r = run(app, {"--validate", path});
        QStringList expected;
        for (const QString& p : problems)
            expected += path + QLatin1Char(':') + p;
        QCOMPARE(r.out.split(QLatin1Char('\n'), Qt::SkipEmptyParts), expected);
        QCOMPARE(r.err, QString());
        QCOMPARE(r.exitCode, problems.isEmpty() ? 0 : 3);
    }

    // Every exit code once, as a script sees them: 0 for a scan where nothing answers.
    void exitCodes_data() {
        // %pty the simulated line (01, 02 silent, 03 goes away), %net a file of 01 and 02
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<int>("exitCode");
        QTest::addColumn<QString>("err"); // a part of standard error
        QTest::newRow("0 nothing answers")
            << QStringList{"--scan", "--last", "00", "--device", "%pty"} << 0 << "";
        QTest::newRow("0 programmed, PDF report without a display")
            << QStringList{"--program", "%net", "--address", "01",
                           "--device",  "%pty", "--report",  "%dir/r.pdf"}
            << 0 << "01\tsaved\n";
        QTest::newRow("2 address not in the file")
            << QStringList{"--program", "%net", "--address", "01", "--address", "0a", "--device", "%pty"} << 2
            << "%net holds no instrument with the address 0A";
        QTest::newRow("3 file stopped") << QStringList{"--program", "%bad", "--all", "--device", "%pty"} << 3
                                        << "%bad:2: Invalid level (2) for item \"COM1,RS232,9600\"";
        QTest::newRow("4 no such device") << QStringList{"--scan", "--device", "%dir/ttyGone"} << 4
                                          << "COM1 %dir/ttyGone cannot be opened: there is no such device.";
        QTest::newRow("4 device gone during the scan")
            << QStringList{"--scan", "--last", "FF", "--device", "%pty"} << 4
            << "COM1 %pty went away during the scan";
        QTest::newRow("5 instrument silent")
            << QStringList{"--program", "%net", "--address", "02", "--device", "%pty"} << 5 << "02\t";
        QTest::newRow("6 report not written")
            << QStringList{"--program", "%net", "--address", "01",
                           "--device",  "%pty", "--report",  "%dir/no/r.pdf"}
            << 6 << "Cannot create file %dir/no/r.pdf";
    }
    void exitCodes() {
        QFETCH(QStringList, arguments);
        QFETCH(int, exitCode);
        QFETCH(QString, err);
        sim::InstrumentConfig silent = SimNetworkFixture::instrument("02");
        silent.faults.silent = true;
        // Only a scan past 02 reaches 03, whose device goes away as it answers.
        sim::InstrumentConfig vanishing = SimNetworkFixture::instrument("03");
        vanishing.faults.vanishOnCommand = 1;
        SimNetworkFixture net({SimNetworkFixture::instrument("01"), silent, vanishing});
        QVERIFY2(net.ok(), qPrintable(net.error()));
        QTemporaryDir dir;
        const QString netFile = writeFile(dir, QStringLiteral("net.917"), network({"01", "02"}));
        const QString badFile =
            writeFile(dir, QStringLiteral("bad.917"), "Communication Settings\n\t\tCOM1,RS232,9600\n");
        const auto fill = [&](QString text) {
            return text.replace(QLatin1String("%pty"), net.slavePath())
                .replace(QLatin1String("%net"), netFile)
                .replace(QLatin1String("%bad"), badFile)
                .replace(QLatin1String("%dir"), dir.path());
        };
        for (QString& a : arguments)
            a = fill(a);
        const Run r = run(app, arguments, console(dir.path()));
        QVERIFY2(r.err.contains(fill(err)), qPrintable(r.err));
        QCOMPARE(r.exitCode, exitCode);
    }

    // One line per answering address, in address order, and every address up to --last asked once.
    void scanListsWhatAnswers() {
        sim::InstrumentConfig silent = SimNetworkFixture::instrument("04");
        silent.faults.silent = true;
        SimNetworkFixture net({SimNetworkFixture::instrument("03", "917 Version 2.00"),
                               SimNetworkFixture::instrument("01"), silent,
                               SimNetworkFixture::instrument("05", "a logger\tof another kind")});
        QVERIFY2(net.ok(), qPrintable(net.error()));
        QTemporaryDir dir;
        const Run r = run(app, {"--scan", "--last", "05", "--device", net.slavePath()}, console(dir.path()));
        QCOMPARE(r.exitCode, 0);
        QCOMPARE(r.out.split(QLatin1Char('\n')), (QStringList{"01\t917 Version 1.01", "03\t917 Version 2.00",
                                                              "05\ta logger\\x09of another kind", ""}));
        QCOMPARE(net.receivedLines(), (QList<QByteArray>{"#00 SYS\r\n", "#01 SYS\r\n", "#02 SYS\r\n",
                                                         "#03 SYS\r\n", "#04 SYS\r\n", "#05 SYS\r\n"}));
    }

    // Carrying on past a dead instrument: the others are programmed and saved, and the report names
    // the silent one and the line it stopped answering at.
    void programAllCarriesOnPastASilentInstrument() {
        sim::InstrumentConfig fading = SimNetworkFixture::instrument("02");
        fading.faults.silentFromCommand = 3;
        SimNetworkFixture net(
            {SimNetworkFixture::instrument("01"), fading, SimNetworkFixture::instrument("03")});
        QVERIFY2(net.ok(), qPrintable(net.error()));
        QTemporaryDir dir;
        const QString file = writeFile(dir, QStringLiteral("plant.917"), network({"01", "02", "03"}));
        const QString report = dir.filePath(QStringLiteral("report.txt"));
        const Run r = run(app, {"--program", file, "--all", "--device", net.slavePath(), "--report", report},
                          console(dir.path()));
        QCOMPARE(r.exitCode, 5);
        QCOMPARE(r.err, QString("01\tsaved\n02\tfailed at line 3: no reply\n03\tsaved\n"));
        QCOMPARE(r.out, QString("2 of 3 instruments programmed and saved; 02 failed at line 3 (no reply)\n"));
        QCOMPARE(net.savedRecords(0), kProgrammed);
        QCOMPARE(net.savedRecords(1), QList<QByteArray>());
        QCOMPARE(net.savedRecords(2), kProgrammed);
        QFile f(report);
        QVERIFY(f.open(QIODevice::ReadOnly));
        const QList<QByteArray> lines = f.readAll().split('\n');
        const auto has = [&lines](const QByteArray& wanted) {
            return std::any_of(lines.cbegin(), lines.cend(),
                               [&](const QByteArray& l) { return l.contains(wanted); });
        };
        QVERIFY(has("\t#02 SET HYSTERESIS,0\t(no reply)\t"));
        QVERIFY(has("Result: 02 failed at line 3: no reply\r"));
        QVERIFY(!has("#02 SAVE"));
    }

    // SIGTERM stops the run after the exchange under way, as Cancel does: no SAVE for that instrument.
    void programStoppedBySigterm() {
        sim::InstrumentConfig slow = SimNetworkFixture::instrument("01");
        slow.faults.replyDelayMs = 200;
        SimNetworkFixture net({slow});
        QVERIFY2(net.ok(), qPrintable(net.error()));
        QTemporaryDir dir;
        // Long enough that the signal surely comes before the end: 22 channels at 200 ms a reply.
        QList<QByteArray> lines = kSettings + instrumentLines("01");
        for (int n = 3; n <= 12; ++n)
            for (const char letter : {'A', 'B'})
                lines.insert(7, QByteArray("\t\tSET CHANNEL,0") +
                                    QByteArray::number(n).rightJustified(2, '0') + letter +
                                    ",OFF,OFF,1,0,0,23,");
        const QString file = writeFile(dir, QStringLiteral("plant.917"), fileBytes(lines));
        const QString report = dir.filePath(QStringLiteral("report.txt"));
        QProcess p;
        p.setProcessEnvironment(console(dir.path()));
        p.start(app, {"--program", file, "--address", "01", "--device", net.slavePath(), "--report", report});
        QVERIFY(net.waitForReceivedLines(2, 30000));
        p.terminate();
        QVERIFY(p.waitForFinished(60000));
        QCOMPARE(p.exitStatus(), QProcess::NormalExit);
        QCOMPARE(p.exitCode(), 5);
        const QList<QByteArray> sent = net.receivedLines();
        QVERIFY(sent.size() < 25);
        QVERIFY(!sent.contains("#01 SAVE\r\n"));
        QCOMPARE(net.savedRecords(0), QList<QByteArray>());
        QVERIFY(p.readAllStandardError().startsWith("01\tstopped at line "));
        QFile f(report);
        QVERIFY(f.open(QIODevice::ReadOnly));
        QVERIFY(f.readAll().contains("Result: 01 stopped at line "));
    }
};

QTEST_GUILESS_MAIN(TestCommandLine)
#include "test_commandline.moc"
