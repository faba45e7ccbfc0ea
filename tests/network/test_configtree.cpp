#include "ConfigTree.h"
#include "Positional.h"

#include <QAbstractItemModelTester>
#include <QtTest>

namespace {
QStringList flatten(const ConfigTree& tree) {
    QStringList out;
    tree.forEachDepthFirst([&](ConfigNode& n, int depth) { out.append(QString(depth, '\t') + n.text); });
    return out;
}
} // namespace

class TestConfigTree : public QObject {
    Q_OBJECT
private slots:
    void wordSort_data() {
        QTest::addColumn<QString>("less");
        QTest::addColumn<QString>("greater");
        QTest::newRow("settings before instruments") << "Communication Settings"
                                                     << "Instrument Address 00 (x)";
        QTest::newRow("digit before letter") << "COM2,RS485,57600"
                                             << "Command Prefix,#";
        QTest::newRow("prefix before separator") << "Command Prefix,#"
                                                 << "Data Separator,Tab";
        QTest::newRow("09 before 0A") << "Instrument Address 09 (a)"
                                      << "Instrument Address 0A (a)";
        QTest::newRow("groups") << "Channel Configuration"
                                << "Data Logging Parameters";
        QTest::newRow("HYSTERISES before LOGSPEC") << "SET HYSTERISES,0"
                                                   << "SET LOGSPEC,1,1,OFF,OFF,COMM,ASCII,ON,OFF";
        QTest::newRow("HYSTERESIS before LOGSPEC") << "SET HYSTERESIS,0"
                                                   << "SET LOGSPEC,1";
        QTest::newRow("LOGSPEC before PASS") << "SET LOGSPEC,1"
                                             << "SET PASS,1,1,0,IMM,,,,BURST,1,,";
        QTest::newRow("pass order") << "SET PASS,1,1"
                                    << "SET PASS,2,1";
        QTest::newRow("channel order") << "SET CHANNEL,001B,OFF"
                                       << "SET CHANNEL,002A,OFF";
        QTest::newRow("case ignored") << "abc"
                                      << "ABD";
        QTest::newRow("lower before upper on tie") << "abc"
                                                   << "ABC";
        QTest::newRow("blank before digit") << "a b"
                                            << "a1";
        QTest::newRow("comma before digit") << "a,9"
                                            << "a0";
        QTest::newRow("prefix shorter first") << "SET"
                                              << "SET CHANNEL";
        QTest::newRow("hyphen ignored") << "co-op"
                                        << "cop";
        QTest::newRow("hyphen only a tie-break") << "coop"
                                                 << "co-op";
        QTest::newRow("apostrophe ignored") << "it's"
                                            << "itt";
        QTest::newRow("empty first") << ""
                                     << " ";
        QTest::newRow("case only after the hyphen tie") << "a-b"
                                                        << "aB";
        QTest::newRow("blank first of the symbols") << "a "
                                                    << "a!";
        QTest::newRow("symbols not by code") << "a_"
                                             << "a+";
        QTest::newRow("arithmetic signs before digits") << "a="
                                                        << "a0";
        QTest::newRow("accent only a tie-break") << QString::fromLatin1("r\xE9sum\xE9") << "resumf";
        QTest::newRow("unaccented first on tie") << "resume" << QString::fromLatin1("r\xE9sum\xE9");
    }
    void wordSort() {
        QFETCH(QString, less);
        QFETCH(QString, greater);
        QVERIFY(wordSortLess(less, greater));
        QVERIFY(!wordSortLess(greater, less));
        QCOMPARE(wordSortCompare(less, less), 0);
    }

    void startupContent() {
        ConfigTree tree;
        QAbstractItemModelTester tester(&tree);
        tree.resetToStartup();
        QCOMPARE(flatten(tree), QStringList({"Communication Settings", "\tCOM1,RS232,9600",
                                             "\tCommand Prefix,#", "\tData Separator,Tab"}));
    }

    void fullSortKeepsTheContract() {
        ConfigTree tree;
        QAbstractItemModelTester tester(&tree);
        tree.resetToStartup();
        for (const char* address : {"0A", "09"}) {
            ConfigNode* n = tree.appendRoot(positional::instrumentNodeText(address, "917 Version 1.01"));
            tree.appendChild(n, "Channel Configuration");
            ConfigNode* log = tree.appendChild(n, "Data Logging Parameters");
            tree.appendChild(log, "SET PASS,1,1,0,IMM,,,,BURST,1,,");
            tree.appendChild(log, "SET LOGSPEC,1,1,OFF,OFF,COMM,ASCII,ON,OFF");
            tree.appendChild(log, "SET HYSTERISES,0");
        }
        tree.setText(positional::settingsLine(tree, 0), "COM2,RS485,57600");
        tree.sortAll();
        const auto instruments = positional::instruments(tree);
        QCOMPARE(instruments.size(), 2);
        QCOMPARE(positional::instrumentAddress(instruments[0]), QString("09"));
        QCOMPARE(positional::listEntry(instruments[1]), QString("0A (917 Version 1.01)"));
        QCOMPARE(positional::settingsLine(tree, 0)->text, QString("COM2,RS485,57600"));
        QCOMPARE(positional::childTexts(positional::loggingGroup(instruments[0])),
                 QStringList({"SET HYSTERISES,0", "SET LOGSPEC,1,1,OFF,OFF,COMM,ASCII,ON,OFF",
                              "SET PASS,1,1,0,IMM,,,,BURST,1,,"}));
        QCOMPARE(positional::findInstrument(tree, "0A (917"), instruments[1]);
        QCOMPARE(positional::findInstrument(tree, "0B"), nullptr);
        QCOMPARE(positional::findInstrument(tree, ""), nullptr);
    }

    void editInPlaceResortsOnlySiblings() {
        ConfigTree tree;
        QAbstractItemModelTester tester(&tree);
        tree.resetToStartup();
        ConfigNode* b = tree.appendRoot("Instrument Address 02 (b)");
        ConfigNode* a = tree.appendRoot("Instrument Address 01 (a)");
        tree.appendChild(b, "zz");
        tree.appendChild(b, "aa");
        const QModelIndex idx = tree.indexOf(positional::settingsLine(tree, 2));
        QPersistentModelIndex keep(tree.indexOf(b));
        QVERIFY(tree.setData(idx, "", Qt::EditRole)); // empty text accepted, sorts first
        QCOMPARE(positional::settingsLine(tree, 0)->text, QString());
        // Roots and other groups keep their insertion order.
        QCOMPARE(tree.rootAt(1), b);
        QCOMPARE(tree.rootAt(2), a);
        QCOMPARE(positional::childTexts(b), QStringList({"zz", "aa"}));
        QCOMPARE(tree.nodeAt(keep), b);
        tree.setText(b, "Instrument Address 03 (b)");
        QCOMPARE(tree.rootAt(2), b);
        QCOMPARE(tree.nodeAt(keep), b);
    }

    // A node is one line of the file, and its leading TABs and blanks are level marks: an edit is stored
    // exactly as typed, or refused whole when it would not come back from disk as the same node. What
    // the node already held (a control character in an identification) does not hold up an edit.
    void anEditIsStoredAsTypedOrRefused_data() {
        QTest::addColumn<QString>("before");
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("stored");
        const QString node = "Instrument Address 01 (a)";
        QTest::newRow("Latin-1 and trailing blanks kept")
            << node << QString::fromLatin1("\xe9t\xe9 \xa0 ") << QString::fromLatin1("\xe9t\xe9 \xa0 ");
        QTest::newRow("empty") << node << ""
                               << "";
        QTest::newRow("not Latin-1") << node << QString("5 \u20ac") << node;
        QTest::newRow("line break") << node << "(c)\nmore" << node;
        QTest::newRow("TAB") << node << "SET PASS,1\t2" << node;
        QTest::newRow("NUL") << node << QString::fromLatin1("A\0B", 3) << node;
        QTest::newRow("C1 control") << node << QString::fromLatin1("A\x85") << node;
        QTest::newRow("leading blank") << node << " SET PASS,1" << node;
        const QString escaped = QString::fromLatin1("Instrument Address 01 (917\x1b[0m Version)");
        QTest::newRow("control already there")
            << escaped << QString::fromLatin1("Instrument Address 02 (917\x1b[0m Version)")
            << QString::fromLatin1("Instrument Address 02 (917\x1b[0m Version)");
        QTest::newRow("control added beside one there")
            << escaped << QString::fromLatin1("Instrument Address 01 (917\x1b[0m\x1b Version)") << escaped;
    }
    void anEditIsStoredAsTypedOrRefused() {
        QFETCH(QString, before);
        QFETCH(QString, typed);
        ConfigTree tree;
        tree.resetToStartup();
        ConfigNode* a = tree.appendRoot(before);
        tree.setData(tree.indexOf(a), typed, Qt::EditRole);
        QTEST(a->text, "stored");
        QCOMPARE(tree.nodeCount(), 5);
    }

    void brokenLayoutAnswersNone() {
        ConfigTree tree;
        QCOMPARE(positional::settingsGroup(tree), nullptr);
        QCOMPARE(positional::settingsLine(tree, 0), nullptr);
        QVERIFY(positional::instruments(tree).isEmpty());
        ConfigNode* settings = tree.appendRoot("Communication Settings");
        tree.appendChild(settings, "COM1,RS232,9600");
        ConfigNode* bare = tree.appendRoot("Instrument Address 05 (x)");
        QCOMPARE(positional::settingsLine(tree, 2), nullptr);
        QCOMPARE(positional::channelGroup(bare), nullptr);
        QCOMPARE(positional::loggingGroup(bare), nullptr);
        ConfigNode* shortText = tree.appendRoot("Short");
        QCOMPARE(positional::instrumentAddress(shortText), QString());
        QCOMPARE(positional::listEntry(shortText), QString());
    }

    void depthFirstWalk() {
        ConfigTree tree;
        tree.resetToStartup();
        ConfigNode* n = tree.firstRoot();
        QStringList seen;
        for (; n; n = tree.nextDepthFirst(n))
            seen.append(n->text);
        QCOMPARE(seen.size(), 4);
        QCOMPARE(tree.nodeCount(), 4);
        tree.removeNode(tree.firstRoot());
        QCOMPARE(tree.nodeCount(), 0);
    }
};

QTEST_MAIN(TestConfigTree)
#include "test_configtree.moc"
