#pragma once

#include "LineAssembly.h"

#include <QByteArray>
#include <QDateTime>
#include <QMetaObject>
#include <QString>

#include <functional>

struct SharedSettings;
class TKovComms;

// The data-log file of terminal mode: one record per completed line, CR LF, nothing else. It works
// on the shared settings (LogFile, LogFileName, LoggingActive) because Exit and the main window's
// close box close the same file.
//
// It assembles lines of its own from every unprompted block the link delivers, by the same rules as
// the receive window, so a line is logged once whatever screen is shown and however the window is
// emptied or redrawn.
class DataLog : private LineTarget {
public:
    explicit DataLog(SharedSettings& settings) : settings(settings) {}
    ~DataLog() override;

    // Takes every block the link delivers, and notes a device that goes and comes back.
    void attach(TKovComms& link);

    // LogFileName becomes the name whether or not the file can be created. An existing file is
    // emptied. False when it cannot be created; logging then stays off.
    bool start(const QString& fileName);
    // Closes the file; everything written is on disk.
    void stop();
    // One received block; each line it completes is written while logging is on.
    void receive(const char* data, qint64 size);
    // Drops the part of a line received so far (the receive window's Clear).
    void clearLine();
    // Writes one record while logging is on. A record reaches the operating system before this
    // returns, so a crash of the program loses no completed line.
    void write(const QByteArray& line);
    // "# link lost <time>" or "# link back <time>", written only when records carry time stamps.
    void linkMark(bool back);

    // Each record led by the local time at which the block holding its CR was read.
    bool timeStamps = false;
    std::function<QDateTime()> now = [] { return QDateTime::currentDateTime(); };

    // A write failed (a full disk), or the file was deleted or replaced while logging: logging has
    // already stopped and the file is closed, holding whole records only. Called once, with the
    // system's error text or what happened to the file.
    std::function<void(const QString& error)> onWriteFailed;

    // A line without CR is kept up to this length; then what has come is taken as a record, so a
    // peer that never ends its line cannot eat the memory.
    static constexpr qsizetype kMaximumLineLength = 1 << 20;

private:
    bool hasLines() const override { return anyLine; }
    QByteArray lastLine() const override { return line; }
    void setLastLine(const QByteArray& newLine) override;
    void appendEmptyLine() override;
    void lineCompleted(const QByteArray& completed) override;
    void appendToLastLine(const char* data, qint64 size) override;
    void removeLastCharacter() override;
    void completeLastLine() override;

    void writeRecord(const QByteArray& record);
    void fail(const QString& error);

    SharedSettings& settings;
    // Bytes of the records written whole since the file was emptied.
    qint64 wholeBytes = 0;
    QByteArray line;
    bool anyLine = false;
    QDateTime blockTime;
    bool blockTimeRead = false;
    TKovComms* link = nullptr;
    QMetaObject::Connection linkWatch;
    bool linkLost = false;
};
