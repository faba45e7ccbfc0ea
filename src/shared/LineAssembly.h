#pragma once

#include <QByteArray>
#include <QList>

// A window of received lines whose last line is the one under construction.
class LineTarget {
public:
    virtual ~LineTarget() = default;
    virtual bool hasLines() const = 0;
    virtual QByteArray lastLine() const = 0;
    // Replaces the last line, or adds it as the first when there are none.
    virtual void setLastLine(const QByteArray& line) = 0;
    virtual void appendEmptyLine() = 0;
    // A CR has completed this line (the data log listens here).
    virtual void lineCompleted(const QByteArray& line) { Q_UNUSED(line); }

    // The steps the assembly takes. The defaults go through the calls above and copy the whole
    // line each time; a target that keeps long lines overrides them, so that a block costs the
    // same however long the line it continues.
    // Appends bytes to the last line, adding it when there are none.
    virtual void appendToLastLine(const char* data, qint64 size);
    // Removes the last character of the last line, if it has one.
    virtual void removeLastCharacter();
    // CR: the last line is stored (added when there are none), reported, and an empty one follows.
    virtual void completeLastLine();
    // The end of one block of bytes.
    virtual void blockAssembled() {}
};

// Received bytes into lines: BS deletes the last character of the line under construction (never
// joining it to the line before), LF is ignored, CR completes the line and starts an empty one, any
// other byte is appended. A partial line is shown at once and continued by the next block; a partial
// line that backspaces emptied is not stored, so the window keeps its last line as it was.
void AssembleLines(LineTarget& target, const char* data, qint64 size);

// Lines held in memory with a bound, for the hidden receive log and for tests.
class LineBuffer : public LineTarget {
public:
    explicit LineBuffer(int maxLines = 1000, int maxLineLength = 4096)
        : maxLines(maxLines), maxLineLength(maxLineLength) {}
    bool hasLines() const override { return !lines.isEmpty(); }
    QByteArray lastLine() const override { return lines.isEmpty() ? QByteArray() : lines.last(); }
    void setLastLine(const QByteArray& line) override;
    void appendEmptyLine() override;
    void appendToLastLine(const char* data, qint64 size) override;
    void removeLastCharacter() override;
    void completeLastLine() override;
    void blockAssembled() override;
    void clear() { lines.clear(); }

    QList<QByteArray> lines;

private:
    void trimLastLine();

    int maxLines;
    int maxLineLength;
};
