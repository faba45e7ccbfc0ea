#pragma once

#include <QHash>
#include <QObject>
#include <QString>
#include <QStringList>

#include <memory>

class QSerialPort;

namespace platform {

class KernelRs485;

// COM1..COM4 to device paths. Defaults /dev/ttyS0../dev/ttyS3; the start-up mapping and the link
// settings dialog override single entries.
class PortMap {
public:
    PortMap();
    QString device(const QString& comName) const;
    void setDevice(const QString& comName, const QString& path);

private:
    QHash<QString, QString> devices;
};

// Why a port did not open, in the machine's terms; the link puts it into words once.
struct PortProblem {
    enum Kind { None, NoDevice, Missing, PermissionDenied, Busy, NotATerminal, Other };
    Kind kind = None;
    QString device; // the path that was tried
    QString system; // the system's own reason
    QString group;  // PermissionDenied: the group that owns the device
    QString holder; // Busy: who holds it, when the lock file or /proc tells ("minicom, process 812")
};

// What the serial link needs from the machine. The line format is fixed: 8 data bits, no parity,
// 1 stop bit, raw, no flow control, DTR and RTS inactive unless asked for.
class SerialPort : public QObject {
    Q_OBJECT
public:
    using QObject::QObject;
    ~SerialPort() override = default;

    // comName is "COM1".."COM4"; the port map names the device. Exclusive access.
    virtual bool open(const QString& comName) = 0;
    virtual void close() = 0;
    // False once closed, and also as soon as the device has gone away (a pulled USB adapter).
    virtual bool isOpen() const = 0;
    // Speed, 8N1 raw, no flow control, DTR/RTS inactive; queue sizes are a hint. Failures ignored.
    virtual void configure(qint32 baud, int inputQueue, int outputQueue) = 0;
    virtual void purge(bool input, bool output) = 0;
    // Returns at once with up to maxSize bytes already received (possibly none).
    virtual qint64 read(char* data, qint64 maxSize) = 0;
    // Blocks until at least one byte can be read or msecs have passed; true when a byte is there.
    virtual bool waitForReadyRead(int msecs) = 0;
    // Returns once every byte has been handed to the operating system's driver.
    virtual qint64 write(const char* data, qint64 size) = 0;
    // Returns once the driver's queue has left the line, including the last character's shift
    // register time at baud. Needed before RTS may drop on RS422/RS485.
    virtual void drainOutput(qint32 baud) = 0;
    virtual void setRts(bool on) = 0;

    // Whether the device behind comName is there to be opened. Asked at most once a second while a
    // lost link waits for its device, so it must be cheap.
    virtual bool present(const QString& comName) const {
        Q_UNUSED(comName);
        return true;
    }
    // Lets the driver raise RTS around each transmission (on while sending, off after, receiver
    // off while sending), or turns that mode off. False when the driver cannot: the caller then
    // toggles RTS itself. What the device had is put back when the port closes.
    virtual bool setKernelRs485(bool on) {
        Q_UNUSED(on);
        return false;
    }

    PortMap& portMap() { return map; }
    const PortMap& portMap() const { return map; }
    // Why the last open failed; kind None after an open that worked.
    const PortProblem& openProblem() const { return problem; }
    // The device's own description ("FT232R USB UART") after an open, where the system knows one.
    QString description() const { return deviceDescription; }
    // Something the user should know about an open port ("removed lock file LCK..ttyS0 (too large)").
    QString notice() const { return deviceNotice; }

signals:
    // The device failed for good (hang-up, removed). Emitted queued, never from inside a read.
    void lost();
    // Bytes have arrived. May be emitted from inside read or waitForReadyRead: a slot must not read
    // the port, only arrange for a read once the current call has returned.
    void readyRead();

protected:
    PortMap map;
    PortProblem problem;
    QString deviceDescription;
    QString deviceNotice;
};

class QtSerialPort final : public SerialPort {
    Q_OBJECT
public:
    explicit QtSerialPort(PortMap map = PortMap(), QObject* parent = nullptr);
    ~QtSerialPort() override;

    bool open(const QString& comName) override;
    void close() override;
    bool isOpen() const override;
    void configure(qint32 baud, int inputQueue, int outputQueue) override;
    void purge(bool input, bool output) override;
    qint64 read(char* data, qint64 maxSize) override;
    bool waitForReadyRead(int msecs) override;
    qint64 write(const char* data, qint64 size) override;
    void drainOutput(qint32 baud) override;
    void setRts(bool on) override;
    bool present(const QString& comName) const override;
    bool setKernelRs485(bool on) override;
    // Where other programs' lock files are looked for; tests use a folder of their own.
    void setLockFolders(const QStringList& folders) { lockFolders = folders; }

private:
    void onError(int error);
    void flushToDriver();

    std::unique_ptr<QSerialPort> port;
    std::unique_ptr<KernelRs485> rs485;
    QStringList lockFolders;
    bool failed = false;
    bool lossQueued = false;
};

// Why a device cannot be opened, found by trying it the way the port does. Also used when the
// open itself failed without saying why.
PortProblem diagnoseDevice(const QString& path);
// Whether joining the device's group would let a user open it: the group has read and write, and
// it is not root's.
bool groupMayOpen(quint32 mode, quint32 gid);

} // namespace platform
