#include "ReceiveWindow.h"

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

ReceiveWindow::ReceiveWindow(QPlainTextEdit* edit) : edit(edit) {
    // An undo history would grow with every received byte.
    edit->setUndoRedoEnabled(false);
    edit->setMaximumBlockCount(kMaximumLines);
    // The bar stays; it moves at most when its slider does.
    edit->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    edit->setVerticalScrollBar(new SteadyScrollBar(Qt::Vertical));
    // The scroll area lays out its bars again after every change of range, to show or hide them,
    // and raising them there repaints both, every frame of a stream. A bar that is always on needs
    // no such layout; a resize still lays them out.
    QObject::disconnect(edit->verticalScrollBar(), &QScrollBar::rangeChanged, edit, nullptr);
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
    if (frame.isActive() && sinceFlush.elapsed() >= kFrameMs)
        flush();
}

void ReceiveWindow::flush() {
    frame.stop();
    sinceFlush.start();
    const qsizetype chunk = kDisplayChunk;
    if (pendingLines.isEmpty() && shownKeep == line.size() && shownLength == line.size())
        return;

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

    QTextDocument* doc = edit->document();
    QScrollBar* bar = edit->verticalScrollBar();
    const bool following = follow.isActive() || bar->value() >= bar->maximum();
    const int docEnd = doc->characterCount() - 1;
    int replaceFrom = docEnd - displayedLength(shownLength) + displayedLength(shownKeep);

    // More new lines than the window holds (a flood between two frames): only the last ones are
    // shown, in place of everything, instead of being laid out only to be trimmed.
    const qsizetype breaks = text.count(QLatin1Char('\n'));
    if (breaks >= kMaximumLines) {
        qsizetype skip = breaks - kMaximumLines + 1;
        qsizetype at = 0;
        while (skip-- > 0)
            at = text.indexOf(QLatin1Char('\n'), at) + 1;
        text.remove(0, at);
        replaceFrom = 0;
    }

    // A full window is trimmed by a tenth at a time, so the whole view is repainted once in many
    // frames rather than in every one.
    const int blocks = doc->blockCount();
    const int trim = blocks + int(breaks) > kMaximumLines && replaceFrom > 0
                         ? std::min(blocks - 1, blocks + int(breaks) - kMaximumLines + kMaximumLines / 10)
                         : 0;
    const bool everything = replaceFrom == 0 || trim > 0;

    // One edit: the widget lays out and signals once for the whole frame. It would repaint its
    // whole view for any change; only what changed at the end is repainted instead.
    QWidget* view = edit->viewport();
    const bool partial = !everything && view->updatesEnabled();
    if (partial)
        view->setAttribute(Qt::WA_UpdatesDisabled, true);
    QTextCursor cursor(doc);
    cursor.beginEditBlock();
    cursor.setPosition(replaceFrom);
    if (replaceFrom < docEnd) {
        cursor.setPosition(docEnd, QTextCursor::KeepAnchor);
        cursor.removeSelectedText();
    }
    cursor.insertText(text);
    if (trim > 0) {
        cursor.setPosition(0);
        cursor.setPosition(doc->findBlockByNumber(trim).position(), QTextCursor::KeepAnchor);
        cursor.removeSelectedText();
    }
    cursor.endEditBlock();
    if (partial)
        view->setAttribute(Qt::WA_UpdatesDisabled, false);

    pendingLines.clear();
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
