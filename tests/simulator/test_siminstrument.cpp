#include "SimInstrument.h"
#include "SimNetwork.h"

#include <QtTest>

using sim::Emission;
using sim::InstrumentConfig;
using sim::SimInstrument;

namespace {

// Everything the instrument sends by `at`, joined.
QByteArray drain(SimInstrument& i, qint64 at) {
    QByteArray out;
    for (const Emission& e : i.takeDue(at))
        out += e.bytes;
    return out;
}

// One exchange at 9600 baud: the command framed for address 00, answer taken at once.
QByteArray ask(SimInstrument& i, const QByteArray& line, qint64 at = 0) {
    i.receive(line, 9600, at);
    return drain(i, at);
}

InstrumentConfig withChannels() {
    InstrumentConfig c;
    c.records = {"SET CHANNEL,001A,ON,OFF,1,0,0,23,100", "SET CHANNEL,001B,ON,OFF,2,5,0,32,",
                 "SET CHANNEL,002A,OFF,OFF,1,0,0,23,", "SET PASS,1,0.5,0,IMM,,,,BURST,1,,"};
    return c;
}

} // namespace

// The instrument on its own, with time given by the test.
class TestSimInstrument : public QObject {
    Q_OBJECT

private slots:
    void framing_data() {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<bool>("answered");
        QTest::newRow("framed") << QByteArray("#00 SYS\r\n") << true;
        QTest::newRow("command words in lower case") << QByteArray("#00 sys\r\n") << true;
        QTest::newRow("LF without CR") << QByteArray("#00 SYS\n") << false;
        QTest::newRow("CR without LF") << QByteArray("#00 SYS\r") << false;
        QTest::newRow("other prefix") << QByteArray("$00 SYS\r\n") << false;
        QTest::newRow("other address") << QByteArray("#01 SYS\r\n") << false;
        QTest::newRow("no blank") << QByteArray("#00SYS\r\n") << false;
        QTest::newRow("one address digit") << QByteArray("#0 SYS\r\n") << false;
        QTest::newRow("noise before the prefix") << QByteArray("x#00 SYS\r\n") << false;
        QTest::newRow("after a broken line") << QByteArray("#00 SY\n#00 SYS\r\n") << true;
        QTest::newRow("after an overlong line")
            << QByteArray(600, 'x') + QByteArray("#00 SYS\r\n#00 SYS\r\n") << true;
    }
    void framing() {
        QFETCH(QByteArray, bytes);
        QFETCH(bool, answered);
        SimInstrument i;
        QCOMPARE(ask(i, bytes), answered ? QByteArray("917 Version 1.01\r\n") : QByteArray());
    }

    void bytesMayArriveInAnyPieces() {
        SimInstrument i;
        const QByteArray line = "#00 SYS\r\n#00 SYS\r\n";
        for (char c : line)
            i.receive(QByteArray(1, c), 9600, 0);
        QCOMPARE(drain(i, 0), QByteArray("917 Version 1.01\r\n917 Version 1.01\r\n"));
        QCOMPARE(i.commandsHandled(), 2);
    }

    void addressIsHexadecimalInEitherCase() {
        InstrumentConfig c;
        c.link.address = "0a";
        SimInstrument i(c);
        QCOMPARE(i.link().address, QByteArray("0A"));
        QVERIFY(!ask(i, "#0a SYS\r\n").isEmpty());
        QVERIFY(!ask(i, "#0A SYS\r\n").isEmpty());
    }

    void commands_data() {
        QTest::addColumn<QByteArray>("command");
        QTest::addColumn<QByteArray>("reply");
        const QByteArray ok = "OK";
        QTest::newRow("identification") << QByteArray("SYS") << QByteArray("917 Version 1.01");
        QTest::newRow("prefix") << QByteArray("SET COMMAND PREFIX,$") << ok;
        QTest::newRow("prefix too long")
            << QByteArray("SET COMMAND PREFIX,$$") << QByteArray("ERROR: Invalid command prefix");
        QTest::newRow("prefix missing")
            << QByteArray("SET COMMAND PREFIX,") << QByteArray("ERROR: Invalid command prefix");
        QTest::newRow("delimiters") << QByteArray("SET DELIMITERS,@09@00,@13@10") << ok;
        QTest::newRow("delimiter code cut short")
            << QByteArray("SET DELIMITERS,@165@1,@13@10") << QByteArray("ERROR: Invalid delimiters");
        QTest::newRow("one delimiter")
            << QByteArray("SET DELIMITERS,@09@00") << QByteArray("ERROR: Invalid delimiters");
        QTest::newRow("comms") << QByteArray("SET COMMS,01,232,9600,ON") << ok;
        QTest::newRow("comms bad address")
            << QByteArray("SET COMMS,0G,232,9600,ON") << QByteArray("ERROR: Invalid address");
        QTest::newRow("comms bad mode")
            << QByteArray("SET COMMS,01,233,9600,ON") << QByteArray("ERROR: Invalid line mode");
        QTest::newRow("comms bad baud")
            << QByteArray("SET COMMS,01,485,9601,ON") << QByteArray("ERROR: Invalid baud rate");
        QTest::newRow("save") << QByteArray("SAVE") << ok;
        QTest::newRow("channel as programmed") << QByteArray("SET CHANNEL,001A,OFF,OFF,1,0,0,23") << ok;
        QTest::newRow("channel as stored") << QByteArray("SET CHANNEL,514B,ON,ON,2.5E3,-1,.5,44,100") << ok;
        QTest::newRow("channel address") << QByteArray("SET CHANNEL,013A,OFF,OFF,1,0,0,23")
                                         << QByteArray("ERROR: Invalid channel address");
        QTest::newRow("channel scale")
            << QByteArray("SET CHANNEL,001A,OFF,OFF,,0,0,23") << QByteArray("ERROR: Invalid scaling factor");
        QTest::newRow("channel format")
            << QByteArray("SET CHANNEL,001A,OFF,OFF,1,0,0,45") << QByteArray("ERROR: Invalid data format");
        QTest::newRow("channel full scale") << QByteArray("SET CHANNEL,001A,ON,OFF,1,0,0,23,1 0")
                                            << QByteArray("ERROR: Invalid full scale value");
        QTest::newRow("channel short")
            << QByteArray("SET CHANNEL,001A,ON") << QByteArray("ERROR: Missing fields");
        QTest::newRow("hysteresis, new instrument's spelling") << QByteArray("SET HYSTERISES,0") << ok;
        QTest::newRow("hysteresis") << QByteArray("SET HYSTERESIS,0.25") << ok;
        QTest::newRow("hysteresis not a number")
            << QByteArray("SET HYSTERESIS,x") << QByteArray("ERROR: Invalid hysteresis");
        QTest::newRow("logspec") << QByteArray("SET LOGSPEC,1,1,OFF,OFF,COMM,ASCII,ON,OFF") << ok;
        QTest::newRow("logspec cut short")
            << QByteArray("SET LOGSPEC,2") << QByteArray("ERROR: Missing fields");
        QTest::newRow("logspec medium") << QByteArray("SET LOGSPEC,1,1,OFF,OFF,DISK,ASCII,ON,OFF")
                                        << QByteArray("ERROR: Invalid logging medium");
        QTest::newRow("pass") << QByteArray("SET PASS,1,1,0,IMM,,,,BURST,1,,") << ok;
        QTest::newRow("pass 9") << QByteArray("SET PASS,9,1,0,IMM,,,,BURST,1,,")
                                << QByteArray("ERROR: Invalid pass number");
        QTest::newRow("pass interval")
            << QByteArray("SET PASS,1,0,0,IMM,,,,BURST,1,,") << QByteArray("ERROR: Invalid interval");
        QTest::newRow("pass start") << QByteArray("SET PASS,1,1,0,SOON,,,,BURST,1,,")
                                    << QByteArray("ERROR: Invalid start condition");
        QTest::newRow("pass shifted by a comma")
            << QByteArray("SET PASS,1,1,0,IMM,a,b,,,BURST,1,,") << QByteArray("ERROR: Too many fields");
        QTest::newRow("unknown") << QByteArray("FORMAT DISK") << QByteArray("ERROR: Unknown command");
        QTest::newRow("scan without channels")
            << QByteArray("SCAN") << QByteArray("ERROR: No channels enabled");
        QTest::newRow("end while idle") << QByteArray("END") << ok;
    }
    void commands() {
        QFETCH(QByteArray, command);
        QFETCH(QByteArray, reply);
        SimInstrument i;
        QCOMPARE(ask(i, "#00 " + command + "\r\n"), reply + "\r\n");
    }

    void recordsAreKeptOnePerChannelAndKind() {
        SimInstrument i;
        for (const char* line : {"SET CHANNEL,002A,ON,OFF,1,0,0,23", "SET CHANNEL,001A,OFF,OFF,1,0,0,23",
                                 "SET CHANNEL,002A,OFF,OFF,3,0,0,23", "SET HYSTERISES,0", "SET HYSTERESIS,1",
                                 "SET PASS,2,1,0,IMM,,,,BURST,1,,", "SET PASS,1,1,0,IMM,,,,BURST,1,,",
                                 "SET CHANNEL,003A,OFF", "SET LOGSPEC,1,1,OFF,OFF,COMM,ASCII,ON,OFF"})
            ask(i, "#00 " + QByteArray(line) + "\r\n");
        const QList<QByteArray> expected = {"SET CHANNEL,001A,OFF,OFF,1,0,0,23",
                                            "SET CHANNEL,002A,OFF,OFF,3,0,0,23",
                                            "SET HYSTERESIS,1",
                                            "SET LOGSPEC,1,1,OFF,OFF,COMM,ASCII,ON,OFF",
                                            "SET PASS,1,1,0,IMM,,,,BURST,1,,",
                                            "SET PASS,2,1,0,IMM,,,,BURST,1,,"};
        QCOMPARE(i.records(), expected);
    }

    void prefixChangeTakesEffectAtOnce() {
        SimInstrument i;
        QCOMPARE(ask(i, "#00 SET COMMAND PREFIX,$\r\n"), QByteArray("OK\r\n"));
        QCOMPARE(ask(i, "#00 SYS\r\n"), QByteArray());
        QCOMPARE(ask(i, "$00 SYS\r\n"), QByteArray("917 Version 1.01\r\n"));
    }

    // The add sequence as the program sends it, with a new address, prefix $ and 19200 baud.
    void addSequenceThenSaveAndReset() {
        SimInstrument i;
        QCOMPARE(ask(i, "#00 SET COMMAND PREFIX,$\r\n"), QByteArray("OK\r\n"));
        QCOMPARE(ask(i, "$00 SET DELIMITERS,@44@00,@13@10\r\n"), QByteArray("OK\r\n"));
        QCOMPARE(ask(i, "$00 SET COMMS,0A,485,19200,ON\r\n"), QByteArray("OK\r\n"));
        const sim::LinkSettings added{"0A", '$', ",", "\r\n", sim::LineMode::RS485, 19200, true};
        QCOMPARE(i.link(), added);
        QCOMPARE(i.savedLink(), sim::LinkSettings{});
        i.receive("$0A SAVE\r\n", 19200, 0);
        QCOMPARE(drain(i, 0), QByteArray("OK\r\n"));
        QCOMPARE(i.savedLink(), added);
        i.reset();
        QCOMPARE(i.link(), added);
    }

    void unsavedChangesAreLostOnReset() {
        SimInstrument i;
        ask(i, "#00 SET CHANNEL,001A,ON,OFF,1,0,0,23\r\n");
        ask(i, "#00 SAVE\r\n");
        ask(i, "#00 SET CHANNEL,001B,ON,OFF,1,0,0,23\r\n");
        ask(i, "#00 SET COMMS,01,232,9600,ON\r\n");
        QCOMPARE(i.records().size(), 2);
        i.reset();
        QCOMPARE(i.records(), QList<QByteArray>{"SET CHANNEL,001A,ON,OFF,1,0,0,23"});
        QCOMPARE(i.link().address, QByteArray("00"));
        QCOMPARE(ask(i, "#00 SYS\r\n"), QByteArray("917 Version 1.01\r\n"));
    }

    void resetDropsPendingRepliesAndStopsLogging() {
        InstrumentConfig c = withChannels();
        c.faults.replyDelayMs = 100;
        SimInstrument i(c);
        i.receive("#00 RUN\r\n", 9600, 0);
        QVERIFY(i.running());
        i.reset();
        QVERIFY(!i.running());
        QCOMPARE(drain(i, 5000), QByteArray());
        QVERIFY(!i.nextDueMs());
    }

    // The reply to SET COMMS goes out at the old settings; the new ones hold from then on.
    void setCommsTakesEffectAfterTheReply() {
        InstrumentConfig c;
        c.faults.replyDelayMs = 100;
        SimInstrument i(c);
        i.receive("#00 SET COMMS,01,232,19200,ON\r\n", 9600, 1000);
        QCOMPARE(i.link().address, QByteArray("00"));
        // Until the reply has left, the instrument is still at its old address and speed.
        i.receive("#01 SYS\r\n", 19200, 1050);
        i.receive("#00 SYS\r\n", 9600, 1050);
        const QList<Emission> out = i.takeDue(1100);
        QCOMPARE(out.size(), 1);
        QCOMPARE(out[0].bytes, QByteArray("OK\r\n"));
        QCOMPARE(out[0].baud, 9600);
        QCOMPARE(i.link().address, QByteArray("01"));
        QCOMPARE(i.link().baud, 19200);
        // The SYS sent at the old settings before the switch is answered at the new speed.
        const QList<Emission> late = i.takeDue(1150);
        QCOMPARE(late.size(), 1);
        QCOMPARE(late[0].baud, 19200);
        i.receive("#01 SYS\r\n", 9600, 1200);
        QCOMPARE(drain(i, 1400), QByteArray());
        i.receive("#01 SYS\r\n", 19200, 1400);
        QCOMPARE(drain(i, 1500), QByteArray("917 Version 1.01\r\n"));
    }

    void bytesAtAnotherSpeedAreNoise() {
        SimInstrument i;
        i.receive("#00 SYS\r\n", 19200, 0);
        QCOMPARE(drain(i, 0), QByteArray());
        // A line begun at the right speed and finished at another is lost too.
        i.receive("#00 S", 9600, 0);
        i.receive("YS\r\n", 4800, 0);
        i.receive("YS\r\n", 9600, 0);
        QCOMPARE(drain(i, 0), QByteArray());
        QCOMPARE(ask(i, "#00 SYS\r\n"), QByteArray("917 Version 1.01\r\n"));
        // Speed unknown: taken as right.
        i.receive("#00 SYS\r\n", 0, 0);
        QCOMPARE(drain(i, 0), QByteArray("917 Version 1.01\r\n"));
    }

    void silentInstrumentStillObeys() {
        InstrumentConfig c;
        c.faults.silent = true;
        SimInstrument i(c);
        i.receive("#00 SET COMMS,03,232,9600,ON\r\n#03 SAVE\r\n", 9600, 0);
        QCOMPARE(drain(i, 10000), QByteArray());
        QVERIFY(!i.nextDueMs());
        QCOMPARE(i.savedLink().address, QByteArray("03"));
    }

    void delayedReply() {
        InstrumentConfig c;
        c.faults.replyDelayMs = 300;
        SimInstrument i(c);
        i.receive("#00 SYS\r\n#00 SAVE\r\n", 9600, 1000);
        QCOMPARE(*i.nextDueMs(), 1300);
        QCOMPARE(drain(i, 1299), QByteArray());
        QCOMPARE(drain(i, 1300), QByteArray("917 Version 1.01\r\nOK\r\n"));
    }

    void replyShapes_data() {
        QTest::addColumn<int>("fault");
        QTest::addColumn<QByteArray>("reply");
        QTest::newRow("no LF") << 0 << QByteArray("917 Version 1.01\r");
        QTest::newRow("CR LF only") << 1 << QByteArray("\r\n");
    }
    void replyShapes() {
        QFETCH(int, fault);
        QFETCH(QByteArray, reply);
        InstrumentConfig c;
        (fault == 0 ? c.faults.noLineFeed : c.faults.emptyReplies) = true;
        SimInstrument i(c);
        QCOMPARE(ask(i, "#00 SYS\r\n"), reply);
    }

    void garbageReply() {
        InstrumentConfig c;
        c.faults.garbageReplies = true;
        SimInstrument i(c);
        const QByteArray reply = ask(i, "#00 SYS\r\n");
        QVERIFY(reply.size() > 2);
        QVERIFY(reply.endsWith("\r\n"));
        QVERIFY(!reply.chopped(2).contains('\r') && !reply.chopped(2).contains('\n'));
        QVERIFY(!reply.contains("917 Version"));
        QVERIFY(ask(i, "#00 SYS\r\n") != reply); // noise, not a fixed text
    }

    void replyInPiecesWithGaps() {
        InstrumentConfig c;
        c.faults.replyPieces = 3;
        c.faults.pieceGapMs = 200;
        SimInstrument i(c);
        i.receive("#00 SYS\r\n", 9600, 0);
        QList<QByteArray> pieces;
        QList<qint64> times;
        for (qint64 t = 0; t <= 1000; t += 50)
            for (const Emission& e : i.takeDue(t)) {
                pieces << e.bytes;
                times << t;
            }
        QCOMPARE(pieces.size(), 3);
        QCOMPARE(pieces.join(), QByteArray("917 Version 1.01\r\n"));
        QCOMPARE(times, (QList<qint64>{0, 200, 400}));
    }

    void setCommsWaitsForTheLastPiece() {
        InstrumentConfig c;
        c.faults.replyPieces = 2;
        c.faults.pieceGapMs = 100;
        SimInstrument i(c);
        i.receive("#00 SET COMMS,01,232,9600,ON\r\n", 9600, 0);
        drain(i, 0);
        QCOMPARE(i.link().address, QByteArray("00"));
        drain(i, 100);
        QCOMPARE(i.link().address, QByteArray("01"));
    }

    void unsolicitedLines() {
        InstrumentConfig c;
        c.faults.unsolicitedEveryMs = 500;
        SimInstrument i(c);
        QCOMPARE(drain(i, 1000), QByteArray()); // the first call starts the clock
        QCOMPARE(drain(i, 1499), QByteArray());
        QCOMPARE(drain(i, 1500), QByteArray("917 ALARM 001A HIGH\r\n"));
        QCOMPARE(drain(i, 2600), QByteArray("917 ALARM 001A HIGH\r\n917 ALARM 001A HIGH\r\n"));
        // A long stall does not bring a burst of them.
        QVERIFY(drain(i, 1'000'000).count('\n') <= 12);
    }

    void vanishHalfwayThroughAReply() {
        InstrumentConfig c;
        c.faults.vanishOnCommand = 2;
        SimInstrument i(c);
        QCOMPARE(ask(i, "#00 SYS\r\n"), QByteArray("917 Version 1.01\r\n"));
        i.receive("#00 SYS\r\n", 9600, 1000);
        const QList<Emission> first = i.takeDue(1000);
        QCOMPARE(first.size(), 1);
        QCOMPARE(first[0].bytes, QByteArray("917 Version 1.01\r\n").left(9));
        QVERIFY(!first[0].vanishAfter);
        const QList<Emission> then = i.takeDue(2000);
        QCOMPARE(then.size(), 1);
        QVERIFY(then[0].vanishAfter);
        QVERIFY(i.vanished());
        QCOMPARE(ask(i, "#00 SYS\r\n", 3000), QByteArray());
    }

    void scanGivesOneLineOfReadings() {
        SimInstrument i(withChannels());
        const QByteArray line = ask(i, "#00 SCAN\r\n", 5000);
        QVERIFY(line.endsWith("\r\n"));
        const QList<QByteArray> values = line.chopped(2).split('\t');
        QCOMPARE(values.size(), 2); // the disabled channel gives nothing
        // Data format 23: three decimals; 32: two. The first stays within its full scale of 100.
        QCOMPARE(values[0].size() - values[0].indexOf('.') - 1, 3);
        QCOMPARE(values[1].size() - values[1].indexOf('.') - 1, 2);
        QVERIFY(values[0].toDouble() >= 0 && values[0].toDouble() <= 100);
        // The instrument's separator and terminator, once set, shape the line.
        ask(i, "#00 SET DELIMITERS,@44@00,@13@00\r\n", 5000);
        const QByteArray comma = ask(i, "#00 SCAN\r\n", 6000);
        QVERIFY(comma.endsWith("\r") && !comma.contains('\n'));
        QCOMPARE(comma.count(','), 1);
    }

    void readingsVaryAndClampToTheFormat() {
        InstrumentConfig c;
        c.records = {"SET CHANNEL,001A,ON,OFF,1,0,0,23,", "SET CHANNEL,001B,ON,OFF,1E6,0,0,11,"};
        SimInstrument i(c);
        QSet<QByteArray> seen;
        for (qint64 t = 0; t < 60000; t += 5000) {
            const QList<QByteArray> v = i.readingsLine(t).trimmed().split('\t');
            QCOMPARE(v.size(), 2);
            seen.insert(v[0]);
            QCOMPARE(v[1], QByteArray("9.9")); // 1E6 times the reading, held to one digit each side
        }
        QVERIFY(seen.size() > 5);
    }

    void runSendsReadingsAtTheIntervalUntilEnd() {
        SimInstrument i(withChannels());
        i.receive("#00 RUN\r\n", 9600, 10000);
        QVERIFY(i.running());
        QCOMPARE(drain(i, 10000).count("\r\n"), 1); // the first line answers RUN
        QCOMPARE(*i.nextDueMs(), 10500);
        QCOMPARE(drain(i, 10499), QByteArray());
        QCOMPARE(drain(i, 10500).count("\r\n"), 1);
        QCOMPARE(drain(i, 11600).count("\r\n"), 2);
        QCOMPARE(ask(i, "#00 RUN\r\n", 11600), QByteArray("ERROR: Already running\r\n"));
        QCOMPARE(ask(i, "#00 END\r\n", 11700), QByteArray("OK\r\n"));
        QVERIFY(!i.running());
        QCOMPARE(drain(i, 20000), QByteArray());
    }

    void runWithoutChannelsRefuses() {
        SimInstrument i;
        QCOMPARE(ask(i, "#00 RUN\r\n"), QByteArray("ERROR: No channels enabled\r\n"));
        QVERIFY(!i.running());
    }

    void runLogsElapsedTimeWhenAsked() {
        InstrumentConfig c = withChannels();
        c.records << "SET LOGSPEC,1,1,OFF,ON,COMM,ASCII,ON,OFF";
        SimInstrument i(c);
        i.receive("#00 RUN\r\n", 9600, 0);
        QVERIFY(drain(i, 0).startsWith("0.00\t"));
        QVERIFY(drain(i, 500).startsWith("0.50\t"));
    }

    void badConfiguredRecordsAreIgnored() {
        InstrumentConfig c;
        c.records = {"SET CHANNEL,999Z,ON", "SET HYSTERESIS,1", "HELLO"};
        SimInstrument i(c);
        QCOMPARE(i.savedRecords(), QList<QByteArray>{"SET HYSTERESIS,1"});
    }
};

// Several instruments on one line.
class TestSimNetwork : public QObject {
    Q_OBJECT

private slots:
    void eachAnswersOnlyItsOwnAddress() {
        InstrumentConfig a;
        InstrumentConfig b;
        b.link.address = "05";
        b.identification = "917 Version 2.00";
        sim::SimNetwork net({a, b});
        net.receive("#05 SYS\r\n#07 SYS\r\n", 9600, 0);
        net.receive("#00 SYS\r\n", 9600, 1);
        // The line carries the answers in the order they became due.
        QCOMPARE(net.takeDue(1, 9600).bytes, QByteArray("917 Version 2.00\r\n917 Version 1.01\r\n"));
        QCOMPARE(net.instrument(0).commandsHandled(), 1);
        QCOMPARE(net.instrument(1).commandsHandled(), 1);
    }

    void repliesInTimeOrderAcrossInstruments() {
        InstrumentConfig slow;
        slow.faults.replyDelayMs = 200;
        InstrumentConfig fast;
        fast.link.address = "01";
        fast.identification = "fast";
        sim::SimNetwork net({slow, fast});
        net.receive("#00 SYS\r\n", 9600, 0);
        net.receive("#01 SYS\r\n", 9600, 100);
        QCOMPARE(*net.nextDueMs(), 100);
        QCOMPARE(net.takeDue(300, 9600).bytes, QByteArray("fast\r\n917 Version 1.01\r\n"));
    }

    void theProgramHearsNoiseAtAnotherSpeed() {
        sim::SimNetwork net({InstrumentConfig{}});
        net.receive("#00 SYS\r\n", 9600, 0);
        const QByteArray heard = net.takeDue(0, 19200).bytes;
        QCOMPARE(heard.size(), 18);
        QVERIFY(!heard.contains('\n') && !heard.contains('\r'));
        QCOMPARE(heard, sim::garble("917 Version 1.01\r\n"));
    }

    void trafficLog() {
        sim::SimNetwork net({InstrumentConfig{}});
        net.receive("#00 SY", 9600, 10);
        net.receive("S\r\n", 9600, 11);
        net.takeDue(12, 4800);
        const QList<sim::TrafficEntry> log = net.traffic();
        QCOMPARE(log.size(), 3);
        QCOMPARE(log[0].direction, sim::TrafficEntry::In);
        QCOMPARE(log[0].timeMs, 10);
        QCOMPARE(log[1].bytes, QByteArray("S\r\n"));
        QCOMPARE(log[2].direction, sim::TrafficEntry::Out);
        QCOMPARE(log[2].timeMs, 12);
        QCOMPARE(log[2].baud, 9600);
        QVERIFY(log[2].garbled);
        net.clearTraffic();
        QVERIFY(net.traffic().isEmpty());
    }

    void trafficLogIsBounded() {
        sim::SimNetwork net;
        for (qsizetype n = 0; n < sim::SimNetwork::maxTrafficEntries + 10; ++n)
            net.receive(QByteArray::number(n), 9600, n);
        QVERIFY(net.traffic().size() <= sim::SimNetwork::maxTrafficEntries);
        QCOMPARE(net.traffic().last().bytes, QByteArray::number(sim::SimNetwork::maxTrafficEntries + 9));
    }

    void vanishEndsTheLine() {
        InstrumentConfig a;
        a.faults.vanishOnCommand = 1;
        InstrumentConfig b;
        b.link.address = "01";
        b.faults.unsolicitedEveryMs = 10;
        sim::SimNetwork net({a, b});
        net.takeDue(0, 9600);
        net.receive("#00 SYS\r\n", 9600, 0);
        const auto out = net.takeDue(100, 9600);
        QVERIFY(out.vanish);
    }
};

int main(int argc, char* argv[]) {
    QCoreApplication app(argc, argv);
    int status = 0;
    {
        TestSimInstrument t;
        status |= QTest::qExec(&t, argc, argv);
    }
    {
        TestSimNetwork t;
        status |= QTest::qExec(&t, argc, argv);
    }
    return status;
}

#include "test_siminstrument.moc"
