#pragma once

#include <QByteArray>
#include <QString>

#include <functional>

struct SharedSettings;

// The data-log file of terminal mode: one record per completed line, CR LF, nothing else. It works
// on the shared settings (LogFile, LogFileName, LoggingActive) because Exit and the main window's
// close box close the same file.
class DataLog {
public:
    explicit DataLog(SharedSettings& settings) : settings(settings) {}

    // LogFileName becomes the name whether or not the file can be created. An existing file is
    // emptied. False when it cannot be created or is not a regular file (a FIFO, a device), found out
    // without blocking; logging then stays off.
    bool start(const QString& fileName);
    // Closes the file; everything written is on disk.
    void stop();
    // Writes one record while logging is on. A record reaches the operating system before this
    // returns, so a crash of the program loses no completed line.
    void write(const QByteArray& line);

    // A write failed (a full disk), or the file was deleted or replaced while logging: logging has
    // already stopped and the file is closed, holding whole records only. Called once, with the
    // system's error text or what happened to the file.
    std::function<void(const QString& error)> onWriteFailed;

private:
    void fail(const QString& error);

    SharedSettings& settings;
    // Bytes of the records written whole since the file was emptied.
    qint64 wholeBytes = 0;
};
