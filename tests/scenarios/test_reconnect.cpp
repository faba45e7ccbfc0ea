// One session in the real main window on a simulated network reached through a link in a folder of
// the test's own, as a USB adapter is reached through its by-id name: the device goes away and
// comes back while idle, in terminal mode and during a programming run.
#include "ConfigTree.h"
#include "CpuTime.h"
#include "FakeDialogs.h"
#include "Main.h"
#include "ModalHelper.h"
#include "SerialPort.h"
#include "SimNetworkFixture.h"
#include "Sound.h"

#include <QAbstractButton>
#include <QComboBox>
#include <QPlainTextEdit>
#include <QSettings>
#include <QTemporaryDir>
#include <QtTest>

#include <sys/resource.h>

class TestReconnect : public QObject {
    Q_OBJECT

private slots:
    void deviceGoesAndComes() {
        QTemporaryDir dir;
        const QString byId = dir.filePath("usb-Maker_RS485_Adapter_A1-if00-port0");
        const QString remembered = dir.filePath("ports.ini");
        SimNetworkFixture net;
        QVERIFY2(net.ok(), qPrintable(net.error()));
        QVERIFY(net.pty().setLink(byId));
        const auto unplug = [&] { net.pty().stop(); };
        const auto plugIn = [&] {
            QVERIFY(net.pty().start());
            QVERIFY(net.pty().setLink(byId));
        };

        FakeDialogs dialogs;
        platform::SilentSound sound;
        platform::PortMap map;
        map.setDevice("COM1", byId);
        MainFormDeps deps;
        deps.port = std::make_unique<platform::QtSerialPort>(map);
        deps.dialogs = &dialogs;
        deps.sound = &sound;
        deps.executableFolder = QCoreApplication::applicationDirPath() + "/";
        deps.portMapFile = remembered;
        TMainForm w(std::move(deps));
        w.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        w.Timer1.stop();
        const QString open = "COM1 " + byId + " RS232 9600";
        const QString gone = "COM1 " + byId + ": device gone, waiting for it to return";
        QCOMPARE(w.linkStatusText(), open);

        // Idle: the field says so, nothing spins while waiting, and the link returns by itself.
        unplug();
        QTRY_COMPARE(w.linkStatusText(), gone);
        const double cpu0 = cpuSeconds();
        QTest::qWait(1500);
        QVERIFY2(cpuSeconds() - cpu0 < 0.3, "the wait for the device spun");
        plugIn();
        QTRY_COMPARE(w.linkStatusText(), open);
        QCOMPARE(dialogs.errors, QStringList());

        // Terminal mode: a line typed while the device is away goes nowhere; after it returns,
        // lines are answered again.
        w.action("TerminalModeItem")->trigger();
        auto* tx = w.findChild<QPlainTextEdit*>("TermTX");
        auto* rx = w.findChild<QPlainTextEdit*>("TermRX");
        w.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&w));
        unplug();
        QTRY_COMPARE(w.linkStatusText(), gone);
        tx->setFocus();
        QTest::keyClicks(tx, "#00 SYS");
        QTest::keyClick(tx, Qt::Key_Return);
        plugIn();
        QTRY_COMPARE(w.linkStatusText(), open);
        net.clearTraffic();
        QTest::keyClicks(tx, "#00 SYS");
        QTest::keyClick(tx, Qt::Key_Return);
        QTRY_VERIFY_WITH_TIMEOUT(rx->toPlainText().contains("917 Version 1.01"), 5000);
        QCOMPARE(net.receivedLines(), QList<QByteArray>{"#00 SYS\r\n"});
        w.action("TerminalModeItem")->trigger();

        // A programming run: the device goes halfway through a reply. One message, then the
        // program waits for the device and the next run goes through.
        ConfigNode* instrument = w.tree().appendRoot("Instrument Address 00 (917 Version 1.01)");
        w.tree().appendChild(w.tree().appendChild(instrument, "Channel Configuration"),
                             "SET CHANNEL,001A,ON,OFF,10,0,0,30,100");
        w.tree().appendChild(w.tree().appendChild(instrument, "Data Logging Parameters"), "SET HYSTERESIS,0");
        const auto program = [&] {
            whenModalTitled("Program Instrument", [](QWidget* d) {
                QTest::mouseClick(d->findChild<QAbstractButton*>("BitBtn1"), Qt::LeftButton);
            });
            w.action("CommsProgramInstrumentItem")->trigger();
            QTRY_VERIFY(!QApplication::activeModalWidget());
        };
        sim::Faults goesAway;
        goesAway.vanishOnCommand = net.commandsHandled(0) + 2; // during the second command's reply
        net.setFaults(0, goesAway);
        program();
        QCOMPARE(dialogs.errors, QStringList{"Serial Communications Error"});
        QTRY_COMPARE(w.linkStatusText(), gone);
        net.setFaults(0, sim::Faults());
        net.resetInstrument(0);
        unplug();
        plugIn();
        QTRY_COMPARE(w.linkStatusText(), open);
        net.clearTraffic();
        program();
        QCOMPARE(dialogs.errors, QStringList{"Serial Communications Error"});
        QCOMPARE(net.receivedLines().last(), QByteArray("#00 SAVE\r\n"));

        // A device chosen for COM2 that is not there: said once, with the reason, and remembered.
        whenModalTitled("Configure Host Computer Serial Communication Settings", [](QWidget* d) {
            d->findChild<QComboBox*>("Edit1")->setCurrentIndex(1);
            d->findChild<QComboBox*>("Edit4")->setEditText("/nonexistent/ttyUSB7");
            QTest::mouseClick(d->findChild<QAbstractButton*>("Button1"), Qt::LeftButton);
        });
        w.action("CommsConfigureItem")->trigger();
        QTRY_VERIFY(!QApplication::activeModalWidget());
        QCOMPARE(dialogs.errors.size(), 2);
        QVERIFY2(dialogs.errors.last().contains("not plugged in"), qPrintable(dialogs.errors.last()));
        QCOMPARE(w.linkStatusText(), QString("COM2 /nonexistent/ttyUSB7: not open (no such device)"));
        QSettings file(remembered, QSettings::IniFormat);
        QCOMPARE(file.allKeys(), QStringList{"Ports/COM2"});
        QCOMPARE(file.value("Ports/COM2").toString(), QString("/nonexistent/ttyUSB7"));
    }
};

QTEST_MAIN(TestReconnect)
#include "test_reconnect.moc"
