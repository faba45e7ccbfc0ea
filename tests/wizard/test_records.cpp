#include "ConfigTree.h"
#include "Positional.h"
#include "Records.h"
#include "Unit0.h"
#include "WorkingLists.h"

#include <QtTest>

using namespace records;

class TestRecords : public QObject {
    Q_OBJECT

private slots:
    void numberSyntax_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("valid");
        QTest::newRow("integer") << "12" << true;
        QTest::newRow("plus") << "+5" << true;
        QTest::newRow("minus") << "-5" << true;
        QTest::newRow("leading blanks") << "   7" << true;
        QTest::newRow("blanks then sign") << "  -7.5" << true;
        QTest::newRow("trailing blank") << "7 " << false;
        QTest::newRow("blank after sign") << "- 7" << false;
        QTest::newRow("point after") << "1." << true;
        QTest::newRow("point before") << ".5" << true;
        QTest::newRow("point alone") << "." << false;
        QTest::newRow("sign and point") << "-." << false;
        QTest::newRow("exponent") << "1e5" << true;
        QTest::newRow("exponent upper signed") << "2.5E-3" << true;
        QTest::newRow("exponent sign no digit") << "1E+" << false;
        QTest::newRow("exponent no digit") << "1e" << false;
        QTest::newRow("exponent without mantissa") << "E5" << false;
        QTest::newRow("sign only") << "-" << false;
        QTest::newRow("empty") << "" << false;
        QTest::newRow("blanks only") << "  " << false;
        QTest::newRow("two points") << "1.2.3" << false;
        QTest::newRow("letters") << "abc" << false;
        QTest::newRow("comma") << "1,5" << false;
        QTest::newRow("two signs") << "+-1" << false;
        QTest::newRow("non-ascii digit") << QString::fromUtf8("\u0661") << false;
    }
    void numberSyntax() {
        QFETCH(QString, text);
        QFETCH(bool, valid);
        QCOMPARE(isNumber(text), valid);
    }

    void takingRecordsApart_data() {
        QTest::addColumn<QString>("line");
        QTest::addColumn<QStringList>("fields"); // after DeleteCommand, every ExtractParameter
        QTest::newRow("default stage") << "SET PASS,1,1,0,IMM,,,,BURST,1,,"
                                       << QStringList{"1", "1", "0", "IMM", "", "", "", "BURST", "1", ""};
        QTest::newRow("no comma") << "SAVE" << QStringList{"SAVE"};
        QTest::newRow("empty") << "" << QStringList{};
        QTest::newRow("leading comma") << "CMD,,x" << QStringList{"", "x"};
        QTest::newRow("one field") << "SET HYSTERESIS,0" << QStringList{"0"};
    }
    void takingRecordsApart() {
        QFETCH(QString, line);
        QFETCH(QStringList, fields);
        DeleteCommand(line);
        QStringList got;
        while (!line.isEmpty())
            got.append(ExtractParameter(line));
        QCOMPARE(got, fields);
        QCOMPARE(ExtractParameter(line), QString()); // an empty line gives an empty field
    }

    void channelAddress_data() {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<bool>("valid");
        QTest::addColumn<QString>("upper");
        QTest::newRow("001A") << "001A" << true << "001A";
        QTest::newRow("012B") << "012B" << true << "012B";
        QTest::newRow("114A") << "114A" << true << "114A";
        QTest::newRow("514B") << "514B" << true << "514B";
        QTest::newRow("lower case") << "001a" << true << "001A";
        QTest::newRow("013A") << "013A" << false << "013A";
        QTest::newRow("000A") << "000A" << false << "000A";
        QTest::newRow("115A") << "115A" << false << "115A";
        QTest::newRow("614A") << "614A" << false << "614A";
        QTest::newRow("001C") << "001C" << false << "001C";
        QTest::newRow("short") << "01A" << false << "01A";
        QTest::newRow("long") << "001AB" << false << "001AB";
        QTest::newRow("blank digit") << "0 1A" << false << "0 1A";
        QTest::newRow("signed number") << "0+1A" << false << "0+1A";
        QTest::newRow("empty") << "" << false << "";
    }
    void channelAddress() {
        QFETCH(QString, typed);
        QFETCH(bool, valid);
        QFETCH(QString, upper);
        QCOMPARE(CheckChannel(typed), valid);
        QCOMPARE(typed, upper);
    }

    void dataFormat_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("valid");
        for (const char* ok : {"44", "80", "08", "23", "00", "17"})
            QTest::newRow(ok) << QString(ok) << true;
        for (const char* bad : {"09", "45", "9", "90", "", "2", "234", "a3", "-1", "54"})
            QTest::newRow(qPrintable(QString("bad ") + bad)) << QString(bad) << false;
    }
    void dataFormat() {
        QFETCH(QString, text);
        QFETCH(bool, valid);
        QCOMPARE(isValidDataFormat(text), valid);
    }

    void channelSequence() {
        // Stepping from the first address visits 164 valid addresses once each, in order, and stops
        // at the last.
        QStringList all{kFirstChannel};
        while (all.size() <= 164 && nextChannelAddress(all.last()) != all.last())
            all.append(nextChannelAddress(all.last()));
        QCOMPARE(all.size(), 164);
        QCOMPARE(all.last(), QString("514B"));
        QStringList sorted = all;
        sorted.sort();
        QCOMPARE(all, sorted);
        QCOMPARE(sorted.removeDuplicates(), 0);
        for (QString a : all)
            QVERIFY2(CheckChannel(a), qPrintable(a));
    }

    void nextAddress_data() {
        QTest::addColumn<QString>("from");
        QTest::addColumn<QString>("to");
        QTest::newRow("A to B") << "001A"
                                << "001B";
        QTest::newRow("B to next A") << "001B"
                                     << "002A";
        QTest::newRow("end of leading 0") << "012B"
                                          << "101A";
        QTest::newRow("end of leading 1") << "114B"
                                          << "201A";
        QTest::newRow("last stays") << "514B"
                                    << "514B";
        QTest::newRow("other letter stays") << "001C"
                                            << "001C";
        QTest::newRow("first four only") << "003Bxyz"
                                         << "004A";
        QTest::newRow("invalid stays") << "X99B"
                                       << "X99B";
    }
    void nextAddress() {
        QFETCH(QString, from);
        QFETCH(QString, to);
        QCOMPARE(nextChannelAddress(from), to);
    }

    void channelRecordReading() {
        // Zero-scan off discards the tare point; the next write stores 0.
        ChannelFields f = readChannelRecord("SET CHANNEL,002B,ON,OFF,2.5,0,7,21,25");
        QCOMPARE(f.address, QString("002B"));
        QVERIFY(f.enabled);
        QVERIFY(!f.zeroScan);
        QCOMPARE(f.tare, QString());
        QCOMPARE(f.fullScale, QString("25"));
        QCOMPARE(writeChannelRecord(f), QString("SET CHANNEL,002B,ON,OFF,2.5,0,0,21,25"));

        // "on" in lower case is off, and a disabled channel has no full scale value.
        f = readChannelRecord("SET CHANNEL,003A,on,ON,1,0,5,23,100");
        QVERIFY(!f.enabled);
        QVERIFY(f.zeroScan);
        QCOMPARE(f.fullScale, QString());
        QCOMPARE(f.tare, QString("5"));

        // Cut short: missing fields are empty; extra fields are ignored. Numbers stay as typed.
        f = readChannelRecord("SET CHANNEL,004A,ON,ON,1.50");
        QCOMPARE(f.scaling, QString("1.50"));
        QCOMPARE(f.offset, QString());
        QCOMPARE(f.format, QString());
        f = readChannelRecord("SET CHANNEL,004A,ON,ON,1,0,2,23,50,extra,more");
        QCOMPARE(f.fullScale, QString("50"));
        QCOMPARE(writeChannelRecord(f), QString("SET CHANNEL,004A,ON,ON,1,0,2,23,50"));
    }

    void defaultRecordsRoundTrip() {
        const QString channel = defaultChannelRecord("001A");
        QCOMPARE(channel, QString("SET CHANNEL,001A,OFF,OFF,1,0,0,23,"));
        QCOMPARE(channel.count(','), 8);
        QCOMPARE(writeChannelRecord(readChannelRecord(channel)), channel);

        QCOMPARE(readHysteresisRecord(defaultHysteresisRecord()), QString("0"));
        QCOMPARE(readHysteresisRecord("SET HYSTERESIS,0"), QString("0"));
        QCOMPARE(writeHysteresisRecord("1e2"), QString("SET HYSTERESIS,1E2"));

        const QString record = defaultLogSpecRecord();
        QCOMPARE(writeLogSpecRecord(readLogSpecRecord(record)), record);

        for (int k = 1; k <= 8; ++k) {
            const QString pass = defaultPassRecord(k);
            QCOMPARE(pass.count(','), 11);
            QCOMPARE(writePassRecord(readPassRecord(pass)), pass);
        }
        const PassFields p = readPassRecord(defaultPassRecord(1));
        QCOMPARE(p.field[PassFields::Pass], QString("1"));
        QCOMPARE(p.field[PassFields::Interval], QString("1"));
        QCOMPARE(p.field[PassFields::Function], QString("0"));
        QCOMPARE(p.field[PassFields::Start], QString("IMM"));
        QCOMPARE(p.field[PassFields::Start1] + p.field[PassFields::Start2] + p.field[PassFields::Start3],
                 QString());
        QCOMPARE(p.field[PassFields::Stop], QString("BURST"));
        QCOMPARE(p.field[PassFields::Stop1], QString("1"));
        QCOMPARE(p.field[PassFields::Stop2] + p.field[PassFields::Stop3], QString());
    }

    void choiceFields() {
        LogSpecFields f = readLogSpecRecord("SET LOGSPEC,1,1,OFF,OFF,memory,hex,OFF,ON");
        QCOMPARE(f.medium, QString("MEMORY"));
        QCOMPARE(f.format, QString("HEX"));
        QVERIFY(!f.serialReception);
        QVERIFY(f.autoRun);
        QCOMPARE(readLogSpecRecord("SET LOGSPEC,1,1,OFF,OFF,DISK,ASCII,ON,OFF").medium, QString("COMM"));
        // Cut short: passes only, the rest empty, off or the first choice.
        f = readLogSpecRecord("SET LOGSPEC,2");
        QCOMPARE(f.passes, QString("2"));
        QCOMPARE(f.iterations, QString());
        QVERIFY(!f.timeAndDate && !f.elapsedTime && !f.serialReception && !f.autoRun);
        QCOMPARE(f.medium, QString("COMM"));
        QCOMPARE(f.format, QString("ASCII"));
        QCOMPARE(writeLogSpecRecord(f), QString("SET LOGSPEC,2,,OFF,OFF,COMM,ASCII,OFF,OFF"));

        const PassFields p = readPassRecord("SET PASS,1,1,0,level,1,2,3,NEVER,,,");
        QCOMPARE(p.field[PassFields::Start], QString("LEVEL"));
        QCOMPARE(p.field[PassFields::Stop], QString("BUTTON"));
        QCOMPARE(matchChoice(stopConditions(), ""), 0);
    }

    void derivation_data() {
        QTest::addColumn<QString>("fullScale");
        QTest::addColumn<QString>("scaling");
        QTest::addColumn<QString>("format");
        QTest::newRow("100") << "100"
                             << "10"
                             << "30";
        QTest::newRow("25") << "25"
                            << "2.5"
                            << "20";
        QTest::newRow("10.5") << "10.5"
                              << "1.05"
                              << "21";
        QTest::newRow("2.500") << "2.500"
                               << "0.25"
                               << "13";
        QTest::newRow("sign counts") << "-5"
                                     << "-0.5"
                                     << "20";
        QTest::newRow("nine digits") << "123456789"
                                     << "12345678.9"
                                     << "90";
        QTest::newRow("point first") << ".5"
                                     << "0.05"
                                     << "01";
        QTest::newRow("exponent") << "1E20"
                                  << "1E19"
                                  << "40";
        QTest::newRow("small") << "0.0001"
                               << "1E-5"
                               << "14";
        QTest::newRow("zero") << "-0"
                              << "0"
                              << "20";
    }
    void derivation() {
        QFETCH(QString, fullScale);
        QFETCH(QString, scaling);
        QFETCH(QString, format);
        const auto d = deriveFromFullScale(fullScale);
        QVERIFY(d);
        QCOMPARE(d->scaling, scaling);
        QCOMPARE(d->offset, QString("0"));
        QCOMPARE(d->format, format);
        QVERIFY(isNumber(d->scaling));
    }

    void derivationRefusesWhatItCannotCompute() {
        QVERIFY(!deriveFromFullScale("9E999"));
        QVERIFY(!deriveFromFullScale("abc"));
        QCOMPARE(formatGeneral(1.0 / 3), QString("0.333333333333333"));
    }

    void stageParameters_data() {
        QTest::addColumn<QString>("condition");
        QTest::addColumn<int>("start");
        QTest::addColumn<int>("stop");
        QTest::addColumn<QList<int>>("startTopics");
        QTest::addColumn<QList<int>>("stopTopics");
        QTest::newRow("IMM") << "IMM" << 0 << 0 << QList<int>{-1, -1, -1} << QList<int>{-1, 54, 55};
        QTest::newRow("BUTTON") << "BUTTON" << 0 << 0 << QList<int>{-1, -1, -1} << QList<int>{-1, 54, 55};
        QTest::newRow("DELAY") << "DELAY" << 1 << 0 << QList<int>{44, -1, -1} << QList<int>{-1, 54, 55};
        QTest::newRow("LEVEL") << "LEVEL" << 3 << 3 << QList<int>{45, 46, 47} << QList<int>{53, 54, 55};
        QTest::newRow("TIME") << "TIME" << 2 << 0 << QList<int>{48, 49, -1} << QList<int>{-1, 54, 55};
        QTest::newRow("DURATION") << "DURATION" << 0 << 1 << QList<int>{-1, -1, -1} << QList<int>{51, 54, 55};
        QTest::newRow("BURST") << "BURST" << 0 << 1 << QList<int>{-1, -1, -1} << QList<int>{52, 54, 55};
    }
    void stageParameters() {
        QFETCH(QString, condition);
        QFETCH(int, start);
        QFETCH(int, stop);
        QFETCH(QList<int>, startTopics);
        QFETCH(QList<int>, stopTopics);
        QCOMPARE(startParametersUsed(condition), start);
        QCOMPARE(stopParametersUsed(condition), stop);
        for (int i = 0; i < 3; ++i) {
            QCOMPARE(startParameterTopic(i, condition), startTopics[i]);
            QCOMPARE(stopParameterTopic(i, condition), stopTopics[i]);
        }
    }

    void channelList() {
        QStringList records{"SET CHANNEL,002A,OFF,OFF,1,0,0,23,", "SET CHANNEL,001B,OFF,OFF,1,0,0,23,"};
        QCOMPARE(wizardlists::channelNumberItems(records), (QStringList{"001B", "002A"}));
        QCOMPARE(wizardlists::findChannel(records, "001B"), 1);
        QCOMPARE(wizardlists::findChannel(records, "003A"), -1);
        // A new record is sorted in and its index returned; an existing one is replaced in place.
        const int at = wizardlists::storeChannel(records, -1, "SET CHANNEL,001A,ON,OFF,1,0,0,23,5");
        QCOMPARE(at, 0);
        QCOMPARE(records.size(), 3);
        QCOMPARE(records[1], QString("SET CHANNEL,001B,OFF,OFF,1,0,0,23,"));
        QCOMPARE(wizardlists::storeChannel(records, 2, "SET CHANNEL,002A,ON,ON,1,0,0,23,9"), 2);
        QCOMPARE(records[2], QString("SET CHANNEL,002A,ON,ON,1,0,0,23,9"));
        // Hand-edited lines: no address, no second comma, not a channel record.
        QCOMPARE(wizardlists::channelNumberItems({"SET CHANNEL", "SET CHANNEL,005A", "REMARK,x,y"}),
                 (QStringList{"005A"}));
    }

    void stageList() {
        QStringList logging{"SET HYSTERISES,0"};
        wizardlists::completeLogging(logging);
        QCOMPARE(logging, (QStringList{"SET HYSTERISES,0", defaultLogSpecRecord(), defaultPassRecord(1)}));
        QStringList empty;
        wizardlists::completeLogging(empty);
        QCOMPARE(empty.size(), 3);

        wizardlists::setStageCount(logging, 3);
        QCOMPARE(logging.mid(2),
                 (QStringList{defaultPassRecord(1), defaultPassRecord(2), defaultPassRecord(3)}));
        QCOMPARE(wizardlists::stageCount(logging), 3);
        wizardlists::setStageCount(logging, 1);
        QCOMPARE(logging.size(), 3);

        // Storing follows the position and never writes past the end of the list.
        QVERIFY(wizardlists::storeStage(logging, 1, "SET PASS,1,5,0,IMM,,,,BURST,1,,"));
        QCOMPARE(logging[2], QString("SET PASS,1,5,0,IMM,,,,BURST,1,,"));
        QVERIFY(!wizardlists::storeStage(logging, 2, "x"));
        QVERIFY(!wizardlists::storeStage(logging, 0, "x"));
        QCOMPARE(logging.size(), 3);

        QCOMPARE(wizardlists::passesFromText("3"), 3);
        QCOMPARE(wizardlists::passesFromText(""), 1);
        QCOMPARE(wizardlists::passesFromText("2.5"), 1);
        QCOMPARE(wizardlists::passesFromText("2.0"), 2);
        QCOMPARE(wizardlists::passesFromText("12"), 8);
    }

    void modifyWritesBackUnlessCancelled() {
        ConfigTree tree;
        tree.resetToStartup();
        ConfigNode* inst = tree.appendRoot(positional::instrumentNodeText("01", "917 Version 1"));
        ConfigNode* other = tree.appendRoot(positional::instrumentNodeText("02", "917 Version 1"));
        tree.appendChild(inst, "Channel Configuration");
        ConfigNode* logging = tree.appendChild(inst, "Data Logging Parameters");
        tree.appendChild(logging, "SET HYSTERISES,0"); // hand-edited: the other two records missing
        tree.appendChild(other, "Channel Configuration");

        const int r0 = modifyInstrument(tree, "01 (917 Version 1)", [](WorkingLists& l) {
            l.ChannelRecords.append("SET CHANNEL,001A,ON,OFF,1,0,0,23,10");
            return int(mrCancel);
        });
        QCOMPARE(r0, int(mrCancel));
        QCOMPARE(positional::childTexts(inst),
                 (QStringList{"Channel Configuration", "Data Logging Parameters"}));
        QCOMPARE(positional::childTexts(positional::loggingGroup(inst)), QStringList{"SET HYSTERISES,0"});

        QStringList seenLogging;
        const int r1 = modifyInstrument(tree, "01 (917 Version 1)", [&](WorkingLists& l) {
            seenLogging = l.LoggingRecords;
            l.ChannelRecords = {"SET CHANNEL,002A,OFF,OFF,1,0,0,23,", "SET CHANNEL,001A,ON,OFF,1,0,0,23,10"};
            return int(mrAbort);
        });
        QCOMPARE(r1, int(mrAbort));
        QCOMPARE(seenLogging,
                 (QStringList{"SET HYSTERISES,0", defaultLogSpecRecord(), defaultPassRecord(1)}));
        // Written in list order, not sorted.
        QCOMPARE(positional::childTexts(positional::channelGroup(inst)),
                 (QStringList{"SET CHANNEL,002A,OFF,OFF,1,0,0,23,", "SET CHANNEL,001A,ON,OFF,1,0,0,23,10"}));
        QCOMPARE(positional::childTexts(positional::loggingGroup(inst)), seenLogging);
        QCOMPARE(inst->childCount(), 2);

        // An instrument without its groups gets both; a key that matches nothing opens nothing.
        QCOMPARE(modifyInstrument(tree, "02 (917", [](WorkingLists&) { return int(mrOk); }), int(mrOk));
        QCOMPARE(positional::childTexts(other),
                 (QStringList{"Channel Configuration", "Data Logging Parameters"}));
        QCOMPARE(positional::loggingGroup(other)->childCount(), 3);
        bool opened = false;
        QCOMPARE(modifyInstrument(tree, "07 (", [&](WorkingLists&) { return opened = true, int(mrOk); }), -1);
        QVERIFY(!opened);
    }
};

QTEST_GUILESS_MAIN(TestRecords)
#include "test_records.moc"
