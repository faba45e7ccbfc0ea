#include "AddInstrument.h"
#include "ConfigTree.h"
#include "FakeCommandParts.h"
#include "FakeDialogs.h"
#include "FakeSerialPort.h"
#include "InstrumentChoice.h"
#include "Positional.h"
#include "ServicesFixture.h"
#include "SetupCommands.h"
#include "Sound.h"

#include <QtTest>

namespace {

// One instrument behind the fake port. It hears only lines sent at its own speed and answers only its
// own prefix and address; SET COMMS takes effect after its acknowledgement.
struct FakeInstrument {
    FakeSerialPort& port;
    QString address = QStringLiteral("00");
    QString prefix = QStringLiteral("#");
    qint32 baud = 9600;
    QString identification = QStringLiteral("917 Version 2.03");
    bool answers = true;
    bool saved = false;
    QStringList heard; // every line it understood, without CR LF

    explicit FakeInstrument(FakeSerialPort& p) : port(p) {
        port.responder = [this](const QByteArray& b) { onWrite(b); };
    }

    void onWrite(const QByteArray& bytes) {
        if (port.baud != baud || !bytes.endsWith("\r\n"))
            return;
        const QString line = QString::fromLatin1(bytes.chopped(2));
        if (!line.startsWith(prefix + address + QLatin1Char(' ')))
            return;
        const QString cmd = line.mid(prefix.size() + 3);
        heard.append(line);
        if (!answers)
            return;
        if (cmd == QLatin1String("SYS")) {
            port.feed(identification.toLatin1() + "\r\n", 20);
            return;
        }
        port.feed("OK\r\n", 5);
        if (cmd.startsWith(QLatin1String("SET COMMAND PREFIX,")))
            prefix = cmd.mid(19);
        else if (cmd.startsWith(QLatin1String("SET COMMS,"))) {
            const QStringList f = cmd.mid(10).split(QLatin1Char(','));
            address = f.value(0);
            baud = f.value(2).toInt();
        } else if (cmd == QLatin1String("SAVE"))
            saved = true;
    }
};

// The status bar as the add sequence drives it, each change noted with the bytes written so far.
struct StatusLog : StatusReporter {
    FakeSerialPort* port = nullptr;
    QStringList calls;
    QString text;
    bool visible = false;
    int position = -1;
    void note(const QString& s) {
        calls.append(s + QStringLiteral(" @") + QString::number(port->written.size()));
    }
    void setStatusText(const QString& t) override {
        text = t;
        note(QStringLiteral("text:") + t);
    }
    void setProgressRange(int m) override { note(QStringLiteral("range:") + QString::number(m)); }
    void setProgressPosition(int p) override {
        position = p;
        note(QStringLiteral("pos:") + QString::number(p));
    }
    void setProgressVisible(bool v) override {
        visible = v;
        note(v ? QStringLiteral("show") : QStringLiteral("hide"));
    }
    QList<int> positions() const {
        QList<int> out;
        for (const QString& c : calls)
            if (c.startsWith(QLatin1String("pos:")))
                out.append(c.mid(4).section(QLatin1Char(' '), 0, 0).toInt());
        return out;
    }
};

struct FakeAddDialog : AddInstrumentDialog {
    SharedSettings* settings = nullptr;
    int result = mrOk;
    InstrumentFields f{QStringLiteral("00"), QStringLiteral("0"), QStringLiteral("4"), QStringLiteral("01")};
    QString identification = QStringLiteral("917 Version 2.03");
    int shown = 0;
    int showModal() override {
        ++shown;
        settings->InstrumentIdentification = identification;
        return result;
    }
    InstrumentFields fields() const override { return f; }
};

InstrumentFields fieldsOf(const char* a, const char* m, const char* s, const char* n) {
    return {QString::fromLatin1(a), QString::fromLatin1(m), QString::fromLatin1(s), QString::fromLatin1(n)};
}

} // namespace

Q_DECLARE_METATYPE(InstrumentFields)

class TestAddInstrument : public QObject, protected ServicesFixture {
    Q_OBJECT

    std::unique_ptr<ConfigTree> tree;
    StatusLog status;

    QStringList writtenLines() const {
        QStringList out;
        for (const auto& e : port->events)
            if (e.kind == QLatin1String("write"))
                out.append(QString::fromLatin1(e.data));
        return out;
    }
    // The speed the port ran at for each line written.
    QList<qint32> writeBauds() const {
        QList<qint32> out;
        qint32 baud = 0;
        for (const auto& e : port->events) {
            if (e.kind == QLatin1String("configure"))
                baud = e.data.toInt();
            else if (e.kind == QLatin1String("write"))
                out.append(baud);
        }
        return out;
    }

private slots:
    void init() {
        resetServices();
        tree = std::make_unique<ConfigTree>();
        tree->resetToStartup();
        status = StatusLog();
        status.port = port;
    }

    void fieldChecks_data() {
        QTest::addColumn<InstrumentFields>("fields");
        QTest::addColumn<int>("error");
        const int none = int(FieldError::None), a = int(FieldError::PresentAddress),
                  m = int(FieldError::PresentMode), s = int(FieldError::PresentSpeed),
                  n = int(FieldError::NewAddress);
        QTest::newRow("defaults") << fieldsOf("00", "0", "4", "01") << none;
        QTest::newRow("upper ends") << fieldsOf("FF", "2", "7", "FF") << none;
        QTest::newRow("0G") << fieldsOf("0G", "0", "4", "01") << a;
        QTest::newRow("lower case") << fieldsOf("0a", "0", "4", "01") << a;
        QTest::newRow("one digit") << fieldsOf("0", "0", "4", "01") << a;
        QTest::newRow("empty address") << fieldsOf("", "0", "4", "01") << a;
        QTest::newRow("mode 3") << fieldsOf("00", "3", "4", "01") << m;
        QTest::newRow("mode empty") << fieldsOf("00", "", "4", "01") << m;
        QTest::newRow("speed 8") << fieldsOf("00", "0", "8", "01") << s;
        QTest::newRow("speed letter") << fieldsOf("00", "0", "A", "01") << s;
        QTest::newRow("new 00") << fieldsOf("00", "0", "4", "00") << n;
        QTest::newRow("new 1") << fieldsOf("00", "0", "4", "1") << n;
        QTest::newRow("new blank") << fieldsOf("00", "0", "4", "0 ") << n;
        QTest::newRow("first of several") << fieldsOf("0G", "3", "8", "00") << a;
        QTest::newRow("mode before speed") << fieldsOf("00", "3", "8", "00") << m;
    }
    void fieldChecks() {
        QFETCH(InstrumentFields, fields);
        QFETCH(int, error);
        QCOMPARE(int(checkInstrumentFields(fields)), error);
    }

    void badFieldStopsTheFindBeforeAnything() {
        form0->RX.lines = {"left over"};
        form0->Settings.InstrumentIdentification = "old";
        port->events.clear();
        QCOMPARE(findInstrument(*svc, nullptr, fieldsOf("00", "0", "8", "01")), FindOutcome::InvalidField);
        QCOMPARE(dialogs.errors,
                 QStringList({"Error detected in the baud rate of the current instrument configuration"}));
        QCOMPARE(sound.beeps, 1);
        QVERIFY(port->events.isEmpty());
        QVERIFY(form0->RX.lines.isEmpty());
        QVERIFY(form0->Settings.InstrumentIdentification.isEmpty());
    }

    void findAtThePresentSpeedThenBackToTheNetwork() {
        FakeInstrument inst(*port);
        inst.baud = 2400;
        form0->Settings.HostCommandPrefix = "$"; // the query still goes with "#"
        port->events.clear();
        QCOMPARE(findInstrument(*svc, nullptr, fieldsOf("00", "0", "2", "01")), FindOutcome::Located);
        QCOMPARE(writtenLines(), QStringList({"#00 SYS\r\n"}));
        QCOMPARE(writeBauds(), QList<qint32>({2400}));
        QCOMPARE(port->baud, 9600);
        QVERIFY(port->isOpen());
        QCOMPARE(form0->Settings.InstrumentIdentification, QString("917 Version 2.03"));
        QCOMPARE(dialogs.infos, QStringList({"Instrument '#00 917 Version 2.03' has been located"}));
        QVERIFY(dialogs.errors.isEmpty());
        QCOMPARE(sound.beeps, 1);
    }

    void findAtTheNetworkSpeedMissesAnInstrumentElsewhere() {
        FakeInstrument inst(*port);
        inst.baud = 2400;
        QCOMPARE(findInstrument(*svc, nullptr, fieldsOf("00", "0", "4", "01")), FindOutcome::NoResponse);
        QCOMPARE(
            dialogs.errors,
            QStringList({"No response received from the instrument, please check settings and try again"}));
        QVERIFY(form0->Settings.InstrumentIdentification.isEmpty());
        QCOMPARE(sound.beeps, 1);
    }

    void findRepliesChecked_data() {
        QTest::addColumn<QString>("reply");
        QTest::addColumn<int>("outcome");
        QTest::addColumn<QString>("stored");
        QTest::newRow("plain") << "917 Version 1.0" << int(FindOutcome::Located) << "917 Version 1.0";
        QTest::newRow("text around") << "Model 917 Version 3 serial 42" << int(FindOutcome::Located)
                                     << "Model 917 Version 3 serial 42";
        // Stored as received: only a NUL, which would end the saved file's text, is dropped.
        QTest::newRow("control characters")
            << QString::fromLatin1(QByteArrayLiteral("917 Version\0 1.0\x1b[0m\t"))
            << int(FindOutcome::Located) << QString::fromLatin1("917 Version 1.0\x1b[0m\t");
        QTest::newRow("control characters only")
            << QString::fromLatin1("\x1b\x07\t") << int(FindOutcome::WrongType) << "";
        QTest::newRow("lower case") << "917 version 1.0" << int(FindOutcome::WrongType) << "";
        QTest::newRow("other model") << "918 Version 1.0" << int(FindOutcome::WrongType) << "";
    }
    void findRepliesChecked() {
        QFETCH(QString, reply);
        QFETCH(int, outcome);
        FakeInstrument inst(*port);
        inst.identification = reply;
        QCOMPARE(int(findInstrument(*svc, nullptr, fieldsOf("00", "0", "4", "01"))), outcome);
        if (outcome == int(FindOutcome::Located)) {
            QTEST(form0->Settings.InstrumentIdentification, "stored");
        } else {
            QCOMPARE(dialogs.errors,
                     QStringList({"Instrument type does not match, please check settings and try again"}));
            QVERIFY(form0->Settings.InstrumentIdentification.isEmpty());
        }
    }

    void findWithAClosedPortReportsNoResponse() {
        port->openable = false;
        form0->Comms.Close();
        const qint64 before = clock.now;
        QCOMPARE(findInstrument(*svc, nullptr, fieldsOf("00", "0", "4", "01")), FindOutcome::NoResponse);
        QCOMPARE(clock.now, before); // no waiting on a port that is not there
        QCOMPARE(dialogs.errors.size(), 1);
    }

    void addSendsTheSetUpLinesAtTheRightSettings() {
        FakeInstrument inst(*port);
        form0->Settings.InstrumentIdentification = inst.identification;
        port->events.clear();
        QCOMPARE(addInstrument(*svc, *tree, status, fieldsOf("00", "0", "4", "01")), AddOutcome::Added);
        QCOMPARE(writtenLines(),
                 QStringList({"#00 SET COMMAND PREFIX,#\r\n", "#00 SET DELIMITERS,@09@00,@13@10\r\n",
                              "#00 SET COMMS,01,232,9600,ON\r\n", "#01 SAVE\r\n"}));
        QVERIFY(inst.saved);
        QCOMPARE(inst.address, QString("01"));
        QVERIFY(dialogs.errors.isEmpty());
        QCOMPARE(sound.tones, 0);

        ConfigNode* node = tree->rootAt(1);
        QVERIFY(node);
        QCOMPARE(node->text, QString("Instrument Address 01 (917 Version 2.03)"));
        QCOMPARE(positional::childTexts(node),
                 QStringList({"Channel Configuration", "Data Logging Parameters"}));
        QCOMPARE(positional::childTexts(positional::channelGroup(node)), QStringList());
        QCOMPARE(positional::childTexts(positional::loggingGroup(node)),
                 QStringList({"SET HYSTERISES,0", "SET LOGSPEC,1,1,OFF,OFF,COMM,ASCII,ON,OFF",
                              "SET PASS,1,1,0,IMM,,,,BURST,1,,"}));
    }

    void addReachesTheInstrumentAtItsPresentSettings() {
        FakeInstrument inst(*port);
        inst.baud = 1200;
        form0->Settings.HostComProtocol = 2;
        form0->Settings.HostComSpeed = 7;
        form0->Settings.HostCommandPrefix = "$";
        SetDelimiter(form0->Settings.HostDataSeparator, "Comma", 44, 0);
        form0->Settings.HostDataSeparator.Code = "@44@00";
        form0->ApplySettings();
        port->events.clear();
        QCOMPARE(addInstrument(*svc, *tree, status, fieldsOf("00", "1", "1", "2C")), AddOutcome::Added);
        QCOMPARE(writtenLines(),
                 QStringList({"#00 SET COMMAND PREFIX,$\r\n", "$00 SET DELIMITERS,@44@00,@13@10\r\n",
                              "$00 SET COMMS,2C,485,57600,ON\r\n", "$2C SAVE\r\n"}));
        QCOMPARE(writeBauds(), QList<qint32>({1200, 1200, 1200, 57600}));
        QVERIFY(inst.saved);
        QCOMPARE(inst.heard.size(), 4);
        // The link ends on the network settings.
        QCOMPARE(port->baud, 57600);
        QCOMPARE(form0->Comms.ComMode(), TComMode::RS485);
    }

    void statusBarFollowsTheSequence() {
        FakeInstrument inst(*port);
        port->written.clear();
        addInstrument(*svc, *tree, status, fieldsOf("00", "0", "4", "01"));
        QCOMPARE(status.positions(), QList<int>({0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10}));
        // The text and the bar are up before the first line goes out; 7 to 9 follow their exchanges.
        const int firstLine = int(setup::setCommandPrefix("00", "#").size());
        QCOMPARE(status.calls.first(), QString("text:Please wait - adding the instrument to the network @0"));
        QVERIFY(status.calls.contains("show @0"));
        QVERIFY(status.calls.contains("pos:6 @0"));
        QVERIFY(status.calls.contains(QString("pos:7 @%1").arg(firstLine)));
        QCOMPARE(status.calls.mid(status.calls.size() - 2),
                 QStringList({QString("hide @%1").arg(port->written.size()),
                              QString("text: @%1").arg(port->written.size())}));
        QVERIFY(!status.visible);
    }

    void silentInstrumentOnlyCostsTheTimeOuts() {
        FakeInstrument inst(*port);
        inst.answers = false;
        const qint64 before = clock.now;
        QCOMPARE(addInstrument(*svc, *tree, status, fieldsOf("00", "0", "4", "01")), AddOutcome::Added);
        QCOMPARE(clock.now - before, 4 * 4000);
        QCOMPARE(inst.heard.size(), 3); // SAVE goes to 01, which it never became
        QVERIFY(dialogs.errors.isEmpty());
    }

    void duplicateAddressChangesNothing() {
        FakeInstrument inst(*port);
        form0->Settings.InstrumentIdentification = "917 Version 2.03";
        tree->appendRoot(positional::instrumentNodeText("0A", "917 Version 1"));
        tree->appendRoot(positional::instrumentNodeText("01", "917 Version 1"));
        const int nodes = tree->nodeCount();
        port->events.clear();
        QCOMPARE(addInstrument(*svc, *tree, status, fieldsOf("00", "0", "4", "01")), AddOutcome::Duplicate);
        QCOMPARE(
            dialogs.errors,
            QStringList(
                {"Not adding instrument because an instrument with the defined address already exists"}));
        QCOMPARE(sound.tones, 1);
        QCOMPARE(sound.lastHz, 500);
        QCOMPARE(sound.lastMs, 100);
        QCOMPARE(tree->nodeCount(), nodes);
        QVERIFY(port->events.isEmpty());
        QVERIFY(status.calls.isEmpty());
    }

    void fieldsThatWouldFailTheFindAreRefused() {
        port->events.clear();
        const int nodes = tree->nodeCount();
        QCOMPARE(addInstrument(*svc, *tree, status, fieldsOf("00", "0", "4", "1")), AddOutcome::Refused);
        QCOMPARE(addInstrument(*svc, *tree, status, fieldsOf("00", "0", "4", "00")), AddOutcome::Refused);
        QCOMPARE(tree->nodeCount(), nodes);
        QVERIFY(port->events.isEmpty());
    }

    void addSortsTheWholeTree() {
        FakeInstrument inst(*port);
        form0->Settings.InstrumentIdentification = "917 Version 2.03";
        addInstrument(*svc, *tree, status, fieldsOf("00", "0", "4", "0A"));
        inst.address = "00";
        addInstrument(*svc, *tree, status, fieldsOf("00", "0", "4", "09"));
        QCOMPARE(positional::listEntries(*tree),
                 QStringList({"09 (917 Version 2.03)", "0A (917 Version 2.03)"}));
        QCOMPARE(tree->firstRoot()->text, QString("Communication Settings"));
    }

    // The command around the sequence: its dialog result, the wizard hook, and delete.
    void commandCancelLeavesEverything() {
        FakeAddDialog dlg;
        dlg.settings = &form0->Settings;
        dlg.result = mrCancel;
        InstrumentCommands cmd(*svc, *tree, status, dlg);
        bool wizard = false;
        cmd.runWizardForNewInstrument = [&] { wizard = true; };
        port->events.clear();
        cmd.EditAddItemClick();
        QCOMPARE(form0->Settings.LastModalResult, int(mrCancel));
        QCOMPARE(tree->rootCount(), 1);
        QVERIFY(port->events.isEmpty());
        QVERIFY(!wizard);
    }

    void commandRunsTheWizardOnTheNewInstrument() {
        FakeInstrument inst(*port);
        FakeAddDialog dlg;
        dlg.settings = &form0->Settings;
        dlg.f.newAddress = "3F";
        InstrumentCommands cmd(*svc, *tree, status, dlg);
        ConfigNode* found = nullptr;
        qint32 baudDuringWizard = 0;
        cmd.runWizardForNewInstrument = [&] {
            found = positional::findInstrument(*tree, cmd.newInstrumentAddress() + " (" +
                                                          form0->Settings.InstrumentIdentification + ")");
            baudDuringWizard = port->baud;
            form0->Settings.LastModalResult = mrAbort;
            form0->Settings.HostComSpeed = 2; // the wizard leaves the link as it likes
        };
        cmd.EditAddItemClick();
        QVERIFY(found);
        QCOMPARE(found->text, QString("Instrument Address 3F (917 Version 2.03)"));
        QCOMPARE(baudDuringWizard, 9600);
        QCOMPARE(form0->Settings.LastModalResult, int(mrAbort));
        QCOMPARE(port->baud, 2400); // applied again after the wizard
    }

    void commandWithoutWizardKeepsTheDialogResult() {
        FakeInstrument inst(*port);
        FakeAddDialog dlg;
        dlg.settings = &form0->Settings;
        InstrumentCommands cmd(*svc, *tree, status, dlg);
        cmd.EditAddItemClick();
        QCOMPARE(form0->Settings.LastModalResult, int(mrOk));
        QCOMPARE(tree->rootCount(), 2);
        QCOMPARE(cmd.newInstrumentAddress(), QString("01"));
        // A duplicate stops before the wizard and also keeps OK.
        bool wizard = false;
        cmd.runWizardForNewInstrument = [&] { wizard = true; };
        cmd.EditAddItemClick();
        QCOMPARE(form0->Settings.LastModalResult, int(mrOk));
        QCOMPARE(tree->rootCount(), 2);
        QVERIFY(!wizard);
        QCOMPARE(dialogs.errors.size(), 1);
    }

    void deleteThroughTheInstrumentChoice() {
        tree->appendRoot(positional::instrumentNodeText("05", "917 Version 1"));
        ConfigNode* second = tree->appendRoot(positional::instrumentNodeText("02", "917 Version 1"));
        tree->appendChild(second, "Channel Configuration");
        tree->appendRoot(positional::instrumentNodeText("07", "917 Version 1"));
        FakeAddDialog dlg;
        dlg.settings = &form0->Settings;
        InstrumentCommands cmd(*svc, *tree, status, dlg);
        FakePicker picker;
        picker.choose = 1;
        port->events.clear();
        cmd.EditDeleteItemClick(picker);
        QCOMPARE(picker.caption, QString("Delete Instrument Configuration"));
        QCOMPARE(picker.helpContext, 3002);
        // Gone with its subtree; the others keep their order (no sort); nothing asked, nothing sent.
        QCOMPARE(positional::listEntries(*tree), QStringList({"05 (917 Version 1)", "07 (917 Version 1)"}));
        QCOMPARE(tree->nodeCount(), 1 + 3 + 2);
        QVERIFY(port->events.isEmpty());
        QVERIFY(dialogs.errors.isEmpty() && dialogs.infos.isEmpty());

        picker.result = mrCancel;
        cmd.EditDeleteItemClick(picker);
        QCOMPARE(tree->rootCount(), 3);
    }

    void deletedAddressCanBeAddedAgain() {
        FakeInstrument inst(*port);
        FakeAddDialog dlg;
        dlg.settings = &form0->Settings;
        InstrumentCommands cmd(*svc, *tree, status, dlg);
        cmd.EditAddItemClick();
        FakePicker picker;
        cmd.EditDeleteItemClick(picker);
        QCOMPARE(tree->rootCount(), 1);
        QCOMPARE(tree->firstRoot()->childCount(), 3);
        inst.address = "00";
        cmd.EditAddItemClick();
        QCOMPARE(tree->rootCount(), 2);
        QVERIFY(dialogs.errors.isEmpty());
    }
};

QTEST_MAIN(TestAddInstrument)
#include "test_addinstrument.moc"
