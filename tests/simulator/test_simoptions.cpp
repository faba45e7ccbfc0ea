#include "SimOptions.h"
#include "SimPtyServer.h"

#include <QtTest>

// Instrument descriptions as the sim917 program and tests give them.
class TestSimOptions : public QObject {
    Q_OBJECT

private slots:
    void emptyDescriptionIsFactoryNew() {
        sim::InstrumentConfig c;
        QString error;
        QVERIFY(sim::parseInstrumentDescription(QString(), c, &error));
        QCOMPARE(c.link, sim::LinkSettings{});
        QCOMPARE(c.link.address, QByteArray("00"));
        QCOMPARE(c.link.prefix, '#');
        QCOMPARE(c.link.baud, 9600);
        QVERIFY(c.identification.contains("917 Version"));
        QCOMPARE(c.faults, sim::Faults{});
    }

    void accepted_data() {
        QTest::addColumn<QString>("description");
        QTest::addColumn<QString>("field");
        QTest::addColumn<QString>("value");
        QTest::newRow("address") << "address=0a"
                                 << "address"
                                 << "0A";
        QTest::newRow("id with blanks and commas") << "id=917 Version 2.00, rev B"
                                                   << "id"
                                                   << "917 Version 2.00, rev B";
        QTest::newRow("prefix") << "prefix=$"
                                << "prefix"
                                << "$";
        QTest::newRow("mode") << "mode=RS485"
                              << "mode"
                              << "2";
        QTest::newRow("mode digits") << "mode=422"
                                     << "mode"
                                     << "1";
        QTest::newRow("baud") << "baud=57600"
                              << "baud"
                              << "57600";
        QTest::newRow("separator") << "separator=@44@00"
                                   << "separator"
                                   << ",";
        QTest::newRow("silent") << "silent"
                                << "silent"
                                << "1";
        QTest::newRow("silent from") << "silent-from=5"
                                     << "silent-from"
                                     << "5";
        QTest::newRow("delay") << "delay=250"
                               << "delay"
                               << "250";
        QTest::newRow("pieces and gap") << "pieces=4;gap=30"
                                        << "pieces"
                                        << "4/30";
        QTest::newRow("no LF") << "nolf"
                               << "nolf"
                               << "1";
        QTest::newRow("empty") << "empty"
                               << "empty"
                               << "1";
        QTest::newRow("garbage") << "garbage"
                                 << "garbage"
                                 << "1";
        QTest::newRow("unsolicited") << "unsolicited=1000;unsolicited-text=HELLO"
                                     << "unsolicited"
                                     << "1000/HELLO";
        QTest::newRow("vanish") << "vanish=3"
                                << "vanish"
                                << "3";
        QTest::newRow("records") << "record=SET HYSTERESIS,2;record=SET CHANNEL,001A,ON,OFF,1,0,0,23,"
                                 << "records"
                                 << "SET HYSTERESIS,2|SET CHANNEL,001A,ON,OFF,1,0,0,23,";
        QTest::newRow("blank items") << ";;address=05;;"
                                     << "address"
                                     << "05";
    }
    void accepted() {
        QFETCH(QString, description);
        QFETCH(QString, field);
        QFETCH(QString, value);
        sim::InstrumentConfig c;
        QString error;
        QVERIFY2(sim::parseInstrumentDescription(description, c, &error), qPrintable(error));
        const sim::Faults& f = c.faults;
        QString got;
        if (field == "address")
            got = c.link.address;
        else if (field == "id")
            got = c.identification;
        else if (field == "prefix")
            got = QString(QChar(c.link.prefix));
        else if (field == "mode")
            got = QString::number(int(c.link.mode));
        else if (field == "baud")
            got = QString::number(c.link.baud);
        else if (field == "separator")
            got = c.link.separator;
        else if (field == "silent")
            got = QString::number(f.silent);
        else if (field == "silent-from")
            got = QString::number(f.silentFromCommand);
        else if (field == "delay")
            got = QString::number(f.replyDelayMs);
        else if (field == "pieces")
            got = QStringLiteral("%1/%2").arg(f.replyPieces).arg(f.pieceGapMs);
        else if (field == "nolf")
            got = QString::number(f.noLineFeed);
        else if (field == "empty")
            got = QString::number(f.emptyReplies);
        else if (field == "garbage")
            got = QString::number(f.garbageReplies);
        else if (field == "unsolicited")
            got =
                QStringLiteral("%1/%2").arg(f.unsolicitedEveryMs).arg(QString::fromLatin1(f.unsolicitedText));
        else if (field == "vanish")
            got = QString::number(f.vanishOnCommand);
        else if (field == "records")
            got = QString::fromLatin1(c.records.join('|'));
        QCOMPARE(got, value);
    }

    void refused_data() {
        QTest::addColumn<QString>("description");
        QTest::addColumn<QString>("message");
        QTest::newRow("address too long") << "address=001"
                                          << "address";
        QTest::newRow("address not hex") << "address=0G"
                                         << "address";
        QTest::newRow("prefix blank") << "prefix= "
                                      << "prefix";
        QTest::newRow("mode") << "mode=RS999"
                              << "mode";
        QTest::newRow("baud") << "baud=115200"
                              << "baud";
        QTest::newRow("separator") << "separator=tab"
                                   << "separator";
        QTest::newRow("delay not a number") << "delay=soon"
                                            << "delay";
        QTest::newRow("delay negative") << "delay=-5"
                                        << "delay";
        QTest::newRow("pieces zero") << "pieces=0"
                                     << "pieces";
        QTest::newRow("unknown") << "address=01;sparkle"
                                 << "sparkle";
    }
    void refused() {
        QFETCH(QString, description);
        QFETCH(QString, message);
        sim::InstrumentConfig c;
        c.link.address = "07";
        QString error;
        QVERIFY(!sim::parseInstrumentDescription(description, c, &error));
        QVERIFY2(error.contains(message), qPrintable(error));
        QCOMPARE(c.link.address, QByteArray("07")); // nothing half-applied
    }

    void demoNetworkHasAFactoryNewAndAConfiguredInstrument() {
        sim::SimNetwork net(sim::demoInstruments());
        QCOMPARE(net.size(), 2);
        QCOMPARE(net.instrument(0).link(), sim::LinkSettings{});
        QVERIFY(net.instrument(0).savedRecords().isEmpty());
        QVERIFY(net.instrument(1).link().address != "00");
        QCOMPARE(net.instrument(1).link().baud, 9600);
        // Every configured record was accepted, so scan and run have something to show.
        QCOMPARE(net.instrument(1).savedRecords().size(), 7);
        QVERIFY(!net.instrument(1).readingsLine(0).isEmpty());
    }
};

QTEST_GUILESS_MAIN(TestSimOptions)
#include "test_simoptions.moc"
