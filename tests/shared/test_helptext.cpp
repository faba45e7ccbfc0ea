#include "HelpText.h"

#include <QPlainTextEdit>
#include <QScrollBar>
#include <QTemporaryDir>
#include <QtTest>

// Loading the context-help text file and showing a topic in a help box.
class TestHelpText : public QObject {
    Q_OBJECT
    QTemporaryDir dir;

    QString write(const QByteArray& bytes) {
        const QString path = dir.filePath("help.txt");
        QFile f(path);
        if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate))
            return {};
        f.write(bytes);
        return path;
    }

    HelpTable loaded(const QByteArray& bytes) {
        HelpTable t;
        t.load(write(bytes));
        return t;
    }

private slots:
    void topicsAsShown_data() {
        QTest::addColumn<QByteArray>("file");
        QTest::addColumn<int>("topic");
        QTest::addColumn<QStringList>("shown");
        QTest::newRow("example: blank # keeps a space")
            << QByteArray("$Port\n#The serial port in use.\n#\n#Pick COM1 or COM2.\n") << 0
            << QStringList({"Port", "", "The serial port in use.", " ", "Pick COM1 or COM2."});
        QTest::newRow("other first characters never appear")
            << QByteArray("comment\n$Title\n x\n\n;note\n#line\n!#no\n") << 0
            << QStringList({"Title", "", "line"});
        QTest::newRow("numbered by the $ lines")
            << QByteArray("$A\n#a\n$B\n#b\n$C\n#c1\n#c2\n") << 2 << QStringList({"C", "", "c1", "c2"});
        QTest::newRow("empty $ title: first line becomes the title")
            << QByteArray("$A\n#a\n$\n#Second\n#s1\n") << 1 << QStringList({"Second", "", "s1"});
        QTest::newRow("lines before the first $ belong to nothing")
            << QByteArray("#orphan\n#orphan 2\n$T\n#t\n") << 0 << QStringList({"T", "", "t"});
        QTest::newRow("Windows line ends")
            << QByteArray("$T\r\n#t1\r\n#\r\n") << 0 << QStringList({"T", "", "t1", " "});
        QTest::newRow("8-bit text survives") << QByteArray("$Temp\n#25 \xB0"
                                                           "C\n")
                                             << 0
                                             << QStringList({"Temp", "",
                                                             QString::fromLatin1("25 \xB0"
                                                                                 "C")});
        QTest::newRow("unused topic shows nothing")
            << QByteArray("$A\n#a\n$\n$C\n#c\n") << 1 << QStringList();
        QTest::newRow("negative topic") << QByteArray("$A\n#a\n") << -1 << QStringList();
        QTest::newRow("topic 300") << QByteArray("$A\n#a\n") << 300 << QStringList();
        QTest::newRow("topic not in the file") << QByteArray("$A\n#a\n") << 5 << QStringList();
    }
    void topicsAsShown() {
        QFETCH(QByteArray, file);
        QFETCH(int, topic);
        QFETCH(QStringList, shown);
        const HelpTable t = loaded(file);
        QCOMPARE(t.topicLines(topic), shown);
        QPlainTextEdit memo;
        memo.setPlainText("left over");
        ReadUserHelp(&memo, t, topic);
        QCOMPARE(memo.toPlainText(), shown.join('\n'));
    }

    void aTopicShowsAtMost29Lines() {
        QByteArray file = "$Long\n";
        for (int i = 1; i <= 35; ++i)
            file += "#line " + QByteArray::number(i) + "\n";
        file += "$Next\n#n\n";
        const HelpTable t = loaded(file);
        const QStringList lines = t.topicLines(0);
        QCOMPARE(lines.size(), 2 + 29);
        QCOMPARE(lines.last(), QString("line 29"));
        QCOMPARE(t.topicLines(1), QStringList({"Next", "", "n"}));
    }

    void topicsPast300AreDroppedQuietly() {
        QByteArray file;
        for (int i = 0; i < 310; ++i)
            file += "$T" + QByteArray::number(i) + "\n#x\n";
        const HelpTable t = loaded(file);
        QCOMPARE(t.topicLines(299).first(), QString("T299"));
        QVERIFY(t.cell(0, 300).isEmpty());
    }

    void unreadableFileLeavesNoTopics() {
        HelpTable t = loaded("$A\n#a\n");
        QCOMPARE(t.cell(0, 0), QString("A"));
        t.load(dir.filePath("missing.txt"));
        QVERIFY(t.topicLines(0).isEmpty());
        t.setCell(0, 0, "B");
        t.load(dir.path()); // a folder, not a file
        QVERIFY(t.topicLines(0).isEmpty());
    }

    void titleSelectedAndTopShown() {
        QByteArray file = "$A title\n";
        for (int i = 1; i <= 29; ++i)
            file += "#line " + QByteArray::number(i) + "\n";
        const HelpTable t = loaded(file);
        QPlainTextEdit memo;
        memo.resize(200, 60);
        memo.show();
        memo.verticalScrollBar()->setValue(memo.verticalScrollBar()->maximum());
        ReadUserHelp(&memo, t, 0);
        QCOMPARE(memo.textCursor().selectedText(), QString("A title"));
        QCOMPARE(memo.textCursor().selectionStart(), 0);
        QCOMPARE(memo.verticalScrollBar()->value(), 0);
    }

    // The file delivered beside the program: topics 0 to 70 where the dialogs expect them.
    void deliveredFileHasEveryTopic() {
        const QString folder = qEnvironmentVariable("V917_HELP_DIR");
        const QString path = folder + "/48710093.TXT";
        if (folder.isEmpty() || !QFile::exists(path))
            QSKIP("the help text file is not beside the program");
        HelpTable t;
        t.load(path);
        const QList<int> unused{3, 4, 5, 6, 9, 12};
        for (int topic = 0; topic <= 70; ++topic) {
            const QStringList lines = t.topicLines(topic);
            if (unused.contains(topic)) {
                QVERIFY2(lines.isEmpty(), qPrintable(QString::number(topic)));
                continue;
            }
            QVERIFY2(lines.size() >= 3, qPrintable(QString("topic %1 has no text").arg(topic)));
        }
        QVERIFY(t.topicLines(71).isEmpty());
        QCOMPARE(t.cell(0, 0), QString("Communications Port"));
        QCOMPARE(t.cell(0, 2), QString("Communications Baud Rate"));
        QCOMPARE(t.cell(0, 17), QString("Channel Number"));
        QCOMPARE(t.cell(0, 29), QString("Limit Hysteresis"));
        QCOMPARE(t.cell(0, 62), QString("Exit 917 Configuration Wizard"));
        QCOMPARE(t.cell(0, 63), QString("Instruments to Program"));
        QCOMPARE(t.cell(0, 70), QString("Close"));
    }
};

QTEST_MAIN(TestHelpText)
#include "test_helptext.moc"
