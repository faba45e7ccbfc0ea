#include "ReceiveWindow.h"

#include "Memory.h"
#include "SteadyScrollBar.h"

#include <QPlainTextEdit>
#include <QScrollBar>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>

#include <algorithm>
#include <cstring>

namespace {

// Appends characters of a line that continue at column col, with a block break after every full
// piece (character i of a line sits at i + i / chunk from the line's start).
void appendPieces(QString& out, const char* data, qsizetype size, qsizetype& col, qsizetype chunk) {
    while (size > 0) {
        const qsizetype take = std::min(chunk - col % chunk, size);
        out += QLatin1StringView(data, take);
        col += take;
        data += take;
        size -= take;
        if (col % chunk == 0)
            out += QLatin1Char('\n');
    }
}

// Ends a line; one that filled its last piece already ends in the break that piece added.
void endLine(QString& out, qsizetype& col, qsizetype chunk) {
    if (col == 0 || col % chunk != 0)
        out += QLatin1Char('\n');
    col = 0;
}

} // namespace

ReceiveWindow::ReceiveWindow(QPlainTextEdit* edit, Bounds bounds) : edit(edit), bounds(bounds) {
    // An undo history would grow with every received byte.
    edit->setUndoRedoEnabled(false);
    edit->setMaximumBlockCount(bounds.lines);
    SteadyScrollBar::install(edit);
    frame.setSingleShot(true);
    sinceFlush.start();
    QObject::connect(&frame, &QTimer::timeout, edit, [this] { flush(); });
    follow.setSingleShot(true);
    follow.setInterval(0);
    QObject::connect(&follow, &QTimer::timeout, edit, [edit] {
        QScrollBar* bar = edit->verticalScrollBar();
        bar->setValue(bar->maximum());
    });
}

void ReceiveWindow::changed() {
    anyLine = true;
    // A line after a quiet spell is shown at once; a stream is shown a frame at a time, by the block
    // that arrives once the frame is due. The timer, a little later, shows the end of a stream.
    if (!frame.isActive())
        frame.start(int(std::max<qint64>(0, kFrameMs + kFrameSlackMs - sinceFlush.elapsed())));
}

void ReceiveWindow::setLastLine(const QByteArray& newLine) {
    if (pendingLines.isEmpty()) {
        const qsizetype n = std::min({line.size(), newLine.size(), shownKeep});
        shownKeep = std::mismatch(line.begin(), line.begin() + n, newLine.begin()).first - line.begin();
    }
    line = newLine;
    changed();
}

void ReceiveWindow::appendToLastLine(const char* data, qint64 size) {
    line.append(data, size);
    changed();
}

void ReceiveWindow::removeLastCharacter() {
    if (line.isEmpty())
        return;
    line.chop(1);
    if (pendingLines.isEmpty())
        shownKeep = std::min(shownKeep, line.size());
    changed();
}

void ReceiveWindow::appendEmptyLine() {
    if (pendingLines.isEmpty())
        pendingLines = line.mid(shownKeep);
    else
        pendingLines += line;
    pendingLines += '\n';
    line.clear();
    changed();
}

void ReceiveWindow::completeLastLine() {
    lineCompleted(line);
    appendEmptyLine();
}

void ReceiveWindow::lineCompleted(const QByteArray& completed) {
    if (onLineCompleted)
        onLineCompleted(completed);
}

void ReceiveWindow::receive(const char* data, qint64 size) {
    AssembleLines(*this, data, size);
    showIfDue();
}

void ReceiveWindow::showIfDue() {
    if (frame.isActive() && sinceFlush.elapsed() >= kFrameMs)
        flush();
}

void ReceiveWindow::flush() {
    frame.stop();
    sinceFlush.start();
    const qsizetype chunk = kDisplayChunk;
    if (pendingLines.isEmpty() && shownKeep == line.size() && shownLength == line.size())
        return;

    QTextDocument* doc = edit->document();
    QScrollBar* bar = edit->verticalScrollBar();
    const bool following = follow.isActive() || bar->value() >= bar->maximum();
    const int docEnd = doc->characterCount() - 1;
    int replaceFrom = docEnd - displayedLength(shownLength) + displayedLength(shownKeep);
    // Backspaces into the part of a long line that the window has dropped: the line is shown anew.
    if (replaceFrom < 0) {
        replaceFrom = 0;
        if (pendingLines.isEmpty())
            shownKeep = 0;
    }

    // What replaces the shown line from shownKeep on: the rest of the lines completed since the
    // last frame, then the line under construction.
    QString text;
    text.reserve(pendingLines.size() + line.size() + (pendingLines.size() + line.size()) / chunk + 2);
    qsizetype col = shownKeep;
    const char* p = pendingLines.constData();
    const char* const end = p + pendingLines.size();
    while (p < end) {
        const char* lf = static_cast<const char*>(memchr(p, '\n', size_t(end - p)));
        appendPieces(text, p, lf - p, col, chunk);
        endLine(text, col, chunk);
        p = lf + 1;
    }
    const qsizetype from = pendingLines.isEmpty() ? shownKeep : 0;
    appendPieces(text, line.constData() + from, line.size() - from, col, chunk);

    // More new text than the window holds (a flood between two frames): only the last lines are
    // shown, in place of everything, instead of being laid out only to be trimmed. Each piece of a
    // long line ends in a break, so there is always one to cut at.
    const int keepLines = bounds.lines - bounds.lines / 10;
    const int keepCharacters = bounds.characters - bounds.characters / 10;
    qsizetype breaks = text.count(QLatin1Char('\n'));
    if (breaks >= bounds.lines || text.size() > keepCharacters) {
        qsizetype at = text.size() > keepCharacters
                           ? text.indexOf(QLatin1Char('\n'), text.size() - keepCharacters) + 1
                           : 0;
        for (qsizetype skip = QStringView(text).mid(at).count(QLatin1Char('\n')) - keepLines; skip > 0;
             --skip)
            at = text.indexOf(QLatin1Char('\n'), at) + 1;
        text.remove(0, at);
        breaks = text.count(QLatin1Char('\n'));
        replaceFrom = 0;
    }

    // A full window is trimmed by a tenth at a time, so the whole view is repainted once in many
    // frames rather than in every one. What is trimmed lies before the place the new text goes.
    int trim = 0;
    if (replaceFrom > 0) {
        const int blocks = doc->blockCount();
        if (blocks + int(breaks) > bounds.lines)
            trim = blocks + int(breaks) - keepLines;
        const qsizetype characters = replaceFrom + text.size();
        if (characters > bounds.characters) {
            const int cut = int(characters - keepCharacters);
            const QTextBlock at = doc->findBlock(cut);
            trim = std::max(trim, at.blockNumber() + (at.position() < cut ? 1 : 0));
        }
        trim = std::min(trim, doc->findBlock(replaceFrom).blockNumber());
    }
    const bool everything = replaceFrom == 0 || trim > 0;

    // One edit: the widget lays out and signals once for the whole frame. It would repaint its
    // whole view for any change; only what changed at the end is repainted instead.
    QWidget* view = edit->viewport();
    const bool partial = !everything && view->updatesEnabled();
    if (partial)
        view->setAttribute(Qt::WA_UpdatesDisabled, true);
    QTextCursor cursor(doc);
    cursor.beginEditBlock();
    // Trimmed first, so the document never holds more than it keeps and the new text.
    int trimmed = 0;
    if (trim > 0) {
        trimmed = doc->findBlockByNumber(trim).position();
        cursor.setPosition(0);
        cursor.setPosition(trimmed, QTextCursor::KeepAnchor);
        cursor.removeSelectedText();
    }
    cursor.setPosition(replaceFrom - trimmed);
    if (replaceFrom < docEnd) {
        cursor.setPosition(docEnd - trimmed, QTextCursor::KeepAnchor);
        cursor.removeSelectedText();
    }
    cursor.insertText(text);
    cursor.endEditBlock();
    if (partial)
        view->setAttribute(Qt::WA_UpdatesDisabled, false);

    // After a trim or a flood the memory that held the dropped lines and this frame's text goes back
    // to the system, not only to the C library.
    const bool large = everything || text.size() > bounds.characters / 10;
    pendingLines.clear();
    if (large) {
        text = QString();
        platform::returnFreedMemory();
    }
    shownLength = shownKeep = line.size();
    if (following) {
        bar->setValue(bar->maximum());
        if (bar->value() < bar->maximum())
            follow.start(); // once the widget has taken in the new size
    }
    if (partial) {
        QTextCursor first(doc);
        first.setPosition(replaceFrom);
        const int top = std::max(0, edit->cursorRect(first).top());
        view->update(QRect(0, top, view->width(), view->height() - top));
    } else {
        view->update();
    }
}

void ReceiveWindow::clear() {
    frame.stop();
    edit->clear();
    line.clear();
    pendingLines.clear();
    shownLength = shownKeep = 0;
    anyLine = false;
}
