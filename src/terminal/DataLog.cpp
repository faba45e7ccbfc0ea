#include "DataLog.h"

#include "Unit0.h"

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
    return true;
}

void DataLog::stop() {
    settings.LoggingActive = false;
    settings.LogFile.close();
}

void DataLog::write(const QByteArray& line) {
    if (!settings.LoggingActive)
        return;
    const QByteArray record = line + "\r\n";
    QFile& file = settings.LogFile;
    if (file.write(record) == record.size())
        return;
    QString error = file.errorString();
    if (error.isEmpty() || file.error() == QFileDevice::NoError)
        error = QStringLiteral("Write error");
    stop();
    if (onWriteFailed)
        onWriteFailed(error);
}
