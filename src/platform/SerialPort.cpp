#include "SerialPort.h"

#include "KernelRs485.h"
#include "PortDiscovery.h"
#include "UucpLock.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QSerialPort>
#include <QThread>

#ifdef Q_OS_UNIX
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <grp.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>
#endif
#ifdef Q_OS_LINUX
#include <linux/serial.h>
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

#ifdef Q_OS_UNIX
namespace {

QString systemText(int error) {
    return QString::fromLocal8Bit(std::strerror(error));
}

// Any process with the device open; only processes this user may look into are seen.
qint64 processHolding(const QString& device) {
    const QStringList pids = QDir(QStringLiteral("/proc")).entryList(QDir::Dirs | QDir::NoDotAndDotDot);
    for (const QString& pid : pids) {
        bool number = false;
        const qint64 n = pid.toLongLong(&number);
        if (!number)
            continue;
        const QString fdFolder = QStringLiteral("/proc/") + pid + QStringLiteral("/fd");
        for (const QString& fd : QDir(fdFolder).entryList(QDir::System | QDir::NoDotAndDotDot))
            if (QFileInfo(fdFolder + QLatin1Char('/') + fd).symLinkTarget() == device)
                return n;
    }
    return 0;
}

qint64 lockFileOwner(const QString& device) {
    for (const QString& folder : uucpLockFolders()) {
        const UucpLockInfo lock = readUucpLock(folder + QLatin1Char('/') + uucpLockName(device));
        if (lock.kind == UucpLockInfo::Live)
            return lock.pid;
    }
    return 0;
}

QString whoHolds(const QString& device) {
    qint64 pid = lockFileOwner(device);
    if (!pid)
        pid = processHolding(device);
    return pid ? processText(pid) : QString();
}

} // namespace
#endif

bool groupMayOpen(quint32 mode, quint32 gid) {
    // Joining root's group is no advice to give, and a group without read and write gains nothing.
    constexpr quint32 groupReadWrite = 060;
    return gid != 0 && (mode & groupReadWrite) == groupReadWrite;
}

PortProblem diagnoseDevice(const QString& path) {
    PortProblem p;
    p.device = path;
#ifdef Q_OS_UNIX
    const QString real = QFileInfo(path).canonicalFilePath();
    const QByteArray native = QFile::encodeName(real.isEmpty() ? path : real);
    const int fd = ::open(native.constData(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        const int error = errno;
        p.system = systemText(error);
        switch (error) {
        case ENOENT:
        case ENODEV:
        case ENXIO:
        case EIO: // a serial port the kernel lists but no hardware answers
            p.kind = PortProblem::Missing;
            break;
        case EACCES:
        case EPERM: {
            p.kind = PortProblem::PermissionDenied;
            struct stat st {};
            if (::stat(native.constData(), &st) == 0 && groupMayOpen(st.st_mode, st.st_gid))
                if (const group* g = ::getgrgid(st.st_gid))
                    p.group = QString::fromLocal8Bit(g->gr_name);
            break;
        }
        case EBUSY:
            p.kind = PortProblem::Busy;
            p.holder = whoHolds(QString::fromLocal8Bit(native));
            break;
        default:
            p.kind = PortProblem::Other;
        }
        return p;
    }
    if (!::isatty(fd)) {
        ::close(fd);
        p.kind = PortProblem::NotATerminal;
        p.system = systemText(ENOTTY);
        return p;
    }
    const bool locked = ::flock(fd, LOCK_EX | LOCK_NB) != 0 && errno == EWOULDBLOCK;
    ::close(fd);
    if (locked || lockFileOwner(QString::fromLocal8Bit(native))) {
        p.kind = PortProblem::Busy;
        p.system = systemText(EWOULDBLOCK);
        p.holder = whoHolds(QString::fromLocal8Bit(native));
    }
#else
    if (!QFileInfo::exists(path))
        p.kind = PortProblem::Missing;
#endif
    return p;
}

QtSerialPort::QtSerialPort(PortMap portMap, QObject* parent)
    : SerialPort(parent), lockFolders(uucpLockFolders()) {
    map = std::move(portMap);
}

QtSerialPort::~QtSerialPort() {
    close();
}

bool QtSerialPort::open(const QString& comName) {
    close();
    problem = PortProblem();
    deviceDescription.clear();
    const QString path = map.device(comName);
    problem.device = path;
    if (path.isEmpty()) {
        problem.kind = PortProblem::NoDevice;
        return false;
    }
    // The device itself, not a link to it: a by-id name and the kernel's name then share one lock
    // file, and the lock file carries the name other serial programs look for.
    const QString real = QFileInfo(path).canonicalFilePath();
    if (real.isEmpty()) {
        problem = diagnoseDevice(path);
        return false;
    }
    // Qt's own locking would take over a lock file it cannot parse, and read a huge one whole.
    const UucpLockCheck locks = checkUucpLocks(real, lockFolders);
    if (locks.refused.kind == UucpLockInfo::Live) {
        problem.kind = PortProblem::Busy;
        problem.system = systemText(EWOULDBLOCK);
        problem.holder = processText(locks.refused.pid);
        return false;
    }
    if (locks.refused.kind == UucpLockInfo::Unusable) {
        problem.kind = PortProblem::Other;
        problem.system = QCoreApplication::translate("SerialPort", "lock file %1 is %2 and cannot be removed")
                             .arg(locks.refused.file, locks.refused.why);
        return false;
    }
    port = std::make_unique<QSerialPort>();
    port->setPortName(real);
    failed = false;
    lossQueued = false;
    connect(port.get(), &QSerialPort::errorOccurred, this,
            [this](QSerialPort::SerialPortError e) { onError(e); });
    connect(port.get(), &QSerialPort::readyRead, this, &SerialPort::readyRead);
    if (!port->open(QIODevice::ReadWrite)) {
        const QString reason = port->errorString();
        port->disconnect(this);
        port.reset();
        problem = diagnoseDevice(path);
        if (problem.kind == PortProblem::None) {
            problem.kind = PortProblem::Other;
            problem.system = reason;
        }
        return false;
    }
#ifdef Q_OS_UNIX
    // The lock file keeps out programs that look for it; flock on the device also keeps out a copy
    // that came by another name or runs as root, which the exclusive-open flag lets through.
    if (::flock(int(port->handle()), LOCK_EX | LOCK_NB) != 0 && errno == EWOULDBLOCK) {
        close();
        problem.kind = PortProblem::Busy;
        problem.system = systemText(EWOULDBLOCK);
        problem.holder = whoHolds(real);
        return false;
    }
#endif
    // Bounded, so a line that never stops talking cannot eat the machine's memory.
    port->setReadBufferSize(1 << 20);
    // From the system's device files: asking Qt would list, and so open, every other port.
    deviceDescription = describeDevice(real);
    deviceNotice = locks.note;
#ifdef Q_OS_LINUX
    const int fd = int(port->handle());
    rs485 = std::make_unique<KernelRs485>(
        KernelRs485::Driver{[fd](QByteArray& settings) {
                                serial_rs485 rs{};
                                if (::ioctl(fd, TIOCGRS485, &rs) != 0)
                                    return false;
                                settings = QByteArray(reinterpret_cast<const char*>(&rs), sizeof rs);
                                return true;
                            },
                            [fd](const QByteArray& settings) {
                                serial_rs485 rs{};
                                if (settings.size() != qsizetype(sizeof rs))
                                    return false;
                                std::memcpy(&rs, settings.constData(), sizeof rs);
                                return ::ioctl(fd, TIOCSRS485, &rs) == 0;
                            }});
#endif
    return true;
}

bool QtSerialPort::present(const QString& comName) const {
    const QString path = map.device(comName);
    return !path.isEmpty() && QFileInfo::exists(path);
}

bool QtSerialPort::setKernelRs485(bool on) {
    return isOpen() && rs485 && rs485->set(on);
}

void QtSerialPort::close() {
    if (!port)
        return;
    port->disconnect(this);
    // The next program finds the device's RS-485 settings as this one did; after a hang-up the
    // driver may refuse, which changes nothing.
    if (rs485 && port->isOpen())
        rs485->restore();
    rs485.reset();
    if (port->isOpen())
        port->close();
    port.reset();
    failed = false;
    deviceNotice.clear();
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
        [this, failedPort = port.get()] {
            // The owner takes what was read before the hang-up, then the port closes (unless the
            // owner has already closed it, or opened another).
            emit lost();
            if (port.get() == failedPort)
                close();
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
    if (!port || !port->isOpen() || maxSize <= 0)
        return 0;
    // Without an event loop Qt's buffer only fills inside waitForReadyRead: look at the driver now.
    // After a hang-up only what was taken from the system before it is left, and still handed out.
    if (!failed && port->bytesAvailable() == 0)
        port->waitForReadyRead(0);
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
