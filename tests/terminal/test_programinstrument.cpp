#include "FakeCommandParts.h"
#include "ProgramInstrument.h"
#include "ProgramRun.h"
#include "ProgramTranscript.h"

#include "ConfigTree.h"
#include "FakeDialogs.h"
#include "FakeSerialPort.h"
#include "InstrumentChoice.h"
#include "Positional.h"
#include "Sound.h"

#include <QtTest>

namespace {

// Records what the run did to the status bar, and how many lines had gone out when each position was set.
struct RecordingStatus : StatusReporter {
    FakeSerialPort* port = nullptr;
    QStringList texts;
    int maximum = -1;
    bool visible = false;
    QList<bool> visibility;
    QList<int> positions;
    QList<int> linesSentAtPosition;
    void setStatusText(const QString& t) override { texts.append(t); }
    void setProgressRange(int m) override { maximum = m; }
    void setProgressPosition(int p) override {
        positions.append(p);
        linesSentAtPosition.append(int(port->written.count('\n')));
    }
    void setProgressVisible(bool v) override {
        visible = v;
        visibility.append(v);
    }
};

const QString kSilent = QStringLiteral("<silent>");

// The window-free world of one run: the link on a scripted port, the tree, a picker and the status bar.
struct Rig {
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
    FakePicker picker;
    RecordingStatus status;
    ProgramInstrument command{svc, tree, picker, status, nullptr};
    // One reply per command line, in order; when they run out every line is answered "OK".
    QStringList replies;

    Rig() {
        tree.resetToStartup();
        status.port = port;
        form0.Comms.Open();
        port->responder = [this](const QByteArray& bytes) {
            if (!bytes.endsWith("\r\n"))
                return;
            const QString reply = replies.isEmpty() ? QStringLiteral("OK\r\n") : replies.takeFirst();
            if (reply != kSilent)
                port->feed(reply.toLatin1(), 5);
        };
    }

    ConfigNode* addInstrument(const QString& address, const QStringList& channels,
                              const QStringList& logging) {
        ConfigNode* node = tree.appendRoot(positional::instrumentNodeText(address, "917 Version 1.0"));
        ConfigNode* ch = tree.appendChild(node, "Channel Configuration");
        ConfigNode* lg = tree.appendChild(node, "Data Logging Parameters");
        for (const QString& c : channels)
            tree.appendChild(ch, c);
        for (const QString& l : logging)
            tree.appendChild(lg, l);
        return node;
    }

    QStringList sentLines() const {
        QString all = QString::fromLatin1(port->written);
        QStringList lines = all.split("\r\n");
        lines.removeLast(); // after the final CR LF
        return lines;
    }
};

const QStringList kDefaultLogging = {"SET HYSTERISES,0", "SET LOGSPEC,1,1,OFF,OFF,COMM,ASCII,ON,OFF",
                                     "SET PASS,1,1,0,IMM,,,,BURST,1,,"};

} // namespace

class TestProgramInstrument : public QObject {
    Q_OBJECT
private slots:
    void cutFinalField_data() {
        QTest::addColumn<QString>("record");
        QTest::addColumn<QString>("sent");
        QTest::newRow("empty full scale") << "SET CHANNEL,001A,OFF,OFF,1,0,0,23,"
                                          << "SET CHANNEL,001A,OFF,OFF,1,0,0,23";
        QTest::newRow("full scale value") << "SET CHANNEL,002B,ON,OFF,2.5,0,0,23,100"
                                          << "SET CHANNEL,002B,ON,OFF,2.5,0,0,23";
        QTest::newRow("no comma") << "SET CHANNEL"
                                  << "SET CHANNEL";
        QTest::newRow("empty") << ""
                               << "";
        QTest::newRow("only a comma") << ","
                                      << "";
    }
    void cutFinalField() {
        QFETCH(QString, record);
        QFETCH(QString, sent);
        QCOMPARE(::cutFinalField(record), sent);
    }

    void theExampleByteForByte() {
        Rig r;
        r.addInstrument("01", {"SET CHANNEL,001A,OFF,OFF,1,0,0,23,"}, kDefaultLogging);
        r.command.CommsProgramInstrumentClick();
        QCOMPARE(QString::fromLatin1(r.port->written),
                 QString("#01 SET CHANNEL,001A,OFF,OFF,1,0,0,23\r\n"
                         "#01 SET HYSTERISES,0\r\n"
                         "#01 SET LOGSPEC,1,1,OFF,OFF,COMM,ASCII,ON,OFF\r\n"
                         "#01 SET PASS,1,1,0,IMM,,,,BURST,1,,\r\n"
                         "#01 SAVE\r\n"));
        QCOMPARE(r.picker.caption, QString("Program Instrument"));
        QCOMPARE(r.picker.helpContext, 4003);
        QCOMPARE(r.status.maximum, 4);
        // Each position is shown before its line goes out; SAVE does not move the bar.
        QCOMPARE(r.status.positions, QList<int>({0, 1, 2, 3, 4}));
        QCOMPARE(r.status.linesSentAtPosition, QList<int>({0, 0, 1, 2, 3}));
        QCOMPARE(r.status.texts, QStringList({"Please Wait - Programming Instrument", ""}));
        QCOMPARE(r.status.visibility, QList<bool>({true, false}));
        QVERIFY(r.dialogs.errors.isEmpty());
        QCOMPARE(r.sound.tones, 0);
    }

    void prefixAndChosenInstrument() {
        Rig r;
        r.form0.Settings.HostCommandPrefix = "!";
        r.addInstrument("01", {}, {"A"});
        r.addInstrument("0A", {"SET CHANNEL,002B,ON,OFF,2.5,0,0,23,100"}, {"B"});
        r.picker.choose = 1;
        r.command.CommsProgramInstrumentClick();
        QCOMPARE(r.picker.entries, QStringList({"01 (917 Version 1.0)", "0A (917 Version 1.0)"}));
        QCOMPARE(r.sentLines(), QStringList({"!0A SET CHANNEL,002B,ON,OFF,2.5,0,0,23", "!0A B", "!0A SAVE"}));
    }

    void groupsEmptyOrMissing_data() {
        QTest::addColumn<QStringList>("channels");
        QTest::addColumn<QStringList>("logging");
        QTest::addColumn<int>("groups");
        QTest::addColumn<QStringList>("sent");
        QTest::addColumn<int>("maximum");
        QTest::newRow("no channels") << QStringList() << kDefaultLogging << 2
                                     << QStringList({"#05 SET HYSTERISES,0",
                                                     "#05 SET LOGSPEC,1,1,OFF,OFF,COMM,ASCII,ON,OFF",
                                                     "#05 SET PASS,1,1,0,IMM,,,,BURST,1,,", "#05 SAVE"})
                                     << 3;
        QTest::newRow("both empty") << QStringList() << QStringList() << 2 << QStringList({"#05 SAVE"}) << 0;
        QTest::newRow("no groups at all")
            << QStringList() << QStringList() << 0 << QStringList({"#05 SAVE"}) << 0;
        QTest::newRow("channel group only") << QStringList({"SET CHANNEL,001A,ON"}) << QStringList() << 1
                                            << QStringList({"#05 SET CHANNEL,001A", "#05 SAVE"}) << 1;
        QTest::newRow("channel line without a comma") << QStringList({"SET CHANNEL"}) << QStringList() << 2
                                                      << QStringList({"#05 SET CHANNEL", "#05 SAVE"}) << 1;
    }
    void groupsEmptyOrMissing() {
        QFETCH(QStringList, channels);
        QFETCH(QStringList, logging);
        QFETCH(int, groups);
        QFETCH(QStringList, sent);
        QFETCH(int, maximum);
        Rig r;
        ConfigNode* node = r.tree.appendRoot(positional::instrumentNodeText("05", "917 Version 1.0"));
        if (groups >= 1) {
            ConfigNode* ch = r.tree.appendChild(node, "Channel Configuration");
            for (const QString& c : channels)
                r.tree.appendChild(ch, c);
        }
        if (groups >= 2) {
            ConfigNode* lg = r.tree.appendChild(node, "Data Logging Parameters");
            for (const QString& l : logging)
                r.tree.appendChild(lg, l);
        }
        r.command.CommsProgramInstrumentClick();
        QCOMPARE(r.sentLines(), sent);
        QCOMPARE(r.status.maximum, maximum);
        QVERIFY(r.dialogs.errors.isEmpty());
    }

    void anEmptyReplyStopsTheRun_data() {
        QTest::addColumn<QStringList>("replies");
        QTest::addColumn<int>("linesSent");
        QTest::newRow("CR LF only") << QStringList({"OK\r\n", "\r\n"}) << 2;
        QTest::newRow("silent at once") << QStringList({kSilent}) << 1;
        QTest::newRow("no LF") << QStringList({"OK\r\n", "OK\r\n", "half"}) << 3;
        QTest::newRow("silent at SAVE")
            << QStringList({"OK\r\n", "OK\r\n", "OK\r\n", "OK\r\n", kSilent}) << 5;
    }
    void anEmptyReplyStopsTheRun() {
        QFETCH(QStringList, replies);
        QFETCH(int, linesSent);
        Rig r;
        r.addInstrument("01", {"SET CHANNEL,001A,OFF,OFF,1,0,0,23,"}, kDefaultLogging);
        r.replies = replies;
        r.command.CommsProgramInstrumentClick();
        QCOMPARE(r.sentLines().size(), linesSent);
        QCOMPARE(r.sound.tones, 1);
        QCOMPARE(r.sound.lastHz, 500);
        QCOMPARE(r.sound.lastMs, 100);
        QCOMPARE(r.dialogs.errors, QStringList({"Serial Communications Error"}));
        QCOMPARE(r.status.texts.last(), QString());
        QVERIFY(!r.status.visible);
    }

    void aSilentInstrumentIsAwaitedForTheTimeOut() {
        Rig r;
        r.addInstrument("01", {}, kDefaultLogging);
        r.replies = {kSilent};
        const qint64 start = r.clock.now;
        r.command.CommsProgramInstrumentClick();
        QCOMPARE(r.clock.now - start, 4000);
        QCOMPARE(r.sentLines(), QStringList({"#01 SET HYSTERISES,0"}));
    }

    void anErrorTextIsAnAcknowledgement() {
        Rig r;
        r.addInstrument("01", {}, {"SET LOGSPEC,bad"});
        r.replies = {"ERROR 12\r\n"};
        r.command.CommsProgramInstrumentClick();
        QCOMPARE(r.sentLines(), QStringList({"#01 SET LOGSPEC,bad", "#01 SAVE"}));
        QVERIFY(r.dialogs.errors.isEmpty());
    }

    void portClosedStopsAfterTheFirstLine() {
        Rig r;
        r.addInstrument("01", {}, kDefaultLogging);
        r.form0.Comms.Close();
        r.command.CommsProgramInstrumentClick();
        QVERIFY(r.port->written.isEmpty());
        QCOMPARE(r.status.positions, QList<int>({0, 1}));
        QCOMPARE(r.dialogs.errors, QStringList({"Serial Communications Error"}));
        // The report does not claim a line went out.
        const QStringList report = r.command.transcript().lines();
        QVERIFY(report.contains("Not sent, the link is not open: #01 SET HYSTERISES,0"));
        QVERIFY(report.contains("Result: 01 failed at line 1: the link is not open"));
        for (const QString& line : report)
            QVERIFY2(line.count('\t') == 0, qPrintable(line));
    }

    void anotherInstrumentsLeftoversAreDiscardedAndEveryReplyIsQuoted() {
        Rig r;
        r.addInstrument("01", {}, {"A"});
        r.addInstrument("02", {}, {"B"});
        // 01 answers its line with control bytes and a backslash, then its SAVE with CR LF alone
        // followed by a line of its own: that line must not acknowledge 02's first line.
        r.replies = {"x\tB\\\x01\r\n", "\r\nLATE\r\n"};
        ProgramRun run(r.form0.Comms, programTargets(r.tree, "#"));
        ProgramTranscript transcript(r.form0.Comms.linkClock());
        transcript.start({});
        run.run({}, &transcript);
        QCOMPARE(run.status(0).text(), QString("failed at SAVE: no reply"));
        QCOMPARE(run.status(1).text(), QString("saved"));
        QCOMPARE(r.sentLines(), QStringList({"#01 A", "#01 SAVE", "#02 B", "#02 SAVE"}));
        QStringList body = transcript.lines().mid(3); // after the title, Started and Columns
        QCOMPARE(
            body,
            QStringList({"Instrument: 01 (917 Version 1.0)", "0\t#01 A\tx\\x09B\\x5C\\x01\t5",
                         "5\t#01 SAVE\t(no reply)\t5", "Result: 01 failed at SAVE: no reply",
                         "Instrument: 02 (917 Version 1.0)", "Discarded input: LATE\\x0D\\x0A",
                         "10\t#02 B\tOK\t5", "15\t#02 SAVE\tOK\t5", "Result: 02 saved", body.at(9),
                         "Summary: 1 of 2 instruments programmed and saved; 01 failed at SAVE (no reply)"}));
        QVERIFY(body.at(9).startsWith("Finished: "));
    }

    void aCancelBeforeTheRunStartsSendsNothing() {
        // A termination signal may come while the command line is still setting up.
        Rig r;
        r.addInstrument("01", {}, {"A"});
        ProgramRun run(r.form0.Comms, programTargets(r.tree, "#"));
        run.cancel();
        run.run();
        QVERIFY(r.port->written.isEmpty());
        QCOMPARE(run.summary(), QString("0 of 1 instruments programmed and saved; 1 not started"));
    }

    void cancelOrNothingToChooseSendsNothing() {
        Rig r;
        r.command.CommsProgramInstrumentClick(); // no instruments: OK with an empty choice
        QCOMPARE(r.picker.asked, 1);
        QVERIFY(r.picker.entries.isEmpty());
        r.addInstrument("01", {}, kDefaultLogging);
        r.picker.result = mrCancel;
        r.command.CommsProgramInstrumentClick();
        QVERIFY(r.port->written.isEmpty());
        QVERIFY(r.status.texts.isEmpty());
        QVERIFY(r.status.visibility.isEmpty());
        QVERIFY(r.dialogs.errors.isEmpty());
    }
};

QTEST_GUILESS_MAIN(TestProgramInstrument)
#include "test_programinstrument.moc"
