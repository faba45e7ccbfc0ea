#include "LineAssembly.h"

#include <QList>

void AssembleLines(LineTarget& target, const char* data, qint64 size) {
    QByteArray current = target.lastLine();
    for (qint64 i = 0; i < size; ++i) {
        const char c = data[i];
        switch (c) {
        case 8:
            if (!current.isEmpty())
                current.chop(1);
            break;
        case 10:
            break;
        case 13:
            target.setLastLine(current);
            target.lineCompleted(current);
            target.appendEmptyLine();
            current.clear();
            break;
        default:
            current.append(c);
        }
    }
    if (!current.isEmpty())
        target.setLastLine(current);
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
