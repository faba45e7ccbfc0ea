#pragma once

#include "LineAssembly.h"

#include <QByteArray>
#include <QElapsedTimer>
#include <QTimer>

#include <functional>

class QPlainTextEdit;

// The terminal's receive window as a target of the shared line assembly.
//
// Bytes are assembled as they arrive (a completed line reaches onLineCompleted at once), but the
// widget is changed at most once per display frame: one edit that replaces what changed at the end
// of the document and appends the lines completed since. A full window (by lines or by characters)
// drops its oldest tenth in such an edit, so trimming costs the same per line received however long the
// session has run. The line under construction is kept whole in memory (a backspace edits it as received),
// but shown in pieces of at most kDisplayChunk characters: the widget lays out a changed line in full, and a
// device that sends 100 000 bytes without a CR would otherwise make every frame cost a layout of the whole
// line.
class ReceiveWindow : public LineTarget {
public:
    static constexpr int kDisplayChunk = 1024;
    // A long session must not eat the machine's memory. A line costs the widget about 150 bytes and
    // each character 2 more, but the document keeps text it has dropped until its buffer is full, up
    // to twice what it shows. The window keeps at most this many lines and characters (about 20 MB
    // either way; 50 000 lines of 60 characters), and drops its oldest tenth when it is full.
    static constexpr int kMaximumLines = 100000;
    static constexpr int kMaximumCharacters = 3000000;
    // A stream of lines is shown ten times a second: as easy to follow as a faster refresh, and each
    // refresh repaints the view and its scroll bar, which at the line rate costs more than taking
    // the bytes in.
    static constexpr int kFrameMs = 100;
    // How much later the frame's own timer runs: the blocks of a stream come more often, and showing
    // the frame with one of them saves a wake-up.
    static constexpr int kFrameSlackMs = 25;

    struct Bounds {
        int lines;
        int characters;
    };

    explicit ReceiveWindow(QPlainTextEdit* edit) : ReceiveWindow(edit, {kMaximumLines, kMaximumCharacters}) {}
    ReceiveWindow(QPlainTextEdit* edit, Bounds bounds);

    bool hasLines() const override { return anyLine; }
    QByteArray lastLine() const override { return line; }
    void setLastLine(const QByteArray& newLine) override;
    void appendEmptyLine() override;
    void lineCompleted(const QByteArray& completed) override;
    void appendToLastLine(const char* data, qint64 size) override;
    void removeLastCharacter() override;
    void completeLastLine() override;

    // One received block: assembled into lines now, shown with the next frame, the view kept at
    // the end if it was there.
    void receive(const char* data, qint64 size);
    // Once a block has been taken in (through this window's receive or another line target in
    // front of it): shows the frame if it is due, in the wake-up that brought the bytes.
    void showIfDue();
    // Shows at once what has been received so far.
    void flush();
    // Empties the window; a partial line received so far is dropped.
    void clear();

    // Called with each line that a CR completes.
    std::function<void(const QByteArray&)> onLineCompleted;

private:
    int displayedLength(qsizetype n) const { return int(n + n / kDisplayChunk); }
    void changed();

    QPlainTextEdit* edit;
    Bounds bounds;
    QByteArray line;           // the line under construction, whole
    qsizetype shownLength = 0; // how much of it the document shows
    qsizetype shownKeep = 0;   // how much of what is shown is still right
    QByteArray pendingLines;   // completed since the last frame, each ended by LF; the first from shownKeep
    bool anyLine = false;
    QTimer frame;
    QElapsedTimer sinceFlush;
    // Scrolls to the end once the event loop runs, after the widget has taken the new size in.
    QTimer follow;
};
