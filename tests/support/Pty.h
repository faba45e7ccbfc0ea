#pragma once

#include <QByteArray>
#include <QString>

// A pseudo-terminal pair whose master the test owns; the program opens the slave as its port.
class Pty {
public:
    Pty();
    ~Pty();
    bool ok() const { return master >= 0; }
    QString slavePath() const { return path; }
    int masterFd() const { return master; }
    // Reads what the program wrote, waiting up to timeoutMs for at least `atLeast` bytes.
    QByteArray readMaster(int atLeast, int timeoutMs);
    void writeMaster(const QByteArray& bytes);
    void closeMaster();

private:
    int master = -1;
    int slaveKeeper = -1; // keeps the slave side alive between the program's opens
    QString path;
};
