#include "ConfigFile.h"
#include "ConfigTree.h"
#include "Positional.h"
#include "QuitSignals.h"
#include "Unit0.h"

#include <QTemporaryDir>
#include <QtTest>

#include <sys/resource.h>
#include <sys/stat.h>

namespace {
QStringList flatten(const ConfigTree& tree) {
    QStringList out;
    tree.forEachDepthFirst([&](ConfigNode& n, int depth) { out.append(QString(depth, '>') + n.text); });
    return out;
}

void addInstrument(ConfigTree& tree, const QString& address) {
    ConfigNode* n = tree.appendRoot(positional::instrumentNodeText(address, "917 Version 1.01"));
    tree.appendChild(n, "Channel Configuration");
    ConfigNode* log = tree.appendChild(n, "Data Logging Parameters");
    tree.appendChild(log, "SET HYSTERISES,0");
    tree.appendChild(log, "SET LOGSPEC,1,1,OFF,OFF,COMM,ASCII,ON,OFF");
    tree.appendChild(log, "SET PASS,1,1,0,IMM,,,,BURST,1,,");
}

// The bytes of a literal without its terminating NUL, NULs inside it included.
template <size_t N> QByteArray bytesOf(const char (&literal)[N]) {
    return QByteArray(literal, N - 1);
}

QByteArray readAll(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}
} // namespace

class TestConfigFile : public QObject {
    Q_OBJECT
    QTemporaryDir dir;

private slots:
    void writesTheExampleByteForByte() {
        ConfigTree tree;
        tree.resetToStartup();
        addInstrument(tree, "01");
        const QByteArray expected = "Communication Settings\r\n"
                                    "\tCOM1,RS232,9600\r\n"
                                    "\tCommand Prefix,#\r\n"
                                    "\tData Separator,Tab\r\n"
                                    "Instrument Address 01 (917 Version 1.01)\r\n"
                                    "\tChannel Configuration\r\n"
                                    "\tData Logging Parameters\r\n"
                                    "\t\tSET HYSTERISES,0\r\n"
                                    "\t\tSET LOGSPEC,1,1,OFF,OFF,COMM,ASCII,ON,OFF\r\n"
                                    "\t\tSET PASS,1,1,0,IMM,,,,BURST,1,,\r\n";
        const QString path = dir.filePath("example.917");
        QVERIFY(writeConfigFile(tree, path));
        QCOMPARE(readAll(path), expected);

        ConfigTree empty;
        QVERIFY(writeConfigFile(empty, path));
        QCOMPARE(QFileInfo(path).size(), 0);
    }

    void roundTripKeepsEveryByte() {
        ConfigTree tree;
        tree.resetToStartup();
        addInstrument(tree, "0A");
        addInstrument(tree, "01");
        ConfigNode* odd = tree.appendRoot(QString::fromLatin1("Latin-1 \xe9\xff and trailing blanks   "));
        tree.appendChild(odd, "");
        tree.appendRoot("");
        const QString path = dir.filePath("round.917");
        QVERIFY(writeConfigFile(tree, path));
        ConfigTree back;
        QVERIFY(readConfigFile(back, path).wholeFileRead());
        QCOMPARE(flatten(back), flatten(tree));
        QCOMPARE(serializeConfig(back), serializeConfig(tree));
    }

    void readingRules_data() {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QStringList>("nodes");
        const QStringList abc{"A", ">B", ">>C", "D"};
        QTest::newRow("crlf") << QByteArray("A\r\n\tB\r\n\t\tC\r\nD\r\n") << abc;
        QTest::newRow("lf only") << QByteArray("A\n\tB\n\t\tC\nD\n") << abc;
        QTest::newRow("cr only") << QByteArray("A\r\tB\r\t\tC\rD\r") << abc;
        QTest::newRow("no final end") << QByteArray("A\r\n\tB\r\n\t\tC\r\nD") << abc;
        QTest::newRow("blanks indent") << QByteArray("A\r\n B\r\n  C\r\nD\r\n") << abc;
        QTest::newRow("mixed indent") << QByteArray("A\r\n B\r\n\t C\r\nD\r\n") << abc;
        // Placed against the tree level of the node made from the line before, not that line's indent.
        QTest::newRow("first line indented") << QByteArray("\tA\r\n\tB\r\n\t\tC\r\nD\r\n") << abc;
        QTest::newRow("empty line is a root")
            << QByteArray("A\r\n\tB\r\n\r\n\tC\r\n") << QStringList{"A", ">B", "", ">C"};
        QTest::newRow("up two levels")
            << QByteArray("A\n\tB\n\t\tC\n\tD\n") << QStringList{"A", ">B", ">>C", ">D"};
        QTest::newRow("trailing blanks kept") << QByteArray("A  \r\n") << QStringList{"A  "};
        QTest::newRow("empty file") << QByteArray() << QStringList{};
        QTest::newRow("latin1") << QByteArray("\xe9t\xe9\r\n")
                                << QStringList{QString::fromLatin1("\xe9t\xe9")};
    }
    void readingRules() {
        QFETCH(QByteArray, bytes);
        QFETCH(QStringList, nodes);
        ConfigTree tree;
        QVERIFY(parseConfig(tree, bytes).wholeFileRead());
        QCOMPARE(flatten(tree), nodes);
    }

    void readingStops_data() {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QStringList>("nodes");
        QTest::addColumn<bool>("ok");
        QTest::addColumn<int>("line");
        QTest::addColumn<QString>("error"); // the message box's whole text
        const QStringList abc{"A", ">B", ">>C", "D"};
        QTest::newRow("too deep") << QByteArray("A\r\n\tB\r\n\t\t\tX Y\r\n\tC\r\n") << QStringList{"A", ">B"}
                                  << false << 3 << "Invalid level (3) for item \"X Y\"";
        QTest::newRow("indented first, then two deeper") << QByteArray("\tA\r\n\t\tB\r\n") << QStringList{"A"}
                                                         << false << 2 << "Invalid level (2) for item \"B\"";
        QTest::newRow("deep first, same indent") << QByteArray("\t\tA\r\n\t\tB\r\n") << QStringList{"A"}
                                                 << false << 2 << "Invalid level (2) for item \"B\"";
        // A NUL ends the text without a message of its own.
        QTest::newRow("nul at a line start")
            << bytesOf("A\r\n\tB\r\n\t\tC\r\nD\r\n\0E\r\n") << abc << true << 5 << "";
        QTest::newRow("nul inside a line")
            << bytesOf("A\n\tB\0C\n") << QStringList{"A", ">B"} << true << 2 << "";
        QTest::newRow("nul first") << bytesOf("\0A\n") << QStringList{} << true << 1 << "";
    }
    void readingStops() {
        QFETCH(QByteArray, bytes);
        QFETCH(int, line);
        ConfigTree tree;
        const ConfigReadResult r = parseConfig(tree, bytes);
        QTEST(flatten(tree), "nodes");
        QTEST(r.ok, "ok");
        QCOMPARE(r.stoppedAtLine, line);
        QVERIFY(!r.wholeFileRead());
        QTEST(r.errorMessage, "error");
        QVERIFY2(r.stopNote.contains(QString("stopped at line %1").arg(line)), qPrintable(r.stopNote));
    }

    // Only a regular file of a size a configuration can have is read: no hang, no unbounded read, and
    // no node built for a file beyond the bounds.
    void unreadableFiles() {
        const QString fifo = dir.filePath("pipe.917");
        QCOMPARE(::mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
        QFile huge(dir.filePath("huge.917"));
        QVERIFY(huge.open(QIODevice::WriteOnly) && huge.resize(qint64(16) * 1024 * 1024 + 1)); // sparse
        huge.close();
        QFile lines(dir.filePath("lines.917"));
        QVERIFY(lines.open(QIODevice::WriteOnly));
        lines.write("A\r\n");
        lines.write(QByteArray(1'000'000, '\r')); // one line more than the bound
        lines.close();
        for (const QString& path :
             {dir.filePath("absent.917"), fifo, huge.fileName(), lines.fileName(), QString("/dev/zero")}) {
            ConfigTree tree;
            const ConfigReadResult r = readConfigFile(tree, path);
            QVERIFY(!r.ok);
            QCOMPARE(r.errorMessage, QString("Cannot open file %1").arg(path));
            QCOMPARE(tree.nodeCount(), 0);
        }
    }

    // Opening costs what the file holds, not the bound: a small file opens under a tight address-space
    // limit.
    void smallFileUnderAMemoryLimit() {
#if defined(__SANITIZE_ADDRESS__)
        QSKIP("the address sanitizer reserves more address space than any limit allows");
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
        QSKIP("the address sanitizer reserves more address space than any limit allows");
#endif
#endif
        const QString path = dir.filePath("small.917");
        QFile f(path);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write("Communication Settings\r\n\tCOM1,RS232,9600\r\n");
        f.close();
        QFile status("/proc/self/status");
        QVERIFY(status.open(QIODevice::ReadOnly));
        const QByteArray vm = status.readAll();
        const qsizetype at = vm.indexOf("VmSize:");
        QVERIFY(at >= 0);
        const qint64 usedKiB =
            vm.mid(at + 7, vm.indexOf('\n', at) - at - 7).trimmed().split(' ').first().toLongLong();
        rlimit old{};
        getrlimit(RLIMIT_AS, &old);
        rlimit tight = old;
        tight.rlim_cur = rlim_t(usedKiB + 8 * 1024) * 1024; // 8 MiB to spare, half the bound
        QCOMPARE(setrlimit(RLIMIT_AS, &tight), 0);
        ConfigTree tree;
        bool whole = false;
        try {
            whole = readConfigFile(tree, path).wholeFileRead();
        } catch (const std::bad_alloc&) {
        }
        setrlimit(RLIMIT_AS, &old);
        QVERIFY(whole);
        QCOMPARE(tree.nodeCount(), 2);
    }

    void linkSettings_data() {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<int>("port");
        QTest::addColumn<int>("protocol");
        QTest::addColumn<int>("speed");
        QTest::addColumn<QString>("prefix");
        QTest::addColumn<QString>("separator");
        QTest::newRow("all set") << QByteArray(
                                        "S\n\tCOM2,RS485,57600\n\tCommand Prefix,$\n\tData Separator,Comma\n")
                                 << 1 << 2 << 7 << "$"
                                 << "Comma";
        QTest::newRow("unknown values")
            << QByteArray("S\n\tCOM3,RS999,1234\n\tCommand Prefix,\n\tData Separator,\n") << 0 << 0 << 0 << ""
            << "Tab";
        QTest::newRow("long prefix")
            << QByteArray("S\n\tCOM1,RS422,2400\n\tCommand Prefix,AB\n\tData Separator,@44@00\n") << 0 << 1
            << 2 << "A"
            << "@44@00";
        QTest::newRow("case sensitive") << QByteArray("S\n\tcom2,rs485,9600\n") << 0 << 0 << 4 << "!"
                                        << "Null";
        QTest::newRow("no commas") << QByteArray("S\n\tCOM2\n") << 1 << 0 << 0 << "!"
                                   << "Null";
        QTest::newRow("only the group") << QByteArray("Communication Settings\n") << 3 << 3 << 3 << "!"
                                        << "Null";
        QTest::newRow("hand-edited separator")
            << QByteArray("S\n\tCOM1,RS232,9600\n\tC,#\n\tData Separator,Colon\n") << 0 << 0 << 4 << "#"
            << "Tab";
    }
    void linkSettings() {
        QFETCH(QByteArray, bytes);
        ConfigTree tree;
        QVERIFY(parseConfig(tree, bytes).ok);
        SharedSettings s;
        s.HostComPort = s.HostComProtocol = s.HostComSpeed = 3;
        s.HostCommandPrefix = "!";
        SetDelimiter(s.HostDataSeparator, "Null", 0, 0);
        takeLinkSettings(tree, s);
        QTEST(s.HostComPort, "port");
        QTEST(s.HostComProtocol, "protocol");
        QTEST(s.HostComSpeed, "speed");
        QTEST(s.HostCommandPrefix, "prefix");
        QTEST(s.HostDataSeparator.Name, "separator");
    }

    void wildcardNameCannotBeCreated() {
        ConfigTree tree;
        tree.resetToStartup();
        QString message;
        const QString path = dir.filePath("*.917");
        QVERIFY(!writeConfigFile(tree, path, &message));
        QCOMPARE(message, QString("Cannot create file %1").arg(path));
        QVERIFY(!QFileInfo::exists(path));
    }

    void failedWriteLeavesThePreviousFileIntact() {
        QTemporaryDir own;
        const QString path = own.filePath("precious.917");
        ConfigTree small;
        small.resetToStartup();
        QVERIFY(writeConfigFile(small, path));
        const QByteArray before = readAll(path);

        ConfigTree big;
        big.resetToStartup();
        for (int i = 0; i < 200; ++i)
            addInstrument(big, QString::number(i, 16).toUpper().rightJustified(2, '0'));
        QVERIFY(serializeConfig(big).size() > 16384);

        // The disk "fills up" after 8 KiB: the file-size limit makes writes fail as a full disk does,
        // once the program's start-up signal handling keeps SIGXFSZ from killing it.
        platform::quitOnTerminationSignals({});
        rlimit old{};
        getrlimit(RLIMIT_FSIZE, &old);
        rlimit small8k = old;
        small8k.rlim_cur = 8192;
        QCOMPARE(setrlimit(RLIMIT_FSIZE, &small8k), 0);
        QString message;
        const bool ok = writeConfigFile(big, path, &message);
        setrlimit(RLIMIT_FSIZE, &old);
        QVERIFY(!ok);
        QCOMPARE(message, QString("Cannot create file %1").arg(path));
        QCOMPARE(readAll(path), before);
        QCOMPARE(QDir(own.path()).entryList(QDir::Files), QStringList({"precious.917"})); // no debris
    }
};

QTEST_GUILESS_MAIN(TestConfigFile)
#include "test_configfile.moc"
