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

// The devices the system knows (QSerialPortInfo), with their by-id names, without serial ports
// the kernel lists but no hardware answers.
class SystemPortSource final : public PortSource {
public:
    QList<PortInfo> ports() const override;
};

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
// Entries found in file replace those of map.
void loadPortMap(const QString& file, PortMap& map);
void rememberDevice(const QString& file, const QString& comName, const QString& path);

// The mapping at start-up: the default for the devices present, then what was remembered, then
// the one-run overrides (start options), each replacing single entries.
PortMap startupPortMap(const PortSource& source, const QString& file,
                       const QMap<QString, QString>& overrides);

} // namespace platform
