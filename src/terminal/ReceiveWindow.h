#pragma once

#include "LineAssembly.h"

#include <QByteArray>
#include <QTimer>

#include <functional>

class QPlainTextEdit;

// The terminal's receive window as a target of the shared line assembly.
//
// Every change touches only the end of the document, so the cost of a block does not grow with the
// lines already shown. The line under construction is kept whole in memory (it is what the data log
// writes), but shown in pieces of at most kDisplayChunk characters: the widget lays out a changed
// line in full, and a device that sends 100 000 bytes without a CR would otherwise make every block
// cost a layout of the whole line.
class ReceiveWindow : public LineTarget {
public:
    static constexpr int kDisplayChunk = 1024;
    // A long session must not eat the machine's memory; a line costs the widget about 0.7 KB.
    static constexpr int kMaximumLines = 250000;

    explicit ReceiveWindow(QPlainTextEdit* edit);

    bool hasLines() const override { return anyLine; }
    QByteArray lastLine() const override { return line; }
    void setLastLine(const QByteArray& newLine) override;
    void appendEmptyLine() override;
    void lineCompleted(const QByteArray& completed) override;

    // One received block: assembled into lines, the view kept at the end if it was there.
    void receive(const char* data, qint64 size);
    // Empties the window; a partial line received so far is dropped.
    void clear();

    // Called with each line that a CR completes.
    std::function<void(const QByteArray&)> onLineCompleted;

private:
    int displayedLength(qsizetype n) const { return int(n + n / kDisplayChunk); }
    void replaceTail(const QByteArray& newLine);

    QPlainTextEdit* edit;
    QByteArray line; // the line under construction, as shown
    bool anyLine = false;
    // Scrolls to the end once the event loop runs: scrolling after every block would move the
    // window's image each time, only to paint it again.
    QTimer follow;
};
