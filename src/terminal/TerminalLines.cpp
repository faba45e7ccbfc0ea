#include "TerminalLines.h"

#include "TerminalText.h"

void TerminalLines::receive(const char* data, qint64 size) {
    blockTimeRead = false;
    AssembleLines(*this, data, size);
}

QByteArray TerminalLines::lastLine() const {
    return prefixLength == 0 ? shown.lastLine() : shown.lastLine().mid(prefixLength);
}

void TerminalLines::setLastLine(const QByteArray& line) {
    beginLine();
    shown.setLastLine(shown.lastLine().left(prefixLength) + line);
}

void TerminalLines::appendEmptyLine() {
    shown.appendEmptyLine();
    prefixLength = 0;
}

void TerminalLines::beginLine() {
    if (prefixLength > 0 || !showTimeStamps || !shown.lastLine().isEmpty())
        return;
    if (!blockTimeRead) {
        blockStamp = shownTimeStamp(now());
        blockTimeRead = true;
    }
    shown.appendToLastLine(blockStamp.constData(), blockStamp.size());
    prefixLength = blockStamp.size();
}

void TerminalLines::appendToLastLine(const char* data, qint64 size) {
    beginLine();
    shown.appendToLastLine(data, size);
}

void TerminalLines::removeLastCharacter() {
    if (shown.lastLine().size() > prefixLength)
        shown.removeLastCharacter();
}

void TerminalLines::completeLastLine() {
    beginLine();
    shown.completeLastLine();
    prefixLength = 0;
}

void TerminalLines::echo(const QString& sent) {
    blockTimeRead = false;
    QByteArray line = echoLine(sent);
    if (showTimeStamps)
        line.prepend(shownTimeStamp(now()));
    const QByteArray partial = shown.lastLine();
    if (partial.isEmpty()) {
        shown.appendToLastLine(line.constData(), line.size());
        shown.appendEmptyLine();
        return;
    }
    // Above the line under construction, which then goes on below it.
    shown.setLastLine(line);
    shown.appendEmptyLine();
    shown.appendToLastLine(partial.constData(), partial.size());
}
