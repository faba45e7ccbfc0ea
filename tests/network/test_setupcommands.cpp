#include "SetupCommands.h"

#include <QtTest>

// The set-up lines go to the instrument byte for byte.
class TestSetupCommands : public QObject {
    Q_OBJECT
private slots:
    void defaultsGiveTheDocumentedLines() {
        // Prefix "#", separator Tab, RS232 at 9600, current address 00, new address 01.
        QCOMPARE(setup::setCommandPrefix("00", "#").toLatin1(), QByteArray("#00 SET COMMAND PREFIX,#\r\n"));
        QCOMPARE(setup::setDelimiters("#", "00", "@09@00").toLatin1(),
                 QByteArray("#00 SET DELIMITERS,@09@00,@13@10\r\n"));
        QCOMPARE(setup::setComms("#", "00", "01", 0, 4).toLatin1(),
                 QByteArray("#00 SET COMMS,01,232,9600,ON\r\n"));
        QCOMPARE(setup::save("#", "01").toLatin1(), QByteArray("#01 SAVE\r\n"));
    }

    void queries() {
        QCOMPARE(setup::identificationQuery("0A").toLatin1(), QByteArray("#0A SYS\r\n"));
        QCOMPARE(setup::presenceQuery("$", "FF").toLatin1(), QByteArray("$FF SYS\r\n"));
    }

    void anotherPrefixOnlyWhereItBelongs() {
        // The prefix command reaches an instrument that still answers to "#".
        QCOMPARE(setup::setCommandPrefix("00", "$").toLatin1(), QByteArray("#00 SET COMMAND PREFIX,$\r\n"));
        QCOMPARE(setup::setDelimiters("$", "00", "@44@00").toLatin1(),
                 QByteArray("$00 SET DELIMITERS,@44@00,@13@10\r\n"));
        QCOMPARE(setup::save("$", "7F").toLatin1(), QByteArray("$7F SAVE\r\n"));
    }

    void linkFields_data() {
        QTest::addColumn<int>("protocol");
        QTest::addColumn<int>("speed");
        QTest::addColumn<QByteArray>("line");
        QTest::newRow("RS422 600") << 1 << 0 << QByteArray("#00 SET COMMS,05,422,600,ON\r\n");
        QTest::newRow("RS485 57600") << 2 << 7 << QByteArray("#00 SET COMMS,05,485,57600,ON\r\n");
        QTest::newRow("RS232 38400") << 0 << 6 << QByteArray("#00 SET COMMS,05,232,38400,ON\r\n");
        QTest::newRow("unknown indexes add nothing") << 3 << 8 << QByteArray("#00 SET COMMS,05,ON\r\n");
    }
    void linkFields() {
        QFETCH(int, protocol);
        QFETCH(int, speed);
        QFETCH(QByteArray, line);
        QCOMPARE(setup::setComms("#", "00", "05", protocol, speed).toLatin1(), line);
    }
};

QTEST_APPLESS_MAIN(TestSetupCommands)
#include "test_setupcommands.moc"
