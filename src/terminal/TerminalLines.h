#pragma once

#include "LineAssembly.h"

#include <QDateTime>

#include <functional>

// What the receive window shows, with the view options: each received line assembled by the shared
// rules, optionally led by its arrival time, and the lines the program sent echoed above the line
// under construction. It works on any line target (the receive window, a buffer in tests); the
// assembly itself only ever sees the received characters, so backspaces never eat a time stamp and
// the rule for a line that backspaces emptied holds as without options.
class TerminalLines : public LineTarget {
public:
    explicit TerminalLines(LineTarget& shown) : shown(shown) {}

    // One received block.
    void receive(const char* data, qint64 size);
    // A line the program sent: shown as a line of its own, never continued by received bytes.
    void echo(const QString& sent);
    // The shown target was emptied.
    void cleared() { prefixLength = 0; }

    // Lines begun from now on carry their arrival time.
    bool showTimeStamps = false;
    std::function<QDateTime()> now = [] { return QDateTime::currentDateTime(); };

    bool hasLines() const override { return shown.hasLines(); }
    QByteArray lastLine() const override;
    void setLastLine(const QByteArray& line) override;
    void appendEmptyLine() override;
    void appendToLastLine(const char* data, qint64 size) override;
    void removeLastCharacter() override;
    void completeLastLine() override;

private:
    // Starts the shown line with its time stamp when it has none yet and stamps are on.
    void beginLine();

    LineTarget& shown;
    // Length of the time stamp in front of the shown last line; 0 for none.
    qsizetype prefixLength = 0;
    // One reading of the clock per block, written out once: a flood brings thousands of lines a block.
    QByteArray blockStamp;
    bool blockTimeRead = false;
};
