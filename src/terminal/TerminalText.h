#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QString>

#include <functional>

struct TDelimiter;

// The texts that the terminal's options add to what the Parts write and show. No widgets: the data
// log, the receive window, the hex view and a command line all format through here.

// Local date and time with milliseconds and offset from UTC: "2026-12-07T18:40:05.123+01:00".
QByteArray timeStampText(const QDateTime& time);
// The separator between a time stamp and its record: the data separator's characters, or a TAB
// where they would end or split the record (Null, CR, LF, CR/LF).
QByteArray stampSeparator(const TDelimiter& separator);
// A data-log record with its time stamp, without the line end.
QByteArray timeStampedRecord(const QDateTime& time, const TDelimiter& separator, const QByteArray& line);
// "# link lost <time>" / "# link back <time>" records of a time-stamped log.
QByteArray linkMarkRecord(bool back, const QDateTime& time);
// A line's arrival time as the receive window shows it in front of the line: "18:40:05.123 ".
QByteArray shownTimeStamp(const QDateTime& time);
// A sent line as the receive window echoes it.
QByteArray echoLine(const QString& sent);

// The receive window's text as a file holds it: 8-bit, each line ended by CR LF; the empty line
// under construction after the last CR is no line of its own.
QByteArray receivedWindowText(const QString& plainText);

// One hex row: the offset of its first byte, up to kHexRowBytes bytes in hex (a gap after the
// eighth), then the same bytes as characters, "." for each that does not print.
// "00000010  41 42 0D 0A 00 FF                                 AB....".
inline constexpr int kHexRowBytes = 16;
QByteArray hexRow(qint64 offset, const char* data, int size);

// The bytes a hex view shows: everything received since it was last emptied, up to a bound; the
// oldest rows go first. Offsets keep counting from the last emptying, so a row keeps its offset.
class HexHistory {
public:
    static constexpr qsizetype kMaximumBytes = 1 << 20;

    explicit HexHistory(qsizetype maximumBytes = kMaximumBytes) : maximum(maximumBytes) {}
    void append(const char* data, qsizetype size);
    void clear();
    qint64 rowCount() const { return (bytes.size() + kHexRowBytes - 1) / kHexRowBytes; }
    // Row i of those held, 0 the oldest.
    QByteArray row(qint64 i) const;
    // Every row held, each ended by ending.
    QByteArray text(const QByteArray& ending) const;
    qint64 firstOffset() const { return first; }
    qsizetype size() const { return bytes.size(); }

private:
    qsizetype maximum;
    QByteArray bytes;
    qint64 first = 0; // offset of bytes[0], always a whole number of rows
};
