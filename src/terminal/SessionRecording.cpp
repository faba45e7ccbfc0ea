#include "SessionRecording.h"

#include "FileIdentity.h"
#include "KovComms.h"

#include <QCoreApplication>

SessionRecording::~SessionRecording() {
    stop();
}

bool SessionRecording::start(const QString& fileName) {
    stop();
    file.setFileName(fileName);
    // Unbuffered: a block is on its way to disk before the next is read.
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate | QIODevice::Unbuffered))
        return false;
    wholeBytes = 0;
    link.setOnBytesRead([this](const char* data, qint64 size) { write(data, size); });
    return true;
}

void SessionRecording::stop() {
    if (!file.isOpen())
        return;
    link.setOnBytesRead(nullptr);
    file.close();
}

void SessionRecording::write(const char* data, qint64 size) {
    if (!file.isOpen() || size <= 0)
        return;
    if (!platform::pathNamesOpenFile(file.fileName(), file.handle())) {
        fail(QCoreApplication::translate("SessionRecording",
                                         "The file was deleted or replaced while recording"));
        return;
    }
    qint64 done = 0;
    while (done < size) {
        const qint64 n = file.write(data + done, size - done);
        if (n <= 0)
            break;
        done += n;
    }
    if (done == size) {
        wholeBytes += done;
        return;
    }
    const QString error = file.errorString();
    if (done > 0)
        file.resize(wholeBytes);
    fail(error);
}

void SessionRecording::fail(const QString& error) {
    stop();
    if (onWriteFailed)
        onWriteFailed(error);
}
