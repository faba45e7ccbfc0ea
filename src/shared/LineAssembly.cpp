#include "LineAssembly.h"

#include <QList>

#include <cstring>

namespace {
constexpr char BS = 8;
constexpr char LF = 10;
constexpr char CR = 13;

bool isSpecial(char c) {
    return c == BS || c == LF || c == CR;
}

// Length of the line under construction after a block without CR, from its length before.
qint64 lengthAfter(qint64 length, const char* data, qint64 size) {
    for (qint64 i = 0; i < size; ++i) {
        if (data[i] == BS)
            length = length > 0 ? length - 1 : 0;
        else if (data[i] != LF)
            ++length;
    }
    return length;
}
} // namespace

void LineTarget::appendToLastLine(const char* data, qint64 size) {
    setLastLine(lastLine() + QByteArray(data, size));
}

void LineTarget::removeLastCharacter() {
    QByteArray line = lastLine();
    if (line.isEmpty())
        return;
    line.chop(1);
    setLastLine(line);
}

void LineTarget::completeLastLine() {
    const QByteArray line = lastLine();
    setLastLine(line);
    lineCompleted(line);
    appendEmptyLine();
}

void AssembleLines(LineTarget& target, const char* data, qint64 size) {
    if (size <= 0)
        return;
    // A block without CR that leaves the line under construction empty is not stored at all: the
    // target keeps its last line as it was before the block.
    if (!memchr(data, CR, size_t(size)) && lengthAfter(target.lastLine().size(), data, size) == 0)
        return;
    qint64 i = 0;
    while (i < size) {
        qint64 run = i;
        while (run < size && !isSpecial(data[run]))
            ++run;
        if (run > i) {
            target.appendToLastLine(data + i, run - i);
            i = run;
            continue;
        }
        if (data[i] == BS)
            target.removeLastCharacter();
        else if (data[i] == CR)
            target.completeLastLine();
        ++i;
    }
    target.blockAssembled();
}

void LineBuffer::setLastLine(const QByteArray& line) {
    // Nothing reads the log back; the bound only keeps a chattering line from eating memory.
    const QByteArray kept = line.size() > maxLineLength ? line.right(maxLineLength) : line;
    if (lines.isEmpty())
        lines.append(kept);
    else
        lines.last() = kept;
}

void LineBuffer::appendEmptyLine() {
    lines.append(QByteArray());
    while (lines.size() > maxLines)
        lines.removeFirst();
}

void LineBuffer::appendToLastLine(const char* data, qint64 size) {
    if (lines.isEmpty())
        lines.append(QByteArray());
    lines.last().append(data, size);
}

void LineBuffer::removeLastCharacter() {
    if (!lines.isEmpty() && !lines.last().isEmpty())
        lines.last().chop(1);
}

void LineBuffer::completeLastLine() {
    if (lines.isEmpty())
        lines.append(QByteArray());
    lineCompleted(lines.last());
    trimLastLine();
    appendEmptyLine();
}

void LineBuffer::blockAssembled() {
    trimLastLine();
}

void LineBuffer::trimLastLine() {
    // Within a block the line may grow past the bound by at most the block; the cut costs at most
    // the bound, whatever the line's length.
    if (!lines.isEmpty() && lines.last().size() > maxLineLength)
        lines.last().remove(0, lines.last().size() - maxLineLength);
}
