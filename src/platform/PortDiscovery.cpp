#include "PortDiscovery.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QHash>
#include <QSerialPortInfo>
#include <QSettings>
#include <QStandardPaths>

#include <algorithm>

#ifdef Q_OS_LINUX
#include <fcntl.h>
#include <linux/serial.h>
#include <sys/ioctl.h>
#include <unistd.h>
#endif

namespace platform {

namespace {

const QString kById = QStringLiteral("/dev/serial/by-id");

// Digits compare by value, so ttyS2 sorts before ttyS10.
bool naturalLess(const QString& a, const QString& b) {
    qsizetype i = 0, j = 0;
    while (i < a.size() && j < b.size()) {
        if (a[i].isDigit() && b[j].isDigit()) {
            qsizetype ie = i, je = j;
            while (ie < a.size() && a[ie].isDigit())
                ++ie;
            while (je < b.size() && b[je].isDigit())
                ++je;
            const qulonglong x = a.mid(i, ie - i).toULongLong();
            const qulonglong y = b.mid(j, je - j).toULongLong();
            if (x != y)
                return x < y;
            i = ie;
            j = je;
        } else {
            if (a[i] != b[j])
                return a[i] < b[j];
            ++i;
            ++j;
        }
    }
    return a.size() - i < b.size() - j;
}

// The 8250 driver lists ttyS0..ttyS31 whether or not a UART is fitted; one with no hardware
// reports the unknown port type.
bool phantomUart(const QString& path) {
#ifdef Q_OS_LINUX
    if (!path.startsWith(QLatin1String("/dev/ttyS")))
        return false;
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return false; // cannot tell; let the open say why later
    serial_struct info{};
    const bool unknown = ::ioctl(fd, TIOCGSERIAL, &info) == 0 && info.type == PORT_UNKNOWN;
    ::close(fd);
    return unknown;
#else
    Q_UNUSED(path);
    return false;
#endif
}

} // namespace

QString PortInfo::details() const {
    QStringList parts;
    if (!description.isEmpty())
        parts << description;
    if (!manufacturer.isEmpty())
        parts << manufacturer;
    if (!serialNumber.isEmpty())
        parts << QCoreApplication::translate("PortDiscovery", "serial %1").arg(serialNumber);
    if (!byId.isEmpty())
        parts << path;
    return parts.join(QStringLiteral(", "));
}

QList<PortInfo> SystemPortSource::ports() const {
    QHash<QString, QString> byId;
    const QDir ids(kById);
    for (const QFileInfo& link : ids.entryInfoList(QDir::System | QDir::Files | QDir::NoDotAndDotDot)) {
        const QString target = link.canonicalFilePath();
        if (!target.isEmpty())
            byId.insert(target, link.absoluteFilePath());
    }
    QList<PortInfo> list;
    for (const QSerialPortInfo& i : QSerialPortInfo::availablePorts()) {
        PortInfo p;
        p.path = i.systemLocation();
        if (phantomUart(p.path))
            continue;
        p.byId = byId.value(QFileInfo(p.path).canonicalFilePath());
        p.description = i.description();
        p.manufacturer = i.manufacturer();
        p.serialNumber = i.serialNumber();
        list << p;
    }
    return sortedPorts(list);
}

QList<PortInfo> sortedPorts(QList<PortInfo> ports) {
    std::stable_sort(ports.begin(), ports.end(), [](const PortInfo& a, const PortInfo& b) {
        if (a.byId.isEmpty() != b.byId.isEmpty())
            return a.byId.isEmpty();
        return naturalLess(a.name(), b.name());
    });
    return ports;
}

const PortInfo* findPort(const QList<PortInfo>& ports, const QString& path) {
    if (path.isEmpty())
        return nullptr;
    const QString real = QFileInfo(path).canonicalFilePath();
    for (const PortInfo& p : ports)
        if (p.path == path || p.byId == path ||
            (!real.isEmpty() && QFileInfo(p.path).canonicalFilePath() == real))
            return &p;
    return nullptr;
}

PortMap defaultPortMap(const QList<PortInfo>& present) {
    PortMap map;
    for (int i = 0; i < 2 && i < present.size(); ++i)
        map.setDevice(QStringLiteral("COM%1").arg(i + 1), present[i].name());
    return map;
}

QString rememberedPortMapFile() {
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) +
           QStringLiteral("/v917config/ports.ini");
}

void loadPortMap(const QString& file, PortMap& map) {
    if (file.isEmpty() || !QFileInfo::exists(file))
        return;
    QSettings s(file, QSettings::IniFormat);
    s.beginGroup(QStringLiteral("Ports"));
    for (int i = 1; i <= 4; ++i) {
        const QString com = QStringLiteral("COM%1").arg(i);
        const QString path = s.value(com).toString();
        if (!path.isEmpty())
            map.setDevice(com, path);
    }
}

void rememberDevice(const QString& file, const QString& comName, const QString& path) {
    if (file.isEmpty())
        return;
    QSettings s(file, QSettings::IniFormat);
    s.beginGroup(QStringLiteral("Ports"));
    s.setValue(comName.toUpper(), path);
}

PortMap startupPortMap(const PortSource& source, const QString& file,
                       const QMap<QString, QString>& overrides) {
    PortMap map = defaultPortMap(source.ports());
    loadPortMap(file, map);
    for (auto i = overrides.cbegin(); i != overrides.cend(); ++i)
        map.setDevice(i.key(), i.value());
    return map;
}

} // namespace platform
