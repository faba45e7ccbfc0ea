#include "ReceiveWindow.h"

#include <QPlainTextEdit>
#include <QScrollBar>
#include <QTextBlock>
#include <QtTest>

namespace {

// The window's lines as the user sees them, one entry per display line.
QStringList shown(const QPlainTextEdit& edit) {
    QStringList out;
    for (QTextBlock b = edit.document()->firstBlock(); b.isValid(); b = b.next())
        out.append(b.text());
    return out;
}

struct Window {
    QPlainTextEdit edit;
    ReceiveWindow rx{&edit};
    QList<QByteArray> completed;
    Window() {
        rx.onLineCompleted = [this](const QByteArray& l) { completed.append(l); };
    }
    void feed(const QByteArray& block) {
        rx.receive(block.constData(), block.size());
        rx.flush();
    }
};

} // namespace

class TestReceiveWindow : public QObject {
    Q_OBJECT
private slots:
    void assembly_data() {
        QTest::addColumn<QByteArrayList>("blocks");
        QTest::addColumn<QStringList>("lines");
        QTest::addColumn<QByteArrayList>("completed");
        QTest::newRow("CR LF is one break")
            << QByteArrayList{"A\r\nB"} << QStringList{"A", "B"} << QByteArrayList{"A"};
        QTest::newRow("CR alone breaks")
            << QByteArrayList{"A\rB"} << QStringList{"A", "B"} << QByteArrayList{"A"};
        QTest::newRow("LF alone is nothing")
            << QByteArrayList{"A\nB"} << QStringList{"AB"} << QByteArrayList{};
        QTest::newRow("CR CR an empty line")
            << QByteArrayList{"A\r\rB"} << QStringList{"A", "", "B"} << QByteArrayList{"A", ""};
        QTest::newRow("CR first") << QByteArrayList{"\r"} << QStringList{"", ""} << QByteArrayList{""};
        QTest::newRow("line split over blocks")
            << QByteArrayList{"91", "7 Ver", "sion\r", "\n"} << QStringList{"917 Version", ""}
            << QByteArrayList{"917 Version"};
        QTest::newRow("BS over a block boundary")
            << QByteArrayList{"abc", "\b\bX\r"} << QStringList{"aX", ""} << QByteArrayList{"aX"};
        QTest::newRow("BS never joins lines")
            << QByteArrayList{"one\r", "\b\b\bz"} << QStringList{"one", "z"} << QByteArrayList{"one"};
        QTest::newRow("emptied partial line stays shown")
            << QByteArrayList{"x\rab", "\b\b"} << QStringList{"x", "ab"} << QByteArrayList{"x"};
        QTest::newRow("and the next block starts from it")
            << QByteArrayList{"ab", "\b\b", "c\r"} << QStringList{"abc", ""} << QByteArrayList{"abc"};
        QTest::newRow("control bytes kept") << QByteArrayList{QByteArray("1\t2\x01\x00z\xe9\r", 8)}
                                            << QStringList{QString::fromLatin1("1\t2\x01\0z\xe9", 7), ""}
                                            << QByteArrayList{QByteArray("1\t2\x01\x00z\xe9", 7)};
    }
    void assembly() {
        QFETCH(QByteArrayList, blocks);
        QFETCH(QStringList, lines);
        QFETCH(QByteArrayList, completed);
        Window w;
        for (const QByteArray& b : blocks)
            w.feed(b);
        QCOMPARE(shown(w.edit), lines);
        QCOMPARE(w.completed, completed);
    }

    void clearInTheMiddleOfALineDropsItsStart() {
        Window w;
        w.feed("first\r\npart");
        w.rx.clear();
        QVERIFY(!w.rx.hasLines());
        // Clearing keeps the window's bound and leaves no undo history to grow.
        QCOMPARE(w.edit.maximumBlockCount(), ReceiveWindow::kMaximumLines);
        QVERIFY(!w.edit.document()->isUndoRedoEnabled());
        w.feed("rest\r\n");
        QCOMPARE(shown(w.edit), QStringList({"rest", ""}));
        QCOMPARE(w.completed, QByteArrayList({"first", "rest"}));
    }

    // A long line is shown in pieces, but kept and completed whole.
    void aLongLineWithoutCR() {
        Window w;
        QByteArray sent;
        for (int i = 0; i < 100000; ++i)
            sent.append(char('a' + i % 26));
        for (int i = 0; i < sent.size(); i += 64)
            w.feed(sent.mid(i, 64));
        QCOMPARE(w.rx.lastLine(), sent);
        const QStringList pieces = shown(w.edit);
        QCOMPARE(pieces.size(), 100000 / ReceiveWindow::kDisplayChunk + 1);
        QCOMPARE(pieces.join(QString()), QString::fromLatin1(sent));
        for (int i = 0; i + 1 < pieces.size(); ++i)
            QCOMPARE(pieces[i].size(), ReceiveWindow::kDisplayChunk);

        // Backspaces reach back over a piece boundary without leaving a hole.
        const int k = ReceiveWindow::kDisplayChunk;
        const int over = int(sent.size() % k) + 3;
        w.feed(QByteArray(over, '\b') + "XY");
        sent.chop(over);
        sent.append("XY");
        QCOMPARE(shown(w.edit).join(QString()), QString::fromLatin1(sent));
        QCOMPARE(shown(w.edit).last().size(), int(sent.size() % k));
        w.feed("\r\nnext");
        QCOMPARE(w.completed, QByteArrayList({sent}));
        QCOMPARE(shown(w.edit).last(), QString("next"));
    }

    void aLineThatFillsAPieceExactly() {
        Window w;
        const QByteArray full(ReceiveWindow::kDisplayChunk, 'f');
        w.feed(full);
        QCOMPARE(shown(w.edit), QStringList({QString(full), ""}));
        w.feed("\r\n");
        QCOMPARE(shown(w.edit), QStringList({QString(full), ""}));
        w.feed("\b");
        QCOMPARE(w.rx.lastLine(), QByteArray());
        w.feed("a\r");
        QCOMPARE(shown(w.edit), QStringList({QString(full), "a", ""}));
        QCOMPARE(w.completed, QByteArrayList({full, "a"}));
        // Backspaces that empty a piece-filling line leave it shown, like any emptied partial line.
        w.feed(full);
        w.feed(QByteArray(ReceiveWindow::kDisplayChunk, '\b'));
        QCOMPARE(w.rx.lastLine(), full);
        w.feed("\bz\r");
        QCOMPARE(w.completed.last(), full.left(full.size() - 1) + "z");
    }

    // A long session or a flood keeps memory bounded, by lines and by characters, and always shows
    // the newest text.
    void theWindowIsBounded_data() {
        QTest::addColumn<int>("maxLines");
        QTest::addColumn<int>("maxCharacters");
        QTest::addColumn<int>("length");
        QTest::addColumn<int>("count");
        QTest::addColumn<bool>("oneFrame");
        QTest::newRow("by lines, a line a frame") << 100 << 1000000 << 58 << 250 << false;
        QTest::newRow("by characters, a line a frame") << 100000 << 20000 << 300 << 200 << false;
        QTest::newRow("a flood beyond both in one frame") << 100 << 20000 << 58 << 1000 << true;
        QTest::newRow("long lines flooding the characters") << 100000 << 20000 << 3000 << 30 << true;
    }
    void theWindowIsBounded() {
        QFETCH(int, maxLines);
        QFETCH(int, maxCharacters);
        QFETCH(int, length);
        QFETCH(int, count);
        QFETCH(bool, oneFrame);
        QPlainTextEdit edit;
        ReceiveWindow rx(&edit, {maxLines, maxCharacters});
        QByteArray last;
        for (int i = 0; i < count; ++i) {
            last = QByteArray::number(i).rightJustified(8, '0') + QByteArray(length - 8, 'x');
            rx.receive((last + "\r\n").constData(), length + 2);
            if (!oneFrame)
                rx.flush();
        }
        rx.flush();
        const QTextDocument* doc = edit.document();
        QVERIFY(doc->blockCount() <= maxLines);
        QVERIFY(doc->characterCount() <= maxCharacters);
        // Trimmed by a tenth, not emptied.
        QVERIFY(doc->blockCount() >= maxLines * 9 / 10 || doc->characterCount() >= maxCharacters * 8 / 10);
        const QStringList lines = shown(edit);
        const int k = ReceiveWindow::kDisplayChunk;
        QCOMPARE(lines.last(), QString());
        QCOMPARE(lines.mid(lines.size() - 1 - (length + k - 1) / k, (length + k - 1) / k).join(QString()),
                 QString::fromLatin1(last));
    }

    // Backspaces that reach into the part of a long line that the bound has trimmed away.
    void aTrimmedLongLineIsReplacedWhole() {
        QPlainTextEdit edit;
        ReceiveWindow rx(&edit, {1000, 20000});
        const QByteArray longLine(50000, 'a');
        rx.receive(longLine.constData(), longLine.size());
        rx.flush();
        QVERIFY(edit.document()->characterCount() <= 20000);
        const QByteArray back = QByteArray(49990, '\b') + "bc";
        rx.receive(back.constData(), back.size());
        rx.flush();
        QCOMPARE(rx.lastLine(), QByteArray(10, 'a') + "bc");
        QCOMPARE(shown(edit).join(QString()), QString(10, 'a') + "bc");
    }

    void theViewFollowsTheEndOnlyWhenItWasThere() {
        QPlainTextEdit edit;
        edit.resize(300, 120);
        edit.show();
        QVERIFY(QTest::qWaitForWindowExposed(&edit));
        ReceiveWindow rx(&edit);
        for (int i = 0; i < 200; ++i) {
            const QByteArray l = "line " + QByteArray::number(i) + "\r\n";
            rx.receive(l.constData(), l.size());
        }
        rx.flush();
        QScrollBar* bar = edit.verticalScrollBar();
        QVERIFY(bar->maximum() > 0);
        QTRY_COMPARE(bar->value(), bar->maximum());
        bar->setValue(10);
        rx.receive("more\r\n", 6);
        QCoreApplication::processEvents();
        QCOMPARE(bar->value(), 10);
        bar->setValue(bar->maximum());
        rx.receive("last\r\n", 6);
        rx.flush();
        QTRY_COMPARE(bar->value(), bar->maximum());
        const QTextCursor last(edit.document()->lastBlock().previous());
        QCOMPARE(last.block().text(), QString("last"));
        QVERIFY(edit.viewport()->rect().contains(edit.cursorRect(last)));
    }
};

QTEST_MAIN(TestReceiveWindow)
#include "test_receivewindow.moc"
