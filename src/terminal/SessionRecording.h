#pragma once

#include <QFile>
#include <QString>

#include <functional>

class TKovComms;

// A recording of the session: every byte the link reads, replies to exchanges included, written
// exactly as it came until stopped. Independent of the data log and of any instrument, and it goes
// on across a device that goes and comes back, because it listens to the link, not to the port.
class SessionRecording {
public:
    explicit SessionRecording(TKovComms& link) : link(link) {}
    ~SessionRecording();

    // Creates (or empties) the file and starts listening; false with the file left closed when it
    // cannot be created (errorString() says why).
    bool start(const QString& fileName);
    void stop();
    bool isRecording() const { return file.isOpen(); }
    QString fileName() const { return file.fileName(); }
    QString errorString() const { return file.errorString(); }

    // A write failed, or the file was deleted or replaced: the recording has stopped, holding every
    // block written whole. Called once, with the reason.
    std::function<void(const QString& error)> onWriteFailed;

    // For tests and a command line: bytes as the link hands them over.
    void write(const char* data, qint64 size);

private:
    void fail(const QString& error);

    TKovComms& link;
    QFile file;
    qint64 wholeBytes = 0;
};
