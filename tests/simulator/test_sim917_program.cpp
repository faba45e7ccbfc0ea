#include "KovComms.h"
#include "SerialPort.h"

#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

#include <csignal>

namespace {

// The program running, with the device path it printed.
struct Sim917 {
    QProcess process;
    QString device;

    bool start(const QStringList& arguments) {
        process.start(QStringLiteral(SIM917_PATH), arguments);
        if (!process.waitForStarted(5000))
            return false;
        for (int waited = 0; !process.canReadLine() && waited < 50; ++waited)
            if (!process.waitForReadyRead(100) && process.state() != QProcess::Running)
                return false;
        device = QString::fromLocal8Bit(process.readLine()).trimmed();
        return !device.isEmpty();
    }
    ~Sim917() {
        if (process.state() != QProcess::NotRunning) {
            process.kill();
            process.waitForFinished(5000);
        }
    }
};

std::unique_ptr<TKovComms> openLink(const QString& device) {
    platform::PortMap map;
    map.setDevice("COM1", device);
    auto comms = std::make_unique<TKovComms>(std::make_unique<platform::QtSerialPort>(map));
    comms->Open();
    comms->setOutputTimeout(1000);
    return comms;
}

QString exchange(TKovComms& comms, const QString& line) {
    comms.SendText(line + "\r\n");
    return comms.ReadReply();
}

} // namespace

// The sim917 program as a user or a script runs it.
class TestSim917Program : public QObject {
    Q_OBJECT

private slots:
    void defaultIsOneFactoryNewInstrument() {
        QTemporaryDir dir;
        const QString link = dir.filePath("ttyV917");
        Sim917 sim;
        QVERIFY(sim.start({"--link", link}));
        QVERIFY(sim.device.startsWith("/dev/"));
        QCOMPARE(QFileInfo(link).symLinkTarget(), sim.device);
        auto comms = openLink(link);
        QVERIFY(comms->IsOpen());
        QVERIFY(exchange(*comms, "#00 SYS").contains("917 Version"));
        QCOMPARE(exchange(*comms, "#01 SYS"), QString());
        comms.reset();

        // Ends cleanly on SIGTERM and takes its link along.
        sim.process.terminate();
        QVERIFY(sim.process.waitForFinished(3000));
        QCOMPARE(sim.process.exitStatus(), QProcess::NormalExit);
        QCOMPARE(sim.process.exitCode(), 0);
        QVERIFY(!QFileInfo(link).isSymLink());
    }

    void optionsDescribeTheInstruments() {
        Sim917 sim;
        QVERIFY(sim.start({"--address", "0C", "--id", "917 Version 3.10", "--baud", "19200", "--fault",
                           "delay=100", "--instrument", "address=0D;id=second 917 Version 1.01;baud=19200"}));
        auto comms = openLink(sim.device);
        comms->setComSpeed(TComSpeed::br19200);
        QCOMPARE(exchange(*comms, "#0C SYS"), QString("917 Version 3.10"));
        QCOMPARE(exchange(*comms, "#0D SYS"), QString("second 917 Version 1.01"));
        QCOMPARE(exchange(*comms, "#00 SYS"), QString());
        comms.reset();
        ::kill(pid_t(sim.process.processId()), SIGINT);
        QVERIFY(sim.process.waitForFinished(3000));
        QCOMPARE(sim.process.exitCode(), 0);
    }

    void hangupIsAPowerCycle() {
        Sim917 sim;
        QVERIFY(sim.start({}));
        auto comms = openLink(sim.device);
        QCOMPARE(exchange(*comms, "#00 SET COMMS,01,232,9600,ON"), QString("OK"));
        QVERIFY(exchange(*comms, "#01 SYS").contains("917 Version"));
        ::kill(pid_t(sim.process.processId()), SIGHUP);
        // Unsaved: back at 00 once the signal has been taken.
        QTRY_VERIFY(exchange(*comms, "#00 SYS").contains("917 Version"));
        QCOMPARE(exchange(*comms, "#01 SYS"), QString());
    }

    void badOptionsAreRefused_data() {
        QTest::addColumn<QStringList>("arguments");
        QTest::newRow("address") << QStringList{"--address", "XYZ"};
        QTest::newRow("baud") << QStringList{"--baud", "123"};
        QTest::newRow("fault") << QStringList{"--fault", "sparkle"};
        QTest::newRow("instrument") << QStringList{"--instrument", "address=01;mode=999"};
    }
    void badOptionsAreRefused() {
        QFETCH(QStringList, arguments);
        QProcess p;
        p.start(QStringLiteral(SIM917_PATH), arguments);
        QVERIFY(p.waitForFinished(5000));
        QCOMPARE(p.exitCode(), 2);
        QVERIFY(p.readAllStandardError().startsWith("sim917: "));
        QVERIFY(p.readAllStandardOutput().isEmpty());
    }
};

QTEST_MAIN(TestSim917Program)
#include "test_sim917_program.moc"
