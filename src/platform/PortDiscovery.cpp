#include "PortDiscovery.h"

#include "RegularFile.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QSettings>
#include <QStandardPaths>

#include <algorithm>

#include <iterator>

namespace platform {

namespace {

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

// One line of a small sysfs attribute file; never more than a line's worth is read.
QString attribute(const QString& folder, const char* name) {
    QFile f(folder + QLatin1Char('/') + QLatin1String(name));
    if (!f.open(QIODevice::ReadOnly))
        return QString();
    return QString::fromLocal8Bit(f.read(256)).section(QLatin1Char('\n'), 0, 0).trimmed();
}

// The UART kinds of the kernel's serial core, by their type number.
QString uartName(int type) {
    static const char* const names[] = {nullptr,  "8250",  "16450",   "16550", "16550A",
                                        "Cirrus", "16650", "16650V2", "16750", "Startech",
                                        "16C950", "16654", "16850",   "RSA",   "NS16550A"};
    if (type > 0 && type < int(std::size(names)))
        return QCoreApplication::translate("PortDiscovery", "%1 UART").arg(QLatin1String(names[type]));
    return QCoreApplication::translate("PortDiscovery", "UART type %1").arg(type);
}

// The USB device a tty hangs off: the first folder above it that has a vendor number.
QString usbParent(const QString& ttyFolder) {
    QString folder = QFileInfo(ttyFolder + QStringLiteral("/device")).canonicalFilePath();
    for (int up = 0; up < 4 && !folder.isEmpty() && folder != QLatin1String("/"); ++up) {
        if (QFileInfo::exists(folder + QStringLiteral("/idVendor")))
            return folder;
        folder = QFileInfo(folder).path();
    }
    return QString();
}

// type 0 is the kernel's unknown port: an 8250 slot with no UART behind it.
bool phantomUart(const QString& ttyFolder) {
    const QString type = attribute(ttyFolder, "type");
    return !type.isEmpty() && type.toInt() == 0;
}

void describe(const QString& ttyFolder, PortInfo& p) {
    const QString usb = usbParent(ttyFolder);
    if (!usb.isEmpty()) {
        p.description = attribute(usb, "product");
        p.manufacturer = attribute(usb, "manufacturer");
        p.serialNumber = attribute(usb, "serial");
        return;
    }
    const QString type = attribute(ttyFolder, "type");
    if (type.isEmpty())
        return;
    QStringList parts{uartName(type.toInt())};
    const QString port = attribute(ttyFolder, "port");
    const QString memory = attribute(ttyFolder, "iomem_base");
    bool ok = false;
    if (port.toULongLong(&ok, 16) != 0 && ok)
        parts << QCoreApplication::translate("PortDiscovery", "I/O %1").arg(port);
    else if (memory.toULongLong(&ok, 16) != 0 && ok)
        parts << QCoreApplication::translate("PortDiscovery", "memory %1").arg(memory);
    const QString irq = attribute(ttyFolder, "irq");
    if (!irq.isEmpty() && irq != QLatin1String("0"))
        parts << QCoreApplication::translate("PortDiscovery", "IRQ %1").arg(irq);
    p.description = parts.join(QStringLiteral(", "));
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

SystemPortSource::SystemPortSource(QString sysClassTty, QString devFolder, QString byIdFolder)
    : sysClassTty(std::move(sysClassTty)), devFolder(std::move(devFolder)),
      byIdFolder(std::move(byIdFolder)) {}

QList<PortInfo> SystemPortSource::ports() const {
    QHash<QString, QString> byId;
    const QDir ids(byIdFolder);
    for (const QFileInfo& link : ids.entryInfoList(QDir::System | QDir::Files | QDir::NoDotAndDotDot)) {
        const QString target = link.canonicalFilePath();
        if (!target.isEmpty())
            byId.insert(target, link.absoluteFilePath());
    }
    QList<PortInfo> list;
    const QDir ttys(sysClassTty);
    for (const QString& name : ttys.entryList(QDir::AllEntries | QDir::System | QDir::NoDotAndDotDot)) {
        const QString folder = ttys.filePath(name);
        // Consoles, virtual terminals and pseudo-terminals have no hardware device behind them.
        if (!QFileInfo(folder + QStringLiteral("/device")).exists() || phantomUart(folder))
            continue;
        PortInfo p;
        p.path = devFolder + QLatin1Char('/') + name;
        if (!QFileInfo::exists(p.path))
            continue;
        p.byId = byId.value(QFileInfo(p.path).canonicalFilePath());
        describe(folder, p);
        list << p;
    }
    return sortedPorts(list);
}

QString describeDevice(const QString& devicePath, const QString& sysClassTty) {
    const QString name = QFileInfo(devicePath).fileName();
    const QString folder = sysClassTty + QLatin1Char('/') + name;
    if (name.isEmpty() || !QFileInfo(folder).isDir())
        return QString();
    PortInfo p;
    describe(folder, p);
    return p.description;
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
    if (!QFileInfo::exists(file) || !settingsFileUsable(file))
        return;
    QSettings s(file, QSettings::IniFormat);
    s.beginGroup(QStringLiteral("Ports"));
    for (int i = 1; i <= 4; ++i) {
        const QString com = QStringLiteral("COM%1").arg(i);
        const QString path = s.value(com).toString();
        if (!path.isEmpty() && QFile::encodeName(path).size() < MaxDevicePathLength)
            map.setDevice(com, path);
    }
}

void rememberDevice(const QString& file, const QString& comName, const QString& path) {
    if (!settingsFileUsable(file))
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
