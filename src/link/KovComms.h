#pragma once

#include "LinkState.h"

#include <QByteArray>
#include <QObject>
#include <QString>
#include <QTimer>

#include <functional>
#include <limits>
#include <memory>

namespace platform {
class SerialPort;
class Clock;
} // namespace platform

enum class TComMode { RS232, RS422, RS485 };
enum class TComPort { Com1, Com2, Com3, Com4 };
enum class TComSpeed { br600, br1200, br2400, br4800, br9600, br19200, br38400, br57600 };

class TKovComms;
// Sender, DataPtr, DataSize. The bytes are overwritten by the next delivery: copy what you keep.
using TComReceiveData = std::function<void(TKovComms* Sender, const char* DataPtr, qint32 DataSize)>;
// Raw bytes as the link read them from the port.
using TComBytesRead = std::function<void(const char* data, qint64 size)>;

// Line speed of a TComSpeed ordinal: 600 doubling up to 38400, then 57600.
qint32 comSpeedBaud(TComSpeed speed);

// The serial link to the instruments: one port, opened with a speed and line mode; writes byte
// blocks (RTS as transmit enable on RS422/RS485), reads one reply line with a time-out, and hands
// unprompted bytes to OnReceiveData when the port says they arrived. It knows nothing of commands:
// callers frame them.
class TKovComms : public QObject {
    Q_OBJECT
public:
    // The port is owned by the link. A null clock means the machine's steady clock.
    explicit TKovComms(std::unique_ptr<platform::SerialPort> port, platform::Clock* clock = nullptr,
                       QObject* parent = nullptr);
    ~TKovComms() override;

    // Configurable properties, with the setter rules of the component.
    QString CommandPrefix() const { return commandPrefix; }
    void setCommandPrefix(const QString& value);
    QString Address() const { return address; }
    void setAddress(const QString& value);
    quint16 BufferSize_Input() const { return bufferSizeInput; }
    void setBufferSize_Input(quint16 value);
    quint16 BufferSize_Output() const { return bufferSizeOutput; }
    void setBufferSize_Output(quint16 value);
    TComMode ComMode() const { return comMode; }
    void setComMode(TComMode value);
    TComPort ComPort() const { return comPort; }
    void setComPort(TComPort value);
    TComSpeed ComSpeed() const { return comSpeed; }
    void setComSpeed(TComSpeed value);
    quint16 Delay_Character() const { return delayCharacter; }
    void setDelay_Character(quint16 value) { delayCharacter = value; }
    quint16 Delay_Polling() const { return delayPolling; }
    void setDelay_Polling(quint16 value);
    quint16 Delay_Transmission() const { return delayTransmission; }
    void setDelay_Transmission(quint16 value) { delayTransmission = value; }
    quint16 OutputTimeout() const { return outputTimeout; }
    void setOutputTimeout(quint16 value) { outputTimeout = value; }
    const TComReceiveData& OnReceiveData() const { return onReceiveData; }
    void setOnReceiveData(TComReceiveData handler) { onReceiveData = std::move(handler); }
    // Sees each unprompted block before OnReceiveData, whoever that is: a data log must not depend on
    // which screen is shown.
    void setOnReceiveTap(TComReceiveData tap) { onReceiveTap = std::move(tap); }
    // Every byte read from the port, replies to exchanges included, in the order read.
    void setOnBytesRead(TComBytesRead tap) { onBytesRead = std::move(tap); }

    // Open also keeps the link open: a device that goes away, or is not there yet, is opened again
    // with the same settings when it appears. Close ends that.
    bool Open();
    void Close();
    bool IsOpen() const;
    const LinkState& state() const { return linkState; }
    void ApplyPortSettings();
    void PurgeBuffers(bool input, bool output);
    void SendText(const QString& text);
    void SendBytes(const QByteArray& bytes);
    void WriteBuffer(const char* data, qint32 count);
    QString ReadReply();
    // Hands everything waiting to OnReceiveData, in blocks of at most BufferSize_Input.
    void PollReceive();
    // While held, nothing is delivered to OnReceiveData: bytes stay queued until release. Lets a long
    // operation run the event loop between its exchanges without a delivery taking a reply.
    void setReceiveHeld(bool held);
    // Reads and returns every byte already waiting in the input, handing none of it to OnReceiveData:
    // what a late reply left behind, so that it cannot answer the next command.
    QByteArray TakeWaitingInput();
    // The clock every time-out of the link is measured on.
    platform::Clock& linkClock() const { return *clock; }

    // A reply line longer than this is no reply.
    static constexpr int kMaximumReplyLength = 256;
    // However slowly its characters come, a reply takes no longer than this plus OutputTimeout.
    static constexpr int kReplyTimeLimitMs = 30000;

    // For tests and benchmarks.
    platform::SerialPort& port() { return *serialPort; }
    bool deliveryPending() const { return deliveryTimer.isActive(); }
    int deliveryDelay() const;
    bool waitingForDevice() const { return reconnectTimer.isActive(); }

signals:
    // The link opened, closed, failed to open, lost its device or changed its settings.
    void stateChanged();

private:
    void WaitMilliseconds(qint64 n);
    void scheduleDelivery();
    QString comName() const;
    bool openPort();
    void portLost();
    void deliverBlock(const char* data, qint64 size);
    void retryOpen();
    void applyTransmitEnable();
    void publishState();

    std::unique_ptr<platform::SerialPort> serialPort;
    platform::Clock* clock;
    // Runs once bytes arrive, at once unless deliveries have come faster than the poll period, so a
    // flood is taken in large blocks; nothing runs while the line is quiet.
    QTimer deliveryTimer;
    qint64 pollDueMs = std::numeric_limits<qint64>::min() / 2; // when the next delivery is due on average
    // Runs only while a wanted link has no device; one look a second costs nothing worth counting.
    QTimer reconnectTimer;
    QByteArray receiveBuffer;
    bool readingReply = false;
    bool receiveHeld = false;
    bool wantOpen = false;
    bool kernelRs485 = false;
    LinkState linkState;

    QString commandPrefix = QStringLiteral("#");
    QString address = QStringLiteral("00");
    quint16 bufferSizeInput = 2048;
    quint16 bufferSizeOutput = 2048;
    TComMode comMode = TComMode::RS232;
    TComPort comPort = TComPort::Com1;
    TComSpeed comSpeed = TComSpeed::br9600;
    quint16 delayCharacter = 0;
    quint16 delayPolling = 50;
    quint16 delayTransmission = 0;
    quint16 outputTimeout = 4000;
    TComReceiveData onReceiveData;
    TComReceiveData onReceiveTap;
    TComBytesRead onBytesRead;
};
