#include "CpuTime.h"
#include "KovComms.h"
#include "SerialPort.h"
#include "SimNetworkFixture.h"
#include "SimOptions.h"

#include <QDir>
#include <QTemporaryDir>
#include <QtTest>

#include <sys/resource.h>

namespace {

std::unique_ptr<TKovComms> openLink(SimNetworkFixture& net) {
    auto comms = std::make_unique<TKovComms>(std::make_unique<platform::QtSerialPort>(net.portMap()));
    comms->Open();
    return comms;
}

QString exchange(TKovComms& comms, const QString& line) {
    comms.SendText(line + "\r\n");
    return comms.ReadReply();
}

int entriesIn(const QString& dir) {
    return int(QDir(dir).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::System).size());
}

sim::InstrumentConfig described(const QString& description) {
    sim::InstrumentConfig c;
    QString error;
    if (!sim::parseInstrumentDescription(description, c, &error))
        qFatal("bad description %s: %s", qPrintable(description), qPrintable(error));
    return c;
}

} // namespace

// The serial link on the simulated network through a real pseudo-terminal, as the program runs it.
class TestSimPty : public QObject {
    Q_OBJECT

private slots:
    void findAnInstrumentWithSys() {
        SimNetworkFixture net;
        QVERIFY2(net.ok(), qPrintable(net.error()));
        auto comms = openLink(net);
        QVERIFY(comms->IsOpen());
        QCOMPARE(exchange(*comms, "#00 SYS"), QString("917 Version 1.01"));
        QCOMPARE(net.receivedLines(), QList<QByteArray>{"#00 SYS\r\n"});
        QCOMPARE(net.sent(), QByteArray("917 Version 1.01\r\n"));
    }

    void silentAddressTimesOut() {
        SimNetworkFixture net;
        auto comms = openLink(net);
        comms->setOutputTimeout(250);
        QElapsedTimer t;
        t.start();
        QCOMPARE(exchange(*comms, "#07 SYS"), QString());
        QVERIFY(t.elapsed() >= 230); // room for the two clocks' rounding
        QCOMPARE(net.commandsHandled(0), 0);
    }

    // A scan as the program runs it: each address once, only the two instruments answer.
    void twoInstrumentsAnswerOnlyTheirOwnAddresses() {
        SimNetworkFixture net(
            {SimNetworkFixture::instrument("00"), SimNetworkFixture::instrument("05", "917 Version 2.00")});
        QVERIFY(net.ok());
        auto comms = openLink(net);
        comms->setOutputTimeout(250);
        QStringList found;
        for (int n = 0; n <= 7; ++n) {
            const QString address = QStringLiteral("%1").arg(n, 2, 16, QChar('0')).toUpper();
            const QString reply = exchange(*comms, "#" + address + " SYS");
            if (!reply.isEmpty())
                found << address + " " + reply;
        }
        QCOMPARE(found, (QStringList{"00 917 Version 1.01", "05 917 Version 2.00"}));
        QCOMPARE(net.commandsHandled(0), 1);
        QCOMPARE(net.commandsHandled(1), 1);
    }

    // The add sequence: the last set-up reply comes at the old settings, SAVE goes at the new ones.
    void setCommsTakesEffectAfterTheReply() {
        SimNetworkFixture net;
        auto comms = openLink(net);
        QCOMPARE(exchange(*comms, "#00 SYS"), QString("917 Version 1.01"));
        QCOMPARE(exchange(*comms, "#00 SET COMMAND PREFIX,#"), QString("OK"));
        QCOMPARE(exchange(*comms, "#00 SET DELIMITERS,@09@00,@13@10"), QString("OK"));
        QCOMPARE(exchange(*comms, "#00 SET COMMS,01,232,19200,ON"), QString("OK"));
        comms->setComSpeed(TComSpeed::br19200);
        QCOMPARE(exchange(*comms, "#01 SAVE"), QString("OK"));
        QCOMPARE(net.savedLink(0).address, QByteArray("01"));
        QCOMPARE(net.savedLink(0).baud, 19200);

        // The old speed no longer reaches it.
        comms->setComSpeed(TComSpeed::br9600);
        comms->setOutputTimeout(300);
        QCOMPARE(exchange(*comms, "#01 SYS"), QString());
        const QList<sim::TrafficEntry> log = net.traffic();
        QCOMPARE(log.last().direction, sim::TrafficEntry::In);
        QCOMPARE(log.last().baud, 9600);
        // A power cycle keeps what was saved.
        net.resetInstrument(0);
        comms->setComSpeed(TComSpeed::br19200);
        QCOMPARE(exchange(*comms, "#01 SYS"), QString("917 Version 1.01"));
    }

    void unsavedSettingsAreLostOnReset() {
        SimNetworkFixture net;
        auto comms = openLink(net);
        QCOMPARE(exchange(*comms, "#00 SET COMMS,02,485,9600,ON"), QString("OK"));
        QCOMPARE(exchange(*comms, "#02 SET CHANNEL,001A,ON,OFF,1,0,0,23"), QString("OK"));
        net.resetInstrument(0);
        QCOMPARE(net.link(0).address, QByteArray("00"));
        QVERIFY(net.records(0).isEmpty());
        QCOMPARE(exchange(*comms, "#00 SYS"), QString("917 Version 1.01"));
    }

    void bytesAtAnotherSpeedAreIgnored() {
        SimNetworkFixture net;
        auto comms = openLink(net);
        comms->setComSpeed(TComSpeed::br38400);
        comms->setOutputTimeout(300);
        QCOMPARE(exchange(*comms, "#00 SYS"), QString());
        QCOMPARE(net.commandsHandled(0), 0);
        QCOMPARE(net.traffic().first().baud, 38400);
        comms->setComSpeed(TComSpeed::br9600);
        QCOMPARE(exchange(*comms, "#00 SYS"), QString("917 Version 1.01"));
    }

    // A program at the wrong speed hears noise from the instrument, never a line.
    void instrumentAtAnotherSpeedIsNoise() {
        SimNetworkFixture net({described("unsolicited=50")});
        auto comms = openLink(net);
        comms->setComSpeed(TComSpeed::br1200);
        QByteArray heard;
        comms->setOnReceiveData([&](TKovComms*, const char* d, qint32 n) { heard.append(d, n); });
        QTRY_VERIFY(heard.size() >= 40);
        QVERIFY(!heard.contains('\n'));
        QVERIFY(!heard.contains("ALARM"));
    }

    void programmingStoresTheRecords() {
        SimNetworkFixture net;
        auto comms = openLink(net);
        const QStringList lines = {"#00 SET CHANNEL,001A,OFF,OFF,1,0,0,23", "#00 SET HYSTERISES,0",
                                   "#00 SET LOGSPEC,1,1,OFF,OFF,COMM,ASCII,ON,OFF",
                                   "#00 SET PASS,1,1,0,IMM,,,,BURST,1,,"};
        for (const QString& line : lines)
            QCOMPARE(exchange(*comms, line), QString("OK"));
        QVERIFY(net.savedRecords(0).isEmpty());
        QCOMPARE(exchange(*comms, "#00 SAVE"), QString("OK"));
        QList<QByteArray> expected;
        for (const QString& line : lines)
            expected << line.mid(4).toLatin1();
        QCOMPARE(net.savedRecords(0), expected);
        // An instrument's error text is still one reply line.
        QCOMPARE(exchange(*comms, "#00 SET PASS,1,x"), QString("ERROR: Missing fields"));
    }

    void faults_data() {
        QTest::addColumn<QString>("description");
        QTest::addColumn<int>("timeoutMs");
        QTest::addColumn<QString>("reply"); // "*" for any text without "917 Version"
        // Elapsed times only from below, with room for the two clocks' rounding: a loaded machine may
        // take any longer.
        QTest::addColumn<int>("atLeastMs");
        QTest::newRow("delayed") << "delay=400" << 1000 << "917 Version 1.01" << 380;
        QTest::newRow("in pieces with gaps") << "pieces=4;gap=150" << 300 << "917 Version 1.01" << 400;
        QTest::newRow("delayed past the time-out") << "delay=600" << 300 << "" << 280;
        QTest::newRow("no LF") << "nolf" << 300 << "" << 280;
        QTest::newRow("CR LF only") << "empty" << 2000 << "" << 0;
        QTest::newRow("garbage") << "garbage" << 1000 << "*" << 0;
        QTest::newRow("silent") << "silent" << 300 << "" << 280;
    }
    void faults() {
        QFETCH(QString, description);
        QFETCH(int, timeoutMs);
        QFETCH(QString, reply);
        QFETCH(int, atLeastMs);
        SimNetworkFixture net({described(description)});
        auto comms = openLink(net);
        comms->setOutputTimeout(quint16(timeoutMs));
        QElapsedTimer t;
        t.start();
        const QString got = exchange(*comms, "#00 SYS");
        const qint64 took = t.elapsed();
        if (reply == "*") {
            QVERIFY(!got.isEmpty());
            QVERIFY(!got.contains("917 Version"));
        } else {
            QCOMPARE(got, reply);
        }
        QVERIFY2(took >= atLeastMs, qPrintable(QString::number(took)));
    }

    void unsolicitedLinesArriveThroughThePoll() {
        SimNetworkFixture net({described("unsolicited=100;unsolicited-text=917 ALARM 002B LOW")});
        auto comms = openLink(net);
        QByteArray polled;
        comms->setOnReceiveData([&](TKovComms*, const char* d, qint32 n) { polled.append(d, n); });
        QTRY_VERIFY(polled.count("917 ALARM 002B LOW\r\n") >= 2);
    }

    void runAndEnd() {
        SimNetworkFixture net({described("record=SET CHANNEL,001A,ON,OFF,1,0,0,23,;"
                                         "record=SET CHANNEL,001B,ON,OFF,1,0,0,32,;"
                                         "record=SET PASS,1,0.1,0,IMM,,,,BURST,1,,")});
        auto comms = openLink(net);
        QByteArray polled;
        comms->setOnReceiveData([&](TKovComms*, const char* d, qint32 n) { polled.append(d, n); });
        comms->SendText("#00 RUN\r\n");
        QTRY_VERIFY(polled.count("\r\n") >= 4);
        for (const QByteArray& line : polled.split('\n').mid(0, 4)) {
            QCOMPARE(line.count('\t'), 1);
            QVERIFY(line.endsWith('\r'));
        }
        comms->SendText("#00 END\r\n");
        QTRY_VERIFY(polled.endsWith("OK\r\n"));
        QVERIFY(!net.running(0));
    }

    void deviceVanishesMidExchange() {
        SimNetworkFixture net({described("vanish=2")});
        auto comms = openLink(net);
        QCOMPARE(exchange(*comms, "#00 SYS"), QString("917 Version 1.01"));
        QCOMPARE(exchange(*comms, "#00 SYS"), QString());
        QVERIFY(net.pty().vanished());
        QTRY_VERIFY(!comms->IsOpen());
        // Gone for good: the program idles instead of spinning. (Whether the device node is gone
        // cannot be told here: a test running beside this one may get the same pty number.)
        const double cpu0 = cpuSeconds();
        QTest::qWait(300);
        QVERIFY2(cpuSeconds() - cpu0 < 0.2, "the event loop spun after the device went away");
    }

    void linkToTheDevice() {
        QTemporaryDir dir;
        const QString link = dir.filePath("ttySIM");
        const QString file = dir.filePath("taken");
        {
            QFile f(file);
            QVERIFY(f.open(QIODevice::WriteOnly));
        }
        {
            SimNetworkFixture net;
            QString error;
            QVERIFY(!net.pty().setLink(file, &error)); // never replaces a file of someone else's
            QVERIFY(!error.isEmpty());
            QVERIFY(net.pty().setLink(link, &error));
            QCOMPARE(QFileInfo(link).symLinkTarget(), net.slavePath());
            platform::PortMap map;
            map.setDevice("COM2", link);
            TKovComms comms(std::make_unique<platform::QtSerialPort>(map));
            comms.setComPort(TComPort::Com2);
            QVERIFY(comms.Open());
            QCOMPARE(exchange(comms, "#00 SYS"), QString("917 Version 1.01"));
        }
        QVERIFY(!QFileInfo(link).isSymLink());
        QVERIFY(QFile::exists(file));
    }

    // Start, use and stop a few times: no thread and no descriptor outlives its server.
    void stopLeavesNothingBehind() {
        auto cycle = [] {
            SimNetworkFixture net;
            auto comms = openLink(net);
            comms->setOutputTimeout(500);
            const QString reply = exchange(*comms, "#00 SYS");
            comms.reset();
            return reply;
        };
        QCOMPARE(cycle(), QString("917 Version 1.01")); // Qt's own first-use allocations happen here
        const int threads = entriesIn("/proc/self/task");
        const int fds = entriesIn("/proc/self/fd");
        for (int n = 0; n < 3; ++n)
            QCOMPARE(cycle(), QString("917 Version 1.01"));
        QCOMPARE(entriesIn("/proc/self/task"), threads);
        QCOMPARE(entriesIn("/proc/self/fd"), fds);
    }

    // What a user meets in demo mode: a new instrument at 00, a configured one at 05 that scans.
    void demoNetwork() {
        std::unique_ptr<sim::SimPtyServer> demo = sim::startDemoServer(nullptr);
        QVERIFY(demo);
        platform::PortMap map;
        map.setDevice("COM1", demo->slavePath());
        TKovComms comms(std::make_unique<platform::QtSerialPort>(map));
        QVERIFY(comms.Open());
        QVERIFY(exchange(comms, "#00 SYS").contains("917 Version"));
        QVERIFY(exchange(comms, "#05 SYS").contains("917 Version"));
        const QStringList readings = exchange(comms, "#05 SCAN").split('\t');
        QCOMPARE(readings.size(), 4); // elapsed time and three enabled channels
        for (const QString& r : readings) {
            bool number = false;
            r.toDouble(&number);
            QVERIFY2(number, qPrintable(r));
        }
    }

    void stopIsPromptAndRepeatable() {
        sim::SimPtyServer server(std::make_unique<sim::SimNetwork>(sim::demoInstruments()));
        QVERIFY(server.start());
        QVERIFY(!server.start()); // one pseudo-terminal at a time
        server.stop();
        QVERIFY(!server.running());
        server.stop();
        QVERIFY(server.start());
        QVERIFY(QFile::exists(server.slavePath()));
    }
};

QTEST_MAIN(TestSimPty)
#include "test_simpty.moc"
