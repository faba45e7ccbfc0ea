#include "DataLog.h"

#include "FileIdentity.h"
#include "RegularFile.h"
#include "Unit0.h"

#include <QCoreApplication>

bool DataLog::start(const QString& fileName) {
    settings.LogFileName = fileName;
    QFile& file = settings.LogFile;
    if (file.isOpen())
        file.close();
    file.setFileName(fileName);
    // Unbuffered: each record is one write straight to the system, and a failure shows at once. Only a
    // regular file: opening a FIFO would wait for a reader, with the program deaf to everything.
    if (!platform::createRegularFile(file, QIODevice::Unbuffered))
        return false;
    settings.LoggingActive = true;
    wholeBytes = 0;
    return true;
}

void DataLog::stop() {
    settings.LoggingActive = false;
    settings.LogFile.close();
}

void DataLog::write(const QByteArray& line) {
    if (!settings.LoggingActive)
        return;
    QFile& file = settings.LogFile;
    if (!platform::pathNamesOpenFile(settings.LogFileName, file.handle())) {
        fail(QCoreApplication::translate("DataLog", "The file was deleted or replaced while logging"));
        return;
    }
    const QByteArray record = line + "\r\n";
    qint64 done = 0;
    // A write cut short by a full disk reports nothing; the next one fails with the system's reason.
    while (done < record.size()) {
        const qint64 n = file.write(record.constData() + done, record.size() - done);
        if (n <= 0)
            break;
        done += n;
    }
    if (done == record.size()) {
        wholeBytes += done;
        return;
    }
    const QString error = file.errorString();
    if (done > 0)
        file.resize(wholeBytes); // no cut-off record in the file
    fail(error);
}

void DataLog::fail(const QString& error) {
    stop();
    if (onWriteFailed)
        onWriteFailed(error);
}
