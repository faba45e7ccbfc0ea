#include "KernelRs485.h"
#include "PortDiscovery.h"
#include "SerialPort.h"

#include <QtTest>

#include <sys/inotify.h>
#include <unistd.h>

namespace {

void write(const QString& file, const QByteArray& text) {
    QDir().mkpath(QFileInfo(file).path());
    QFile f(file);
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write(text);
}

// Opens of files in folder since the watch began; none is an open of a device there.
class OpenWatch {
public:
    explicit OpenWatch(const QString& folder) : fd(::inotify_init1(IN_NONBLOCK | IN_CLOEXEC)) {
        if (fd >= 0)
            ::inotify_add_watch(fd, QFile::encodeName(folder).constData(), IN_OPEN);
    }
    ~OpenWatch() {
        if (fd >= 0)
            ::close(fd);
    }
    QStringList opened() const {
        QStringList names;
        alignas(inotify_event) char buffer[4096];
        ssize_t n;
        while (fd >= 0 && (n = ::read(fd, buffer, sizeof buffer)) > 0) {
            for (char* p = buffer; p < buffer + n;) {
                const auto* e = reinterpret_cast<const inotify_event*>(p);
                names << QString::fromLocal8Bit(e->len ? e->name : "");
                p += sizeof(inotify_event) + e->len;
            }
        }
        return names;
    }
    bool ok() const { return fd >= 0; }

private:
    int fd;
};

} // namespace

class TestSerialDevices : public QObject {
    Q_OBJECT

private slots:
    // The devices come from the kernel's files alone: opening a tty raises DTR and RTS for that
    // moment, which on an RS485 bus drives the line.
    void listingOpensNoDevice() {
        QTemporaryDir root;
        const QString sys = root.filePath("sys/class/tty");
        const QString devices = root.filePath("sys/devices");
        const QString dev = root.filePath("dev");
        const auto tty = [&](const QString& name, const QString& device) {
            QVERIFY(QDir().mkpath(sys + "/" + name));
            QVERIFY(QDir().mkpath(device));
            QVERIFY(QFile::link(device, sys + "/" + name + "/device"));
            write(dev + "/" + name, {});
        };
        tty("ttyS0", devices + "/pnp0/00:01");
        write(sys + "/ttyS0/type", "4\n");
        write(sys + "/ttyS0/port", "0x3F8\n");
        write(sys + "/ttyS0/irq", "4\n");
        tty("ttyS1", devices + "/platform/serial8250"); // a slot without a UART behind it
        write(sys + "/ttyS1/type", "0\n");
        tty("ttyS2", devices + "/platform/mmio");
        write(sys + "/ttyS2/type", "14\n");
        write(sys + "/ttyS2/port", "0x0\n");
        write(sys + "/ttyS2/iomem_base", "0xFE215040\n");
        write(sys + "/ttyS2/irq", "0\n");
        const QString usb = devices + "/pci0000:00/usb1/1-1";
        tty("ttyUSB0", usb + "/1-1:1.0/ttyUSB0");
        write(usb + "/idVendor", "0403\n");
        write(usb + "/product", "FT232R USB UART\n");
        write(usb + "/manufacturer", "FTDI\n");
        write(usb + "/serial", "A10K3X5B\n");
        tty("ttyUSB1", usb + "/1-1:1.1/ttyUSB1"); // listed by the kernel, its node not yet made
        QFile::remove(dev + "/ttyUSB1");
        QVERIFY(QDir().mkpath(sys + "/tty0")); // a virtual terminal: no device behind it
        write(dev + "/tty0", {});

        OpenWatch watch(dev);
        QVERIFY(watch.ok());
        const QList<platform::PortInfo> ports =
            platform::SystemPortSource(sys, dev, dev + "/serial/by-id").ports();
        QStringList found;
        for (const platform::PortInfo& p : ports)
            found << p.path.mid(dev.size() + 1) + " = " + p.details();
        QCOMPARE(found, QStringList({"ttyS0 = 16550A UART, I/O 0x3F8, IRQ 4",
                                     "ttyS2 = NS16550A UART, memory 0xFE215040",
                                     "ttyUSB0 = FT232R USB UART, FTDI, serial A10K3X5B"}));
        QCOMPARE(platform::describeDevice(dev + "/ttyS0", sys), QString("16550A UART, I/O 0x3F8, IRQ 4"));
        QCOMPARE(watch.opened(), QStringList());
    }

    // Opening one port looks at no other: the machine's own serial devices see no open.
    void openingThePortOpensNoOtherDevice() {
        OpenWatch watch("/dev");
        QVERIFY(watch.ok());
        platform::PortMap map;
        map.setDevice("COM1", "/dev/ptmx");
        platform::QtSerialPort port(map);
        port.open("COM1");
        port.close();
        const QRegularExpression serial("^tty(S|USB|ACM|AMA)[0-9]+$");
        QCOMPARE(watch.opened().filter(serial), QStringList());
    }

    // The kernel's RS-485 settings are the device's: saved before the first change, put back once.
    void kernelRs485IsPutBack_data() {
        QTest::addColumn<QByteArray>("found"); // the flags word comes first, bit 0 is the mode
        QTest::addColumn<bool>("on");
        QTest::addColumn<int>("writes");
        QByteArray off(32, '\0');
        off[4] = 7; // a delay of another program's, kept
        QByteArray enabled = off;
        enabled[0] = 1;
        QTest::newRow("on") << off << true << 2;
        QTest::newRow("off, found off") << off << false << 0;
        QTest::newRow("off, left on by another program") << enabled << false << 2;
        QTest::newRow("no RS-485 mode") << QByteArray() << true << 0;
    }
    void kernelRs485IsPutBack() {
        QFETCH(QByteArray, found);
        QFETCH(bool, on);
        QFETCH(int, writes);
        QByteArray device = found;
        int written = 0;
        platform::KernelRs485 mode({[&](QByteArray& s) {
                                        s = device;
                                        return !device.isEmpty();
                                    },
                                    [&](const QByteArray& s) {
                                        ++written;
                                        device = s;
                                        return true;
                                    }});
        QCOMPARE(mode.set(on), on && !found.isEmpty());
        QCOMPARE(mode.set(on), on && !found.isEmpty()); // asked again: nothing new to save
        if (!found.isEmpty())
            QCOMPARE(device[0] & 1, on ? 1 : 0);
        mode.restore();
        mode.restore();
        QCOMPARE(device, found);
        QCOMPARE(written, writes);
    }
};

QTEST_GUILESS_MAIN(TestSerialDevices)
#include "test_serialdevices.moc"
