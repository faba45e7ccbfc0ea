#include "DataLog.h"

#include "FileIdentity.h"
#include "KovComms.h"
#include "TerminalText.h"
#include "Unit0.h"

#include <QCoreApplication>

DataLog::~DataLog() {
    if (link) {
        link->setOnReceiveTap(nullptr);
        QObject::disconnect(linkWatch);
    }
}

void DataLog::attach(TKovComms& comms) {
    link = &comms;
    comms.setOnReceiveTap([this](TKovComms*, const char* data, qint32 size) { receive(data, size); });
    linkWatch = QObject::connect(&comms, &TKovComms::stateChanged, &comms, [this] {
        switch (link->state().condition) {
        case LinkState::Condition::Lost:
            if (!linkLost)
                linkMark(false);
            linkLost = true;
            break;
        case LinkState::Condition::Open:
            if (linkLost)
                linkMark(true);
            linkLost = false;
            break;
        case LinkState::Condition::Closed:
            linkLost = false; // closed on purpose: nothing came back
            break;
        case LinkState::Condition::NotOpen:
            break; // back, but not open yet
        }
    });
}

bool DataLog::start(const QString& fileName) {
    settings.LogFileName = fileName;
    QFile& file = settings.LogFile;
    if (file.isOpen())
        file.close();
    file.setFileName(fileName);
    // Unbuffered: each record is one write straight to the system, and a failure shows at once.
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate | QIODevice::Unbuffered))
        return false;
    settings.LoggingActive = true;
    wholeBytes = 0;
    return true;
}

void DataLog::stop() {
    settings.LoggingActive = false;
    settings.LogFile.close();
}

void DataLog::receive(const char* data, qint64 size) {
    blockTimeRead = false;
    AssembleLines(*this, data, size);
    blockTimeRead = false;
}

void DataLog::clearLine() {
    line.clear();
    anyLine = false;
}

void DataLog::setLastLine(const QByteArray& newLine) {
    line = newLine;
    anyLine = true;
}

void DataLog::appendEmptyLine() {
    line.clear();
    anyLine = true;
}

void DataLog::appendToLastLine(const char* data, qint64 size) {
    line.append(data, size);
    anyLine = true;
    if (line.size() >= kMaximumLineLength)
        completeLastLine();
}

void DataLog::removeLastCharacter() {
    line.chop(1);
}

void DataLog::completeLastLine() {
    lineCompleted(line);
    appendEmptyLine();
}

void DataLog::lineCompleted(const QByteArray& completed) {
    write(completed);
}

void DataLog::write(const QByteArray& line) {
    if (!settings.LoggingActive)
        return;
    if (!timeStamps) {
        writeRecord(line + "\r\n");
        return;
    }
    if (!blockTimeRead) {
        blockTime = now();
        blockTimeRead = true;
    }
    writeRecord(timeStampedRecord(blockTime, settings.HostDataSeparator, line) + "\r\n");
}

void DataLog::linkMark(bool back) {
    if (settings.LoggingActive && timeStamps)
        writeRecord(linkMarkRecord(back, now()) + "\r\n");
}

void DataLog::writeRecord(const QByteArray& record) {
    QFile& file = settings.LogFile;
    if (!platform::pathNamesOpenFile(settings.LogFileName, file.handle())) {
        fail(QCoreApplication::translate("DataLog", "The file was deleted or replaced while logging"));
        return;
    }
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
