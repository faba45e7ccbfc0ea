#include "LineAssembly.h"

#include <QtTest>

namespace {
QList<QByteArray> feed(std::initializer_list<QByteArray> blocks, QList<QByteArray> start = {}) {
    LineBuffer b;
    b.lines = start;
    for (const QByteArray& block : blocks)
        AssembleLines(b, block.constData(), block.size());
    return b.lines;
}
} // namespace

class TestLineAssembly : public QObject {
    Q_OBJECT
private slots:
    void lineEnds() {
        QCOMPARE(feed({"A\r\nB"}), QList<QByteArray>({"A", "B"}));
        QCOMPARE(feed({"A\rB"}), QList<QByteArray>({"A", "B"}));
        QCOMPARE(feed({"A\nB"}), QList<QByteArray>({"AB"}));
        QCOMPARE(feed({"A\r\rB"}), QList<QByteArray>({"A", "", "B"}));
        QCOMPARE(feed({"A\r"}), QList<QByteArray>({"A", ""}));
    }

    void appendsToTheExistingLastLine() {
        // A, B, CR, LF, C on a log whose last line is "x".
        QCOMPARE(feed({"AB\r\nC"}, {"old", "x"}), QList<QByteArray>({"old", "xAB", "C"}));
    }

    void lineSplitOverBlocks() {
        QCOMPARE(feed({"91", "7 Ver", "sion\r", "\n"}), QList<QByteArray>({"917 Version", ""}));
    }

    void backspaceAcrossBlocksNeverJoinsLines() {
        QCOMPARE(feed({"abc", "\b\bX\r"}), QList<QByteArray>({"aX", ""}));
        QCOMPARE(feed({"one\r", "\b\b\bz"}), QList<QByteArray>({"one", "z"}));
    }

    void backspacesThatEmptyThePartialLineLeaveItShown() {
        // The emptied line under construction is not stored: the window keeps "ab" ...
        QCOMPARE(feed({"ab", "\b\b"}), QList<QByteArray>({"ab"}));
        // ... and the next block starts again from it.
        QCOMPARE(feed({"ab", "\b\b", "c"}), QList<QByteArray>({"abc"}));
    }

    void completedLinesAreReported() {
        struct Recorder : LineBuffer {
            QList<QByteArray> done;
            void lineCompleted(const QByteArray& l) override { done.append(l); }
        } r;
        const QByteArray data("x\b\by\r\n\rz");
        AssembleLines(r, data.constData(), data.size());
        QCOMPARE(r.done, QList<QByteArray>({"y", ""}));
    }

    // A line that never ends costs each block only its own bytes: the assembly continues the line,
    // it never hands the whole line back and forth.
    void aLongLineIsContinuedNotRebuilt() {
        struct Counter : LineBuffer {
            qint64 handed = 0;
            int rebuilt = 0;
            void setLastLine(const QByteArray& l) override {
                ++rebuilt;
                LineBuffer::setLastLine(l);
            }
            void appendToLastLine(const char* d, qint64 n) override {
                handed += n;
                LineBuffer::appendToLastLine(d, n);
            }
        } c;
        const QByteArray block(64, 'x');
        for (int i = 0; i < 1000; ++i)
            AssembleLines(c, block.constData(), block.size());
        AssembleLines(c, "\b\by\r", 4);
        QCOMPARE(c.handed, 64001);
        QCOMPARE(c.rebuilt, 0);
        QCOMPARE(c.lines, QList<QByteArray>({QByteArray(4094, 'x') + "y", ""}));
    }

    void bufferStaysBounded() {
        LineBuffer b(10, 100);
        const QByteArray noLf(100000, 'a');
        AssembleLines(b, noLf.constData(), noLf.size());
        QCOMPARE(b.lines.size(), 1);
        QCOMPARE(b.lines.last().size(), 100);
        const QByteArray many = QByteArray("l\r").repeated(1000);
        AssembleLines(b, many.constData(), many.size());
        QCOMPARE(b.lines.size(), 10);
        const QByteArray nuls(100000, '\0');
        AssembleLines(b, nuls.constData(), nuls.size());
        QCOMPARE(b.lines.last().size(), 100);
    }
};

QTEST_APPLESS_MAIN(TestLineAssembly)
#include "test_lineassembly.moc"
