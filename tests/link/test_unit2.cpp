#include "Unit2.h"

#include <QComboBox>
#include <QLabel>
#include <QPushButton>
#include <QSettings>
#include <QtTest>

#include <sys/stat.h>

namespace {
class ListedPorts final : public platform::PortSource {
public:
    QList<platform::PortInfo> list;
    QList<platform::PortInfo> ports() const override { return platform::sortedPorts(list); }
};
const QString kAdapter = "/dev/serial/by-id/usb-FTDI_FT232R_USB_UART_A10K-if00-port0";
} // namespace

// The link settings dialog on its own: it edits the three indexes it was given, and only on OK.
class TestUnit2 : public QObject {
    Q_OBJECT
private slots:
    void okCopiesTheListPositions() {
        int port = 0, protocol = 0, speed = 4;
        TForm2 form(port, protocol, speed);
        form.show();
        QCOMPARE(form.Edit3()->currentText(), QString("9600"));
        form.Edit1()->setCurrentIndex(1);
        form.Edit2()->setCurrentIndex(1);
        form.Edit3()->setCurrentIndex(7);
        QTest::mouseClick(form.Button1(), Qt::LeftButton);
        QCOMPARE(form.result(), int(QDialog::Accepted));
        QCOMPARE(port, 1);
        QCOMPARE(protocol, 1);
        QCOMPARE(speed, 7);
    }

    void cancelKeepsTheValues() {
        int port = 1, protocol = 2, speed = 0;
        TForm2 form(port, protocol, speed);
        form.show();
        QCOMPARE(form.Edit1()->currentText(), QString("COM2"));
        QCOMPARE(form.Edit2()->currentText(), QString("RS485"));
        QCOMPARE(form.Edit3()->currentText(), QString("600"));
        form.Edit1()->setCurrentIndex(0);
        QTest::mouseClick(form.Button2(), Qt::LeftButton);
        QCOMPARE(form.result(), int(QDialog::Rejected));
        QCOMPARE(port, 1);
    }

    void aValueNoListHoldsIsKeptOnOk() {
        // COM3 from a hand-edited configuration: nothing is selected, and OK does not invent a port.
        int port = 2, protocol = 0, speed = 9;
        TForm2 form(port, protocol, speed);
        form.show();
        QCOMPARE(form.Edit1()->currentIndex(), -1);
        QCOMPARE(form.Edit3()->currentIndex(), -1);
        form.Button1Click();
        QCOMPARE(port, 2);
        QCOMPARE(speed, 9);
    }

    // The remembered mapping is read only when it is a regular file of sane size, with sane paths.
    void rememberedFileOfEachKind_data() {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<QString>("com1");
        QTest::newRow("regular") << "regular"
                                 << "/dev/ttyUSB3";
        QTest::newRow("FIFO") << "fifo"
                              << "/dev/ttyS0"; // would hold start-up for good
        QTest::newRow("huge") << "huge"
                              << "/dev/ttyS0"; // sparse, a gigabyte
        QTest::newRow("long path") << "long"
                                   << "/dev/ttyS0"; // longer than any path can be
    }
    void rememberedFileOfEachKind() {
        QFETCH(QString, kind);
        QFETCH(QString, com1);
        QTemporaryDir dir;
        const QString file = dir.filePath("ports.ini");
        if (kind == "fifo") {
            QVERIFY(::mkfifo(QFile::encodeName(file).constData(), 0600) == 0);
        } else {
            QFile f(file);
            QVERIFY(f.open(QIODevice::WriteOnly));
            const QByteArray path = kind == "long" ? "/dev/" + QByteArray(5000, 'x') : "/dev/ttyUSB3";
            f.write("[Ports]\nCOM1=" + path + "\nCOM2=/dev/ttyUSB4\n");
            if (kind == "huge")
                QVERIFY(f.resize(qint64(1) << 30));
        }
        // Choosing a device writes to the same file: never into something that is not ours.
        const qint64 sizeBefore = QFileInfo(file).size();
        platform::rememberDevice(file, "COM3", "/dev/ttyUSB9");
        if (kind == "fifo" || kind == "huge")
            QCOMPARE(QFileInfo(file).size(), sizeBefore);
        platform::PortMap map;
        platform::loadPortMap(file, map);
        QCOMPARE(map.device("COM1"), com1);
        QCOMPARE(map.device("COM2"),
                 QString(kind == "regular" || kind == "long" ? "/dev/ttyUSB4" : "/dev/ttyS1"));
    }

    // Without hardware: the devices come from the test, the mapping file from a folder of its own.
    void deviceChooserAndMapping() {
        QTemporaryDir dir;
        const QString file = dir.filePath("ports.ini");
        ListedPorts source;
        source.list = {{"/dev/ttyUSB0", kAdapter, "FT232R USB UART", "FTDI", "A10K"},
                       {"/dev/ttyS10", "", "", "", ""},
                       {"/dev/ttyS2", "", "16550A", "", ""}};
        // Nothing remembered: the first two present, in an order that does not change between runs.
        platform::PortMap map = platform::startupPortMap(source, file, {});
        QCOMPARE(map.device("COM1"), QString("/dev/ttyS2"));
        QCOMPARE(map.device("COM2"), QString("/dev/ttyS10"));
        const platform::PortMap bare = platform::startupPortMap(ListedPorts(), file, {});
        QCOMPARE(bare.device("COM1"), QString("/dev/ttyS0"));
        QCOMPARE(bare.device("COM2"), QString("/dev/ttyS1"));

        int port = 0, protocol = 0, speed = 4;
        TForm2 form(port, protocol, speed);
        form.setDeviceChoice(&map, &source, file);
        form.show();
        QCOMPARE(form.Edit4()->count(), 3);
        QCOMPARE(form.Edit4()->itemText(2), kAdapter + "  (FT232R USB UART)");
        QCOMPARE(form.Edit4()->currentText(), QString("/dev/ttyS2"));
        QCOMPARE(form.DeviceDetails()->text(), QString("16550A"));
        form.Edit1()->setCurrentIndex(1);
        QCOMPARE(form.Edit4()->currentText(), QString("/dev/ttyS10"));
        form.Edit4()->setCurrentIndex(2);
        QCOMPARE(form.chosenDevice(1), kAdapter);
        QCOMPARE(form.DeviceDetails()->text(), QString("FT232R USB UART, FTDI, serial A10K, /dev/ttyUSB0"));
        form.Edit1()->setCurrentIndex(0);
        form.Edit4()->setEditText(dir.filePath("ttyGone"));
        QCOMPARE(form.DeviceDetails()->text(), QString("Not present"));
        QCOMPARE(form.chosenDevice(1), kAdapter);
        QTest::mouseClick(form.Button2(), Qt::LeftButton);
        QCOMPARE(map.device("COM1"), QString("/dev/ttyS2"));
        QVERIFY(!QFileInfo::exists(file));

        // Each showing starts from the map; OK applies and remembers only what changed.
        form.show();
        QCOMPARE(form.Edit4()->currentText(), QString("/dev/ttyS2"));
        form.Edit1()->setCurrentIndex(1);
        form.Edit4()->setCurrentIndex(2);
        QTest::mouseClick(form.Button1(), Qt::LeftButton);
        QCOMPARE(port, 1);
        QCOMPARE(map.device("COM2"), kAdapter);
        QCOMPARE(map.device("COM1"), QString("/dev/ttyS2"));
        QCOMPARE(QSettings(file, QSettings::IniFormat).allKeys(), QStringList{"Ports/COM2"});

        // The next start: what was remembered wins over the default, a start option over both.
        const platform::PortMap next = platform::startupPortMap(source, file, {{"COM1", "/dev/pts/9"}});
        QCOMPARE(next.device("COM1"), QString("/dev/pts/9"));
        QCOMPARE(next.device("COM2"), kAdapter);
    }
};

QTEST_MAIN(TestUnit2)
#include "test_unit2.moc"
