#include "ReceiveWindow.h"

#include <QPlainTextEdit>
#include <QScrollBar>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>

#include <algorithm>

ReceiveWindow::ReceiveWindow(QPlainTextEdit* edit) : edit(edit) {
    // An undo history would grow with every received byte.
    edit->setUndoRedoEnabled(false);
    edit->setMaximumBlockCount(kMaximumLines);
    follow.setSingleShot(true);
    follow.setInterval(0);
    QObject::connect(&follow, &QTimer::timeout, edit, [edit] {
        QScrollBar* bar = edit->verticalScrollBar();
        bar->setValue(bar->maximum());
    });
}

// The line under construction always ends the document. A piece that is full is followed at once by
// a new block, so a line of n characters takes n / kDisplayChunk + 1 blocks and character i sits at
// i + i / kDisplayChunk from the line's start.
void ReceiveWindow::replaceTail(const QByteArray& newLine) {
    QTextDocument* doc = edit->document();
    const int end = doc->characterCount() - 1;
    const int start = end - displayedLength(line.size());
    const qsizetype common =
        std::mismatch(line.begin(), line.begin() + std::min(line.size(), newLine.size()), newLine.begin())
            .first -
        line.begin();

    QTextCursor cursor(doc);
    cursor.beginEditBlock();
    if (common < line.size()) {
        cursor.setPosition(start + displayedLength(common));
        cursor.setPosition(end, QTextCursor::KeepAnchor);
        cursor.removeSelectedText();
    } else {
        cursor.setPosition(end);
    }
    for (qsizetype i = common; i < newLine.size();) {
        const qsizetype take = std::min(kDisplayChunk - i % kDisplayChunk, newLine.size() - i);
        cursor.insertText(QString::fromLatin1(newLine.constData() + i, take));
        i += take;
        if (i % kDisplayChunk == 0)
            cursor.insertBlock();
    }
    cursor.endEditBlock();
    line = newLine;
}

void ReceiveWindow::setLastLine(const QByteArray& newLine) {
    anyLine = true;
    if (newLine != line)
        replaceTail(newLine);
}

void ReceiveWindow::appendEmptyLine() {
    anyLine = true;
    // A line that filled its last piece already ends in the empty block the next line starts on.
    if (line.isEmpty() || line.size() % kDisplayChunk != 0) {
        QTextCursor cursor(edit->document());
        cursor.movePosition(QTextCursor::End);
        cursor.insertBlock();
    }
    line.clear();
}

void ReceiveWindow::lineCompleted(const QByteArray& completed) {
    if (onLineCompleted)
        onLineCompleted(completed);
}

void ReceiveWindow::receive(const char* data, qint64 size) {
    QScrollBar* bar = edit->verticalScrollBar();
    const bool following = follow.isActive() || bar->value() >= bar->maximum();
    // One edit for the whole block: the widget lays out and signals once, not once per line.
    QTextCursor batch(edit->document());
    batch.beginEditBlock();
    AssembleLines(*this, data, size);
    batch.endEditBlock();
    if (following)
        follow.start();
    // Painted as soon as the poll hands control back to the event loop, once for many blocks.
    edit->viewport()->update();
}

void ReceiveWindow::clear() {
    edit->clear();
    line.clear();
    anyLine = false;
}
