#include "SimPtyServer.h"

#include <QFile>
#include <QFileInfo>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <termios.h>
#include <unistd.h>

namespace sim {

namespace {

// Longest the thread sleeps with nothing due, so a new timed event is never missed for long.
constexpr int idleTickMs = 100;
// A program that stops reading gets no more than this queued; the rest is lost, as on a real line.
constexpr qsizetype maxPendingOut = 64 * 1024;

qint32 baudOf(speed_t s) {
    switch (s) {
    case B600:
        return 600;
    case B1200:
        return 1200;
    case B2400:
        return 2400;
    case B4800:
        return 4800;
    case B9600:
        return 9600;
    case B19200:
        return 19200;
    case B38400:
        return 38400;
    case B57600:
        return 57600;
    case B115200:
        return 115200;
    case B300:
        return 300;
    case B0:
        return 0;
    default:
        return -1; // a speed no instrument runs at
    }
}

QString errnoText(const char* what) {
    return QStringLiteral("%1: %2").arg(QString::fromLatin1(what),
                                        QString::fromLocal8Bit(std::strerror(errno)));
}

void closeFd(int& fd) {
    if (fd >= 0)
        ::close(fd);
    fd = -1;
}

qint64 steadyNs() {
    return std::chrono::duration_cast<std::chrono::nanoseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

} // namespace

SimPtyServer::SimPtyServer(std::unique_ptr<SimNetwork> net) : network(std::move(net)) {}

SimPtyServer::~SimPtyServer() {
    stop();
}

qint64 SimPtyServer::nowMs() const {
    return (steadyNs() - startNs) / 1'000'000;
}

bool SimPtyServer::start(QString* error) {
    if (running()) {
        if (error)
            *error = QStringLiteral("already serving");
        return false;
    }
    char name[256] = {};
    if (::openpty(&master, &slaveKeeper, name, nullptr, nullptr) != 0) {
        if (error)
            *error = errnoText("openpty");
        master = slaveKeeper = -1;
        return false;
    }
    int wake[2];
    if (::pipe2(wake, O_CLOEXEC | O_NONBLOCK) != 0) {
        if (error)
            *error = errnoText("pipe");
        closeDevice();
        return false;
    }
    wakeRead = wake[0];
    wakeWrite = wake[1];
    ::fcntl(master, F_SETFD, FD_CLOEXEC);
    ::fcntl(slaveKeeper, F_SETFD, FD_CLOEXEC);
    ::fcntl(master, F_SETFL, ::fcntl(master, F_GETFL) | O_NONBLOCK);
    // Raw both ways, at the factory speed until the program sets its own.
    termios t{};
    if (::tcgetattr(slaveKeeper, &t) == 0) {
        ::cfmakeraw(&t);
        ::cfsetspeed(&t, B9600);
        ::tcsetattr(slaveKeeper, TCSANOW, &t);
    }
    path = QString::fromLocal8Bit(name);
    hasVanished = false;
    startNs = steadyNs();
    worker = std::thread([this] { serve(); });
    return true;
}

void SimPtyServer::stop() {
    if (worker.joinable()) {
        const char byte = 1;
        [[maybe_unused]] const ssize_t n = ::write(wakeWrite, &byte, 1);
        worker.join();
    }
    closeDevice();
    closeFd(wakeRead);
    closeFd(wakeWrite);
    if (!link.isEmpty()) {
        if (QFileInfo(link).isSymLink())
            QFile::remove(link);
        link.clear();
    }
}

void SimPtyServer::closeDevice() {
    closeFd(master);
    closeFd(slaveKeeper);
}

bool SimPtyServer::setLink(const QString& linkPath, QString* error) {
    if (path.isEmpty()) {
        if (error)
            *error = QStringLiteral("not serving");
        return false;
    }
    const QFileInfo existing(linkPath);
    if (existing.isSymLink()) {
        QFile::remove(linkPath);
    } else if (existing.exists()) {
        if (error)
            *error = QStringLiteral("%1 exists and is not a symbolic link").arg(linkPath);
        return false;
    }
    if (::symlink(path.toLocal8Bit().constData(), linkPath.toLocal8Bit().constData()) != 0) {
        if (error)
            *error = errnoText("symlink");
        return false;
    }
    link = linkPath;
    return true;
}

qint32 SimPtyServer::slaveBaud() const {
    // On Linux the master answers with the slave's settings, which the program set.
    termios t{};
    if (master < 0 || ::tcgetattr(master, &t) != 0)
        return 0;
    return baudOf(::cfgetospeed(&t));
}

void SimPtyServer::serve() {
    QByteArray pendingOut;
    for (;;) {
        int timeout = idleTickMs;
        if (const auto due = withNetwork([](const SimNetwork& n) { return n.nextDueMs(); }))
            timeout = int(std::clamp<qint64>(*due - nowMs(), 0, idleTickMs));
        pollfd fds[2] = {{wakeRead, POLLIN, 0},
                         {master, short(POLLIN | (pendingOut.isEmpty() ? 0 : POLLOUT)), 0}};
        const int ready = ::poll(fds, 2, timeout);
        if (ready < 0 && errno != EINTR)
            break;
        if (fds[0].revents & POLLIN)
            break;
        if (fds[1].revents & POLLIN) {
            char buffer[4096];
            for (;;) {
                const ssize_t n = ::read(master, buffer, sizeof buffer);
                if (n <= 0)
                    break;
                // The speed now is the speed these bytes went at, unless the program changed it in
                // the microseconds since; a real line would garble that edge as well.
                const qint32 baud = slaveBaud();
                const QByteArray bytes(buffer, n);
                withNetwork([&](SimNetwork& net) { net.receive(bytes, baud, nowMs()); });
            }
        } else if (fds[1].revents & (POLLERR | POLLHUP | POLLNVAL)) {
            // Nothing to read but an error state: do not spin on it.
            ::poll(nullptr, 0, 10);
        }

        const qint32 hostBaud = slaveBaud();
        const SimNetwork::Output out =
            withNetwork([&](SimNetwork& net) { return net.takeDue(nowMs(), hostBaud); });
        pendingOut += out.bytes;
        if (pendingOut.size() > maxPendingOut)
            pendingOut.remove(0, pendingOut.size() - maxPendingOut);
        while (!pendingOut.isEmpty()) {
            const ssize_t n = ::write(master, pendingOut.constData(), size_t(pendingOut.size()));
            if (n <= 0)
                break;
            pendingOut.remove(0, n);
        }
        if (out.vanish) {
            // Pulled out: the program's port reports a hang-up and the device node goes away.
            hasVanished = true;
            closeDevice();
            return;
        }
    }
}

} // namespace sim
