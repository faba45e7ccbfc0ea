#pragma once

#include "Clock.h"
#include "SerialPort.h"

#include <QByteArray>
#include <QList>
#include <QString>

#include <deque>
#include <functional>

// A clock the test moves by hand; waits advance it instead of sleeping.
class FakeClock final : public platform::Clock {
public:
    explicit FakeClock(qint64 start = 1'000'000) : now(start) {}
    qint64 nowMs() const override { return now; }
    void waitMs(qint64 ms) override { now += ms; }
    void advance(qint64 ms) { now += ms; }
    qint64 now;
};

// A scripted serial port: bytes arrive at chosen times on the fake clock, writes and line changes
// are recorded in order with their times, and a responder can answer each write.
class FakeSerialPort final : public platform::SerialPort {
    Q_OBJECT
public:
    struct Event {
        qint64 time;
        QString kind; // open, close, configure, purge, rts-on, rts-off, write, drain, rs485-on, rs485-off
        QByteArray data;
    };

    explicit FakeSerialPort(FakeClock& clock) : clock(clock) {}

    bool open(const QString& comName) override;
    void close() override;
    bool isOpen() const override { return opened && !gone; }
    void configure(qint32 baud, int inputQueue, int outputQueue) override;
    void purge(bool input, bool output) override;
    qint64 read(char* data, qint64 maxSize) override;
    bool waitForReadyRead(int msecs) override;
    qint64 write(const char* data, qint64 size) override;
    void drainOutput(qint32 baud) override;
    void setRts(bool on) override;
    bool setKernelRs485(bool on) override;

    // Bytes that arrive delayMs after now (0: already there).
    void feed(const QByteArray& bytes, qint64 delayMs = 0);
    // The device disappears, as a pulled USB adapter. Bytes already read from the system stay
    // readable until the port is closed, as with the real port.
    void vanish();
    QStringList eventKinds() const;

    bool openable = true;
    bool kernelRs485 = false; // the driver takes RS-485 mode

    QString openedName;
    qint32 baud = 0;
    bool rts = false;
    QByteArray written;
    QList<Event> events;
    int waits = 0;
    std::function<void(const QByteArray&)> responder;

private:
    void deliverDue();
    FakeClock& clock;
    bool opened = false;
    bool gone = false;
    QByteArray arrived;
    std::deque<std::pair<qint64, QByteArray>> pending;
};
