#include "FakeSerialPort.h"

bool FakeSerialPort::open(const QString& comName) {
    if (!openable)
        return false;
    opened = true;
    gone = false;
    openedName = comName;
    events.append({clock.now, QStringLiteral("open"), comName.toLatin1()});
    return true;
}

void FakeSerialPort::close() {
    if (!opened)
        return;
    opened = false;
    gone = false;
    arrived.clear();
    events.append({clock.now, QStringLiteral("close"), {}});
}

bool FakeSerialPort::setKernelRs485(bool on) {
    events.append({clock.now, on ? QStringLiteral("rs485-on") : QStringLiteral("rs485-off"), {}});
    return on && kernelRs485;
}

void FakeSerialPort::configure(qint32 b, int, int) {
    baud = b;
    events.append({clock.now, QStringLiteral("configure"), QByteArray::number(b)});
}

void FakeSerialPort::purge(bool input, bool output) {
    deliverDue();
    if (input)
        arrived.clear();
    events.append({clock.now, QStringLiteral("purge"), QByteArray(input ? "i" : "") + (output ? "o" : "")});
}

void FakeSerialPort::deliverDue() {
    bool any = false;
    while (!pending.empty() && pending.front().first <= clock.now) {
        arrived.append(pending.front().second);
        pending.pop_front();
        any = true;
    }
    // As the real port, which announces bytes even from inside waitForReadyRead.
    if (any && isOpen())
        emit readyRead();
}

qint64 FakeSerialPort::read(char* data, qint64 maxSize) {
    if (!opened)
        return 0;
    if (!gone)
        deliverDue();
    const qint64 n = qMin<qint64>(maxSize, arrived.size());
    memcpy(data, arrived.constData(), size_t(n));
    arrived.remove(0, n);
    return n;
}

bool FakeSerialPort::waitForReadyRead(int msecs) {
    ++waits;
    if (!isOpen())
        return false;
    deliverDue();
    if (!arrived.isEmpty())
        return true;
    if (!pending.empty() && pending.front().first <= clock.now + msecs) {
        clock.now = pending.front().first;
        deliverDue();
        return true;
    }
    clock.now += qMax(msecs, 0);
    return false;
}

qint64 FakeSerialPort::write(const char* data, qint64 size) {
    if (!isOpen())
        return 0;
    const QByteArray bytes(data, size);
    written.append(bytes);
    events.append({clock.now, QStringLiteral("write"), bytes});
    if (responder)
        responder(bytes);
    return size;
}

void FakeSerialPort::drainOutput(qint32) {
    events.append({clock.now, QStringLiteral("drain"), {}});
}

void FakeSerialPort::setRts(bool on) {
    rts = on;
    events.append({clock.now, on ? QStringLiteral("rts-on") : QStringLiteral("rts-off"), {}});
}

void FakeSerialPort::feed(const QByteArray& bytes, qint64 delayMs) {
    const qint64 at = clock.now + delayMs;
    auto it = pending.begin();
    while (it != pending.end() && it->first <= at)
        ++it;
    pending.insert(it, {at, bytes});
    if (delayMs <= 0)
        deliverDue();
}

void FakeSerialPort::vanish() {
    gone = true;
    QMetaObject::invokeMethod(
        this, [this] { emit lost(); }, Qt::QueuedConnection);
}

QStringList FakeSerialPort::eventKinds() const {
    QStringList out;
    for (const Event& e : events)
        out.append(e.kind);
    return out;
}
