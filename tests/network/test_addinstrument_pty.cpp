#include "AddInstrument.h"
#include "ConfigTree.h"
#include "FakeCommandParts.h"
#include "FakeDialogs.h"
#include "Positional.h"
#include "SimNetworkFixture.h"
#include "Sound.h"
#include "Unit3.h"
#include "Unit4.h"

#include <QLineEdit>
#include <QPushButton>
#include <QtTest>

namespace {

InstrumentFields fieldsOf(const char* a, const char* m, const char* s, const char* n) {
    return {QString::fromLatin1(a), QString::fromLatin1(m), QString::fromLatin1(s), QString::fromLatin1(n)};
}

// The program side: the shared form with a real serial port on the simulator's pseudo-terminal.
struct Program {
    FakeDialogs dialogs;
    platform::SilentSound sound;
    TForm0 form0;
    Services svc{form0, dialogs, sound};
    ConfigTree tree;
    NoStatus status;

    explicit Program(const SimNetworkFixture& net)
        : form0(std::make_unique<platform::QtSerialPort>(net.portMap())) {
        tree.resetToStartup();
        form0.ApplySettings();
    }
    // One presence query with a short wait; the link's time-out is left as it was.
    QString ask(const QString& line) {
        const quint16 before = form0.Comms.OutputTimeout();
        form0.Comms.setOutputTimeout(400);
        form0.Comms.SendText(line);
        const QString reply = form0.Comms.ReadReply();
        form0.Comms.setOutputTimeout(before);
        return reply;
    }
};

// The speed each line from the program went at.
QList<qint32> receivedBauds(const SimNetworkFixture& net) {
    QList<qint32> out;
    QByteArray line;
    for (const sim::TrafficEntry& e : net.traffic()) {
        if (e.direction != sim::TrafficEntry::In)
            continue;
        line += e.bytes;
        if (line.endsWith('\n')) {
            out.append(e.baud);
            line.clear();
        }
    }
    return out;
}

} // namespace

// Find, add and scan against simulated instruments through a real pseudo-terminal.
class TestAddInstrumentPty : public QObject {
    Q_OBJECT

private slots:
    void defaultsGiveTheDocumentedTraffic() {
        SimNetworkFixture net;
        QVERIFY2(net.ok(), qPrintable(net.error()));
        Program p(net);
        QCOMPARE(findInstrument(p.svc, nullptr, fieldsOf("00", "0", "4", "01")), FindOutcome::Located);
        QCOMPARE(p.form0.Settings.InstrumentIdentification, QString("917 Version 1.01"));
        QCOMPARE(addInstrument(p.svc, p.tree, p.status, fieldsOf("00", "0", "4", "01")), AddOutcome::Added);
        QCOMPARE(net.receivedLines(),
                 (QList<QByteArray>{"#00 SYS\r\n", "#00 SET COMMAND PREFIX,#\r\n",
                                    "#00 SET DELIMITERS,@09@00,@13@10\r\n",
                                    "#00 SET COMMS,01,232,9600,ON\r\n", "#01 SAVE\r\n"}));
        QCOMPARE(net.savedLink(0).address, QByteArray("01"));
        QCOMPARE(positional::listEntries(p.tree), QStringList({"01 (917 Version 1.01)"}));

        QCOMPARE(p.ask("#01 SYS\r\n"), QString("917 Version 1.01"));
        QCOMPARE(p.ask("#00 SYS\r\n"), QString());
    }

    void anInstrumentAtAnotherSpeedIsFoundOnlyAtItsOwn() {
        SimNetworkFixture net({SimNetworkFixture::instrument("00", "917 Version 1.01", 2400)});
        QVERIFY2(net.ok(), qPrintable(net.error()));
        Program p(net);
        QCOMPARE(findInstrument(p.svc, nullptr, fieldsOf("00", "0", "4", "01")), FindOutcome::NoResponse);
        QCOMPARE(findInstrument(p.svc, nullptr, fieldsOf("00", "0", "2", "01")), FindOutcome::Located);
        net.clearTraffic();
        QCOMPARE(addInstrument(p.svc, p.tree, p.status, fieldsOf("00", "0", "2", "01")), AddOutcome::Added);
        QCOMPARE(receivedBauds(net), QList<qint32>({2400, 2400, 2400, 9600}));
        QCOMPARE(net.link(0).baud, 9600);
        QVERIFY(!p.ask("#01 SYS\r\n").isEmpty());
    }

    void anotherPrefixOnlyAfterTheFirstLine() {
        SimNetworkFixture net;
        QVERIFY2(net.ok(), qPrintable(net.error()));
        Program p(net);
        p.form0.Settings.HostCommandPrefix = "$";
        p.form0.Settings.InstrumentIdentification = "917 Version 1.01";
        QCOMPARE(addInstrument(p.svc, p.tree, p.status, fieldsOf("00", "0", "4", "01")), AddOutcome::Added);
        const QList<QByteArray> lines = net.receivedLines();
        QCOMPARE(lines.size(), 4);
        QVERIFY(lines[0].startsWith("#00 SET COMMAND PREFIX,$"));
        QVERIFY(lines[1].startsWith("$00 SET DELIMITERS,"));
        QVERIFY(lines[2].startsWith("$00 SET COMMS,"));
        QCOMPARE(lines[3], QByteArray("$01 SAVE\r\n"));
        QCOMPARE(net.savedLink(0).prefix, '$');
        QVERIFY(!p.ask("$01 SYS\r\n").isEmpty());
    }

    void failedFindsLeaveOkDisabled() {
        SimNetworkFixture net({SimNetworkFixture::instrument("00", "918 Version 4.2")});
        QVERIFY2(net.ok(), qPrintable(net.error()));
        Program p(net);
        TForm3 form(p.svc);
        form.show();
        QVERIFY(QTest::qWaitForWindowActive(&form));
        auto* find = form.findChild<QPushButton*>("Button1");
        auto* ok = form.findChild<QPushButton*>("OKBtn");
        QTest::mouseClick(find, Qt::LeftButton);
        QCOMPARE(p.dialogs.errors.value(0),
                 QString("Instrument type does not match, please check settings and try again"));
        QVERIFY(!ok->isEnabled());

        sim::Faults silent;
        silent.silent = true;
        net.setFaults(0, silent);
        QTest::mouseClick(find, Qt::LeftButton);
        QCOMPARE(p.dialogs.errors.value(1),
                 QString("No response received from the instrument, please check settings and try again"));
        QVERIFY(!ok->isEnabled());
        QVERIFY(p.form0.Settings.InstrumentIdentification.isEmpty());
        QCOMPARE(p.form0.Comms.ComSpeed(), TComSpeed::br9600);
    }

    void duplicateLeavesTreeAndLineAlone() {
        SimNetworkFixture net;
        QVERIFY2(net.ok(), qPrintable(net.error()));
        Program p(net);
        p.tree.appendRoot(positional::instrumentNodeText("01", "917 Version 1.01"));
        const int nodes = p.tree.nodeCount();
        QCOMPARE(addInstrument(p.svc, p.tree, p.status, fieldsOf("00", "0", "4", "01")),
                 AddOutcome::Duplicate);
        QCOMPARE(p.tree.nodeCount(), nodes);
        QVERIFY(net.received().isEmpty());
        QCOMPARE(net.link(0).address, QByteArray("00"));
    }

    void scanFindsTheAnsweringAddresses() {
        SimNetworkFixture net({SimNetworkFixture::instrument("0A"), SimNetworkFixture::instrument("03")});
        QVERIFY2(net.ok(), qPrintable(net.error()));
        Program p(net);
        const QList<ScanHit> hits = scanNetwork(p.form0.Comms, "#", 15);
        QCOMPARE(hits.size(), 2);
        QCOMPARE(hits[0].address, QString("03"));
        QCOMPARE(hits[1].address, QString("0A"));
        QVERIFY(!hits[0].reply.isEmpty() && !hits[1].reply.isEmpty());
        QCOMPARE(net.receivedLines().size(), 16);
        QCOMPARE(p.form0.Comms.OutputTimeout(), quint16(4000));
    }
};

QTEST_MAIN(TestAddInstrumentPty)
#include "test_addinstrument_pty.moc"
