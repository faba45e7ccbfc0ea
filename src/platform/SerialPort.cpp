#include "SerialPort.h"

#include <QElapsedTimer>
#include <QSerialPort>
#include <QThread>

#ifdef Q_OS_UNIX
#include <sys/ioctl.h>
#include <termios.h>
#endif

namespace platform {

PortMap::PortMap() {
    for (int i = 1; i <= 4; ++i)
        devices.insert(QStringLiteral("COM%1").arg(i), QStringLiteral("/dev/ttyS%1").arg(i - 1));
}

QString PortMap::device(const QString& comName) const {
    return devices.value(comName.toUpper());
}

void PortMap::setDevice(const QString& comName, const QString& path) {
    devices.insert(comName.toUpper(), path);
}

QtSerialPort::QtSerialPort(PortMap portMap, QObject* parent) : SerialPort(parent), map(std::move(portMap)) {}

QtSerialPort::~QtSerialPort() {
    close();
}

bool QtSerialPort::open(const QString& comName) {
    close();
    const QString path = map.device(comName);
    if (path.isEmpty())
        return false;
    port = std::make_unique<QSerialPort>();
    port->setPortName(path);
    failed = false;
    lossQueued = false;
    connect(port.get(), &QSerialPort::errorOccurred, this,
            [this](QSerialPort::SerialPortError e) { onError(e); });
    connect(port.get(), &QSerialPort::readyRead, this, &SerialPort::readyRead);
    if (!port->open(QIODevice::ReadWrite)) {
        port.reset();
        return false;
    }
    // Bounded, so a line that never stops talking cannot eat the machine's memory.
    port->setReadBufferSize(1 << 20);
    return true;
}

void QtSerialPort::close() {
    if (!port)
        return;
    port->disconnect(this);
    if (port->isOpen())
        port->close();
    port.reset();
    failed = false;
}

bool QtSerialPort::isOpen() const {
    return port && port->isOpen() && !failed;
}

void QtSerialPort::onError(int error) {
    switch (error) {
    case QSerialPort::ResourceError:
    case QSerialPort::ReadError:
    case QSerialPort::WriteError:
        break;
    default:
        return; // RTS, DTR and parity calls fail on a pseudo-terminal; that is harmless.
    }
    failed = true;
    // A vanished device keeps reporting errors from the read notifier until the port is closed.
    // Closing inside the signal would pull the object from under Qt, so it is queued.
    if (lossQueued)
        return;
    lossQueued = true;
    QMetaObject::invokeMethod(
        this,
        [this] {
            close();
            emit lost();
        },
        Qt::QueuedConnection);
}

void QtSerialPort::configure(qint32 baud, int inputQueue, int outputQueue) {
    Q_UNUSED(inputQueue);
    Q_UNUSED(outputQueue);
    if (!isOpen())
        return;
    port->setBaudRate(baud);
    port->setDataBits(QSerialPort::Data8);
    port->setParity(QSerialPort::NoParity);
    port->setStopBits(QSerialPort::OneStop);
    port->setFlowControl(QSerialPort::NoFlowControl);
    port->setDataTerminalReady(false);
    port->setRequestToSend(false);
}

void QtSerialPort::purge(bool input, bool output) {
    if (!isOpen())
        return;
    QSerialPort::Directions d;
    if (input)
        d |= QSerialPort::Input;
    if (output)
        d |= QSerialPort::Output;
    if (d)
        port->clear(d);
}

qint64 QtSerialPort::read(char* data, qint64 maxSize) {
    if (!isOpen() || maxSize <= 0)
        return 0;
    // Without an event loop Qt's buffer only fills inside waitForReadyRead: look at the driver now.
    if (port->bytesAvailable() == 0)
        port->waitForReadyRead(0);
    if (!isOpen())
        return 0;
    const qint64 n = port->read(data, maxSize);
    return n < 0 ? 0 : n;
}

bool QtSerialPort::waitForReadyRead(int msecs) {
    if (!isOpen())
        return false;
    if (port->bytesAvailable() > 0)
        return true;
    return port->waitForReadyRead(msecs) && isOpen();
}

void QtSerialPort::flushToDriver() {
    // No event loop runs during an exchange, so the bytes Qt queued must be pushed out here. A peer
    // that stops reading (a full pseudo-terminal) must not hang the program: give up after a while;
    // what is left goes out once the event loop runs again.
    QElapsedTimer t;
    t.start();
    while (isOpen() && port->bytesToWrite() > 0 && t.elapsed() < 3000)
        port->waitForBytesWritten(50);
}

qint64 QtSerialPort::write(const char* data, qint64 size) {
    if (!isOpen() || size <= 0)
        return 0;
    const qint64 n = port->write(data, size);
    flushToDriver();
    return n;
}

void QtSerialPort::drainOutput(qint32 baud) {
    if (!isOpen())
        return;
    flushToDriver();
#ifdef Q_OS_UNIX
    // tcdrain would wait for ever on a pseudo-terminal nobody reads; poll the queue with a bound
    // instead. A real UART empties it at the line rate.
    const int fd = int(port->handle());
    QElapsedTimer t;
    t.start();
    int queued = 0;
    while (fd >= 0 && ::ioctl(fd, TIOCOUTQ, &queued) == 0 && queued > 0 && t.elapsed() < 3000)
        QThread::usleep(200);
#endif
    // The last character is still in the UART's shift register when the queue reads empty.
    if (baud > 0)
        QThread::usleep(quint64(10'000'000 / baud) + 1);
}

void QtSerialPort::setRts(bool on) {
    if (isOpen())
        port->setRequestToSend(on);
}

} // namespace platform
