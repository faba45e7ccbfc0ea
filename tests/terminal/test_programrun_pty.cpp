#include "ConfigFile.h"
#include "ConfigTree.h"
#include "Positional.h"
#include "ProgramRun.h"
#include "ProgramTranscript.h"
#include "SimNetworkFixture.h"
#include "SimOptions.h"
#include "Unit0.h"

#include <QtTest>

namespace {

constexpr int kInstruments = 32;

// Instrument n (from 1) answers at the address written as n in decimal, "01" to "32": instrument 17
// is address 17.
QString addressOf(int n) {
    return QStringLiteral("%1").arg(n, 2, 10, QLatin1Char('0'));
}

// Each instrument's records differ, so a line sent to the wrong one would be seen.
QStringList recordsOf(int n) {
    return {QStringLiteral("SET CHANNEL,001A,ON,OFF,%1,0,0,23,100").arg(n),
            QStringLiteral("SET CHANNEL,001B,ON,OFF,1,%1,0,23,").arg(n),
            QStringLiteral("SET HYSTERESIS,%1").arg(n),
            QStringLiteral("SET LOGSPEC,1,1,OFF,OFF,COMM,ASCII,ON,OFF"),
            QStringLiteral("SET PASS,1,%1,0,IMM,,,,BURST,1,,").arg(n)};
}

// What a saved instrument holds: the records as sent, the channel lines without their last field.
QList<QByteArray> heldRecords(int n) {
    QList<QByteArray> out;
    for (const QString& r : recordsOf(n))
        out.append((r.startsWith(QStringLiteral("SET CHANNEL")) ? cutFinalField(r) : r).toLatin1());
    return out;
}

QList<sim::InstrumentConfig> network(const QString& faultyDescription, int faulty) {
    QList<sim::InstrumentConfig> out;
    for (int n = 1; n <= kInstruments; ++n) {
        sim::InstrumentConfig c = SimNetworkFixture::instrument(addressOf(n).toLatin1());
        if (n == faulty)
            sim::parseInstrumentDescription(faultyDescription, c, nullptr);
        out.append(c);
    }
    return out;
}

// "17:failed at line 5: no reply", "18-32:not started": the rows not saved.
QStringList expectedStatuses(const QStringList& exceptions) {
    QStringList out(kInstruments, QStringLiteral("saved"));
    for (const QString& e : exceptions) {
        const qsizetype colon = e.indexOf(':');
        const QStringList range = e.left(colon).split('-');
        for (int n = range.first().toInt(); n <= range.last().toInt(); ++n)
            out[n - 1] = e.mid(colon + 1);
    }
    return out;
}

} // namespace

class TestProgramRunPty : public QObject {
    Q_OBJECT
private slots:
    void runOverTheNetwork_data() {
        QTest::addColumn<bool>("carryOn");
        QTest::addColumn<bool>("checkFirst");
        QTest::addColumn<QString>("fault"); // of instrument 17
        QTest::addColumn<int>("cancelAtInstrument");
        QTest::addColumn<int>("cancelAtLine");
        QTest::addColumn<QStringList>("exceptions");
        QTest::addColumn<QString>("summary");
        QTest::newRow("all 32") << true << false << QString() << 0 << 0 << QStringList()
                                << "32 of 32 instruments programmed and saved";
        QTest::newRow("17 silent from line 5, carry on")
            << true << false << "silent-from=5" << 0 << 0 << QStringList({"17:failed at line 5: no reply"})
            << "31 of 32 instruments programmed and saved; 17 failed at line 5 (no reply)";
        QTest::newRow("17 silent from line 5, stop on failure")
            << false << false << "silent-from=5" << 0 << 0
            << QStringList({"17:failed at line 5: no reply", "18-32:not started"})
            << "16 of 32 instruments programmed and saved; 17 failed at line 5 (no reply); 15 not started";
        QTest::newRow("stopped at instrument 5, line 3")
            << true << false << QString() << 5 << 3
            << QStringList({"5:stopped at line 3: not saved", "6-32:not started"})
            << "4 of 32 instruments programmed and saved; 05 stopped at line 3 (not saved); 27 not started";
        QTest::newRow("checked first, 17 is something else")
            << true << true << "id=917X Version 1.01" << 0 << 0 << QStringList({"17:no 917 at this address"})
            << "31 of 32 instruments programmed and saved; 17: no 917 at this address";
    }
    void runOverTheNetwork() {
        QFETCH(bool, carryOn);
        QFETCH(bool, checkFirst);
        QFETCH(QString, fault);
        QFETCH(int, cancelAtInstrument);
        QFETCH(int, cancelAtLine);
        QFETCH(QStringList, exceptions);
        QFETCH(QString, summary);

        SimNetworkFixture net(network(fault, 17));
        QVERIFY2(net.ok(), qPrintable(net.error()));
        TForm0 form0(std::make_unique<platform::QtSerialPort>(net.portMap()));
        QVERIFY(form0.ApplySettings());
        ConfigTree tree;
        tree.resetToStartup();
        for (int n = 1; n <= kInstruments; ++n) {
            ConfigNode* node =
                tree.appendRoot(positional::instrumentNodeText(addressOf(n), "917 Version 1.01"));
            ConfigNode* channels = tree.appendChild(node, "Channel Configuration");
            ConfigNode* logging = tree.appendChild(node, "Data Logging Parameters");
            const QStringList records = recordsOf(n);
            for (const QString& r : records)
                tree.appendChild(r.startsWith(QStringLiteral("SET CHANNEL")) ? channels : logging, r);
        }

        ProgramRun run(form0.Comms, programTargets(tree, "#"));
        run.options.carryOn = carryOn;
        run.options.checkFirst = checkFirst;
        run.progress = [&](int row, int line, int) {
            if (row + 1 == cancelAtInstrument && line == cancelAtLine)
                run.cancel();
        };
        ProgramTranscript transcript(form0.Comms.linkClock());
        transcript.start(programReportHeader(tree, form0.Settings, form0.Comms.state()));
        run.run({}, &transcript);

        const QStringList expected = expectedStatuses(exceptions);
        for (int n = 1; n <= kInstruments; ++n) {
            QCOMPARE(run.status(n - 1).text(), expected[n - 1]);
            // Only an instrument that was saved holds the file's records after a power cycle.
            net.resetInstrument(n - 1);
            QCOMPARE(net.records(n - 1), expected[n - 1] == "saved" ? heldRecords(n) : QList<QByteArray>());
        }
        QCOMPARE(run.summary(), summary);

        // The report's exchanges are exactly what the instruments received, in order, and every
        // instrument of the run has its result.
        const QStringList report = transcript.lines();
        QStringList sent;
        QStringList results;
        for (const QString& line : report) {
            const QStringList columns = line.split('\t');
            if (columns.size() == 4)
                sent.append(columns[1]);
            if (line.startsWith(QStringLiteral("Result: ")))
                results.append(line);
        }
        QStringList received;
        for (const QByteArray& line : net.receivedLines())
            received.append(QString::fromLatin1(line.chopped(2)));
        QCOMPARE(sent, received);
        QCOMPARE(results.size(), kInstruments);
        for (int n = 1; n <= kInstruments; ++n)
            QVERIFY2(results.contains(QStringLiteral("Result: %1 %2").arg(addressOf(n), expected[n - 1])),
                     qPrintable(addressOf(n)));
        QCOMPARE(report.last(), "Summary: " + summary);
        QVERIFY(report.contains(
            QStringLiteral("Configuration SHA-256: ") +
            QCryptographicHash::hash(serializeConfig(tree), QCryptographicHash::Sha256).toHex()));
        if (!exceptions.isEmpty() && exceptions.first().startsWith(QStringLiteral("17:failed")))
            QVERIFY(report.indexOf(QRegularExpression(
                        "^\\d+\t#17 SET PASS,1,17,0,IMM,,,,BURST,1,,\t\\(no reply\\)\t\\d+$")) >= 0);
        if (cancelAtInstrument)
            QVERIFY(!received.contains(QStringLiteral("#05 SAVE")));

        // Retry Failed: the instruments not saved are programmed again, in the same report, and the
        // summary covers every instrument chosen. Something that is not a 917 stays refused.
        for (int n = 1; n <= kInstruments; ++n)
            net.setFaults(n - 1, {});
        net.clearTraffic();
        run.progress = nullptr;
        run.clearCancel();
        const QList<int> again = run.unsuccessfulRows();
        transcript.startAgain("Retry");
        run.retry(&transcript);
        const QString after =
            checkFirst ? summary : QStringLiteral("32 of 32 instruments programmed and saved");
        QCOMPARE(run.summary(), after);
        QCOMPARE(net.receivedLines().size(), qsizetype(again.size()) * (checkFirst ? 1 : 6));
        QCOMPARE(transcript.lines().last(), "Summary: " + after);
        QCOMPARE(transcript.lines().mid(0, report.size() - 2), report.mid(0, report.size() - 2));
    }
};

QTEST_GUILESS_MAIN(TestProgramRunPty)
#include "test_programrun_pty.moc"
