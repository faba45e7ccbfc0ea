#pragma once

#include "SerialPort.h"

#include <QList>
#include <QMap>
#include <QString>

namespace platform {

// One serial device present on the machine.
struct PortInfo {
    QString path; // the kernel's name, /dev/ttyUSB0
    QString byId; // /dev/serial/by-id/..., which stays the same when the adapter is plugged again
    QString description;
    QString manufacturer;
    QString serialNumber;

    // The name worth remembering: the by-id name where there is one.
    QString name() const { return byId.isEmpty() ? path : byId; }
    // "FT232R USB UART, FTDI, serial A10K3X5B, /dev/ttyUSB0": the known parts only.
    QString details() const;
};

// Where the list of devices comes from; tests hand in their own.
class PortSource {
public:
    virtual ~PortSource() = default;
    virtual QList<PortInfo> ports() const = 0;
};

// The serial devices the kernel lists under /sys/class/tty, with their by-id names. Found and
// described from the system's files alone: no device is opened, since opening a tty raises DTR and
// RTS for that moment, and on an RS485 bus RTS drives the line. 8250 ports the kernel lists but no
// hardware answers (type 0) are left out.
class SystemPortSource final : public PortSource {
public:
    explicit SystemPortSource(QString sysClassTty = QStringLiteral("/sys/class/tty"),
                              QString devFolder = QStringLiteral("/dev"),
                              QString byIdFolder = QStringLiteral("/dev/serial/by-id"));
    QList<PortInfo> ports() const override;

private:
    QString sysClassTty;
    QString devFolder;
    QString byIdFolder;
};

// A device's own description from the kernel's files: "16550A UART, I/O 0x3F8, IRQ 4" for a
// built-in port, the product name for a USB adapter; empty where the system tells nothing.
QString describeDevice(const QString& devicePath,
                       const QString& sysClassTty = QStringLiteral("/sys/class/tty"));

// A stable order: kernel names without a by-id name first (ttyS0 before ttyS1 before ttyS10),
// then the by-id names, each in natural order.
QList<PortInfo> sortedPorts(QList<PortInfo> ports);
// The entry whose path or by-id name is path (either side may be a link to the other); null if none.
const PortInfo* findPort(const QList<PortInfo>& ports, const QString& path);

// With nothing remembered: COM1 and COM2 are the first and second devices present, falling back
// to /dev/ttyS0 and /dev/ttyS1.
PortMap defaultPortMap(const QList<PortInfo>& present);

// The COM-name mapping belongs to the machine, not to a configuration: one small file per user.
QString rememberedPortMapFile();
// Entries found in file replace those of map. Read only when settingsFileUsable() allows; a device
// path of MaxDevicePathLength bytes or more is no path and ignored.
inline constexpr qsizetype MaxDevicePathLength = 4096; // PATH_MAX, with its terminating NUL
void loadPortMap(const QString& file, PortMap& map);
void rememberDevice(const QString& file, const QString& comName, const QString& path);

// The mapping at start-up: the default for the devices present, then what was remembered, then
// the one-run overrides (start options), each replacing single entries.
PortMap startupPortMap(const PortSource& source, const QString& file,
                       const QMap<QString, QString>& overrides);

} // namespace platform
