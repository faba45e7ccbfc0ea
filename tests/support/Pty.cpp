#include "Pty.h"

#include <QElapsedTimer>

#include <cerrno>
#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <termios.h>
#include <unistd.h>

Pty::Pty() {
    int s = -1;
    char name[256] = {};
    if (::openpty(&master, &s, name, nullptr, nullptr) != 0) {
        master = -1;
        return;
    }
    struct termios t;
    if (::tcgetattr(s, &t) == 0) {
        ::cfmakeraw(&t);
        ::tcsetattr(s, TCSANOW, &t);
    }
    slaveKeeper = s;
    path = QString::fromLocal8Bit(name);
    ::fcntl(master, F_SETFL, ::fcntl(master, F_GETFL) | O_NONBLOCK);
}

Pty::~Pty() {
    closeMaster();
    if (slaveKeeper >= 0)
        ::close(slaveKeeper);
}

QByteArray Pty::readMaster(int atLeast, int timeoutMs) {
    QByteArray out;
    QElapsedTimer t;
    t.start();
    while (master >= 0 && out.size() < atLeast && t.elapsed() < timeoutMs) {
        pollfd p{master, POLLIN, 0};
        if (::poll(&p, 1, 10) > 0 && (p.revents & POLLIN)) {
            char buf[4096];
            const ssize_t n = ::read(master, buf, sizeof buf);
            if (n > 0)
                out.append(buf, int(n));
        }
    }
    return out;
}

void Pty::writeMaster(const QByteArray& bytes) {
    qsizetype done = 0;
    while (master >= 0 && done < bytes.size()) {
        const ssize_t n = ::write(master, bytes.constData() + done, size_t(bytes.size() - done));
        if (n > 0)
            done += n;
        else if (errno != EAGAIN && errno != EINTR)
            break;
    }
}

void Pty::closeMaster() {
    if (master >= 0)
        ::close(master);
    master = -1;
}
