#include "KovComms.h"

#include "Clock.h"
#include "SerialPort.h"

#include <QSignalBlocker>

#include <algorithm>

namespace {
constexpr char CR = 13;
constexpr char LF = 10;
constexpr int kMinimumPollMs = 10;
// Deliveries are a poll period apart on average, but this many may come sooner: a line that arrives a
// little early on a stream is taken in the wake-up that announced it instead of in one of its own.
constexpr int kPollBurst = 2;
constexpr int kDeviceWatchMs = 1000;
// Blocks handed over in one go before the event loop gets a turn, so a flood cannot starve input
// and painting.
constexpr int kBlocksPerDelivery = 256;
} // namespace

qint32 comSpeedBaud(TComSpeed speed) {
    const int n = int(speed);
    if (n >= 7)
        return 57600;
    return 600 << (n < 0 ? 0 : n);
}

TKovComms::TKovComms(std::unique_ptr<platform::SerialPort> port, platform::Clock* clk, QObject* parent)
    : QObject(parent), serialPort(std::move(port)), clock(clk ? clk : &platform::SteadyClock::instance()) {
    // Not in the initialiser list: bufferSizeInput is declared after the buffer and not yet set there.
    receiveBuffer = QByteArray(bufferSizeInput, '\0');
    deliveryTimer.setSingleShot(true);
    connect(&deliveryTimer, &QTimer::timeout, this, &TKovComms::PollReceive);
    // The notification may come from inside ReadReply's wait: only schedule here, never read.
    connect(serialPort.get(), &platform::SerialPort::readyRead, this, &TKovComms::scheduleDelivery);
    // A device that vanished is released at once, so later exchanges see a closed link.
    connect(serialPort.get(), &platform::SerialPort::lost, this, &TKovComms::portLost);
    reconnectTimer.setInterval(kDeviceWatchMs);
    connect(&reconnectTimer, &QTimer::timeout, this, &TKovComms::retryOpen);
    linkState.comName = comName();
    linkState.device = serialPort->portMap().device(linkState.comName);
}

TKovComms::~TKovComms() {
    const QSignalBlocker quiet(this);
    Close();
}

void TKovComms::setCommandPrefix(const QString& value) {
    commandPrefix = value.left(1);
}

void TKovComms::setAddress(const QString& value) {
    address = value.left(2).rightJustified(2, QLatin1Char('0'));
}

void TKovComms::setBufferSize_Input(quint16 value) {
    if (IsOpen())
        return;
    bufferSizeInput = value;
    receiveBuffer = QByteArray(value, '\0');
}

void TKovComms::setBufferSize_Output(quint16 value) {
    // Only used by the next ApplyPortSettings, which needs an open port.
    if (IsOpen())
        bufferSizeOutput = value;
}

void TKovComms::setComPort(TComPort value) {
    if (!IsOpen())
        comPort = value;
}

void TKovComms::setComSpeed(TComSpeed value) {
    comSpeed = value;
    if (IsOpen()) {
        ApplyPortSettings();
        publishState();
    }
}

void TKovComms::setDelay_Polling(quint16 value) {
    if (value == delayPolling)
        return;
    delayPolling = value;
    // A delivery already due keeps its time; the new delay applies from the next one.
}

int TKovComms::deliveryDelay() const {
    return qMax<int>(delayPolling, kMinimumPollMs);
}

void TKovComms::scheduleDelivery() {
    if (!deliveryTimer.isActive())
        deliveryTimer.start(int(std::clamp<qint64>(pollDueMs - kPollBurst * deliveryDelay() - clock->nowMs(),
                                                   0, deliveryDelay())));
}

void TKovComms::setReceiveHeld(bool held) {
    receiveHeld = held;
    // Bytes that arrived while held were announced and not taken; look once more.
    if (!held && IsOpen())
        scheduleDelivery();
}

void TKovComms::setComMode(TComMode value) {
    comMode = value;
    if (IsOpen()) {
        applyTransmitEnable();
        publishState();
    }
}

QString TKovComms::comName() const {
    return QStringLiteral("COM%1").arg(1 + int(comPort));
}

bool TKovComms::Open() {
    if (IsOpen())
        return true;
    wantOpen = true;
    reconnectTimer.stop();
    linkState.condition = LinkState::Condition::NotOpen;
    const bool opened = openPort();
    // A device that is not there yet may be plugged in later; one that refuses is left to the user.
    if (!opened && linkState.problem.kind == platform::PortProblem::Missing)
        reconnectTimer.start();
    return opened;
}

bool TKovComms::openPort() {
    if (!serialPort->open(comName())) {
        linkState.problem = serialPort->openProblem();
        publishState();
        return false;
    }
    linkState.problem = platform::PortProblem();
    linkState.condition = LinkState::Condition::Open;
    ApplyPortSettings();
    publishState();
    // Bytes already queued announce nothing more.
    scheduleDelivery();
    return true;
}

void TKovComms::Close() {
    wantOpen = false;
    reconnectTimer.stop();
    deliveryTimer.stop();
    serialPort->close();
    kernelRs485 = false;
    linkState.condition = LinkState::Condition::Closed;
    linkState.problem = platform::PortProblem();
    publishState();
}

void TKovComms::portLost() {
    deliveryTimer.stop();
    // What the port took from the system before the hang-up is handed over before it closes, held
    // or not: a record sent just before the device went must still reach the receive window and log.
    if (!readingReply && !receiveBuffer.isEmpty()) {
        for (;;) {
            const qint64 n = serialPort->read(receiveBuffer.data(), receiveBuffer.size());
            if (n <= 0)
                break;
            deliverBlock(receiveBuffer.constData(), n);
        }
    }
    serialPort->close();
    kernelRs485 = false;
    if (!wantOpen)
        return;
    linkState.condition = LinkState::Condition::Lost;
    reconnectTimer.start();
    publishState();
}

void TKovComms::retryOpen() {
    if (!wantOpen || IsOpen()) {
        reconnectTimer.stop();
        return;
    }
    // Only a device that is there is tried, so the wait opens nothing and locks nothing.
    if (!serialPort->present(comName()))
        return;
    // Just plugged in, the device may not have its group yet, or another program took it first:
    // the field says why, and the link keeps trying while it is wanted.
    linkState.condition = LinkState::Condition::NotOpen;
    if (openPort())
        reconnectTimer.stop();
}

void TKovComms::applyTransmitEnable() {
    // On RS485 the kernel raises RTS exactly for the bytes on the line, with the receiver off
    // meanwhile. RS422 is full duplex and must hear while it sends, so it keeps the link's own RTS
    // toggling; there and on RS232 a port left in RS-485 mode by another program is taken out of it.
    kernelRs485 = serialPort->setKernelRs485(comMode == TComMode::RS485);
}

void TKovComms::publishState() {
    linkState.comName = comName();
    linkState.device = serialPort->portMap().device(linkState.comName);
    linkState.description = IsOpen() ? serialPort->description() : QString();
    linkState.notice = IsOpen() ? serialPort->notice() : QString();
    static const char* const protocols[] = {"RS232", "RS422", "RS485"};
    linkState.protocol = QString::fromLatin1(protocols[qBound(0, int(comMode), 2)]);
    linkState.baud = comSpeedBaud(comSpeed);
    if (comMode == TComMode::RS232)
        linkState.drive = LinkState::Drive::None;
    else
        linkState.drive = kernelRs485 ? LinkState::Drive::Kernel : LinkState::Drive::Rts;
    emit stateChanged();
}

bool TKovComms::IsOpen() const {
    return serialPort->isOpen();
}

void TKovComms::ApplyPortSettings() {
    if (!IsOpen())
        return;
    serialPort->configure(comSpeedBaud(comSpeed), bufferSizeInput, bufferSizeOutput);
    applyTransmitEnable();
    PurgeBuffers(true, true);
}

void TKovComms::PurgeBuffers(bool input, bool output) {
    if (IsOpen())
        serialPort->purge(input, output);
}

void TKovComms::SendText(const QString& text) {
    SendBytes(text.toLatin1());
}

void TKovComms::SendBytes(const QByteArray& bytes) {
    if (IsOpen())
        WriteBuffer(bytes.constData(), qint32(bytes.size()));
}

void TKovComms::WriteBuffer(const char* data, qint32 count) {
    if (!IsOpen())
        return;
    // Where the kernel drives RTS itself the link only writes.
    const bool transmitEnable = comMode != TComMode::RS232 && !kernelRs485;
    if (transmitEnable)
        serialPort->setRts(true);
    if (delayTransmission > 0)
        WaitMilliseconds(delayTransmission);
    if (delayCharacter > 0) {
        for (qint32 i = 0; i < count; ++i) {
            serialPort->write(data + i, 1);
            WaitMilliseconds(delayCharacter);
        }
    } else if (count > 0) {
        serialPort->write(data, count);
    }
    if (transmitEnable) {
        // On this platform a write returns with bytes still queued; RTS must stay up until the
        // last of them has left the line, or the RS485 driver cuts off the end of the command.
        serialPort->drainOutput(comSpeedBaud(comSpeed));
        serialPort->setRts(false);
    }
}

QString TKovComms::ReadReply() {
    // Not even a look at a port that was never open; one that just failed may still hold the reply.
    if (!IsOpen() && linkState.condition != LinkState::Condition::Open)
        return QString();
    readingReply = true;
    QByteArray collected;
    QByteArray raw; // every byte read, for a recording of the session
    char last = 0;
    const qint64 begun = clock->nowMs();
    // A peer that talks without end must not hold the program: replies are short lines.
    const qint64 deadline = begun + outputTimeout + kReplyTimeLimitMs;
    qint64 start = begun;
    bool success = false;
    // Past the bound the rest of the line is still read and dropped up to its LF, or its tail would
    // be taken as the next reply (a phantom instrument in a scan).
    bool overlong = false;
    for (;;) {
        char byte = 0;
        // After a hang-up the port still hands out what it took from the system before it went.
        const bool got = serialPort->read(&byte, 1) == 1;
        if (got) {
            last = byte;
            if (onBytesRead)
                raw.append(byte);
            if (byte != CR && byte != LF) {
                if (collected.size() < kMaximumReplyLength)
                    collected.append(byte);
                else
                    overlong = true;
                start = clock->nowMs();
            }
        }
        if (last == LF) {
            success = !overlong;
            break;
        }
        if (!got && !IsOpen())
            break;
        const qint64 now = clock->nowMs();
        const qint64 wait = qMin(start + outputTimeout, deadline) - now;
        if (wait <= 0)
            break;
        // Sleep until the next byte instead of spinning; a byte other than CR/LF restarts the wait.
        serialPort->waitForReadyRead(int(wait));
    }
    readingReply = false;
    if (onBytesRead && !raw.isEmpty())
        onBytesRead(raw.constData(), raw.size());
    // Bytes after the reply's LF, or a reply given up on, go to the receive handler.
    if (IsOpen())
        scheduleDelivery();
    return success ? QString::fromLatin1(collected) : QString();
}

QByteArray TKovComms::TakeWaitingInput() {
    QByteArray taken;
    // Bounded, so a peer that never stops talking cannot hold the caller.
    while (IsOpen() && taken.size() < 64 * kMaximumReplyLength) {
        char block[256];
        const qint64 n = serialPort->read(block, sizeof block);
        if (n <= 0)
            break;
        taken.append(block, n);
    }
    return taken;
}

// One unprompted block, to everything that takes one: the session recording, the data log, then the
// receive handler of the screen shown.
void TKovComms::deliverBlock(const char* data, qint64 size) {
    if (onBytesRead)
        onBytesRead(data, size);
    if (onReceiveTap)
        onReceiveTap(this, data, qint32(size));
    if (onReceiveData)
        onReceiveData(this, data, qint32(size));
}

void TKovComms::PollReceive() {
    pollDueMs = std::max(pollDueMs, clock->nowMs()) + deliveryDelay();
    // The handler may start an exchange, hold delivery or close the link: look again before each block.
    for (int i = 0; i < kBlocksPerDelivery; ++i) {
        if (!IsOpen() || readingReply || receiveHeld || receiveBuffer.isEmpty())
            return;
        const qint64 n = serialPort->read(receiveBuffer.data(), receiveBuffer.size());
        if (n > 0)
            deliverBlock(receiveBuffer.constData(), n);
        // A short block means the queue is empty; the next byte announces itself.
        if (n < receiveBuffer.size())
            return;
    }
    // Still more: the rest after the event loop has had its turn.
    if (IsOpen() && !deliveryTimer.isActive())
        deliveryTimer.start(0);
}

void TKovComms::WaitMilliseconds(qint64 n) {
    if (n <= 0)
        return;
    clock->waitMs(n);
}
