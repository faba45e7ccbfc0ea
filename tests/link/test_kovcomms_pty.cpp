#include "CpuTime.h"
#include "KovComms.h"
#include "Pty.h"
#include "SerialPort.h"

#include <QProcess>
#include <QtTest>

#include <atomic>
#include <cstdio>
#include <sys/resource.h>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

namespace {
// Run as "--hold PATH": a second copy of the program holding the port until its input closes.
int holdPort(const char* path) {
    platform::PortMap map;
    map.setDevice("COM1", QString::fromLocal8Bit(path));
    platform::QtSerialPort port(map);
    if (!port.open("COM1"))
        return 1;
    std::printf("held\n");
    std::fflush(stdout);
    while (std::fgetc(stdin) != EOF) {
    }
    return 0;
}

LinkState openOn(const QString& path) {
    platform::PortMap map;
    map.setDevice("COM2", path);
    TKovComms link(std::make_unique<platform::QtSerialPort>(map));
    link.setComPort(TComPort::Com2);
    if (link.Open())
        return LinkState();
    // A link that did not open fails every exchange at once.
    link.SendText("#00 SYS\r\n");
    if (!link.ReadReply().isEmpty())
        return LinkState();
    return link.state();
}
} // namespace

// The link through the real Qt serial port on a pseudo-terminal; the test plays the instrument.
class TestKovCommsPty : public QObject {
    Q_OBJECT
    std::unique_ptr<Pty> pty;
    std::unique_ptr<TKovComms> comms;

private slots:
    void init() {
        pty = std::make_unique<Pty>();
        QVERIFY(pty->ok());
        platform::PortMap map;
        map.setDevice("COM1", pty->slavePath());
        comms = std::make_unique<TKovComms>(std::make_unique<platform::QtSerialPort>(map));
        QVERIFY(comms->Open());
    }
    void cleanup() {
        comms.reset();
        pty.reset();
    }

    void openFailureSaysWhy_data() {
        QTest::addColumn<QString>("device");
        QTest::addColumn<int>("kind");
        QTest::addColumn<QString>("status");
        QTest::addColumn<QString>("advice");
        QTest::newRow("missing") << "/nonexistent/ttyX" << int(platform::PortProblem::Missing)
                                 << "COM2 /nonexistent/ttyX: not open (no such device)"
                                 << "The adapter is not plugged in, or the name is wrong";
        QTest::newRow("file") << "file" << int(platform::PortProblem::NotATerminal)
                              << ": not open (not a serial port)"
                              << "not a serial port (not a terminal)";
        QTest::newRow("null device") << "/dev/null" << int(platform::PortProblem::NotATerminal)
                                     << "COM2 /dev/null: not open (not a serial port)"
                                     << "not a serial port (not a terminal)";
        QTest::newRow("forbidden") << "forbidden" << int(platform::PortProblem::PermissionDenied)
                                   << ": not open (permission denied)"
                                   << "and log in again";
    }
    void openFailureSaysWhy() {
        QFETCH(QString, device);
        QFETCH(int, kind);
        QFETCH(QString, status);
        QFETCH(QString, advice);
        QTemporaryDir dir;
        Pty forbidden;
        bool asNobody = false;
        if (device == "file") {
            device = dir.filePath("ttyNotOne");
            QFile f(device);
            QVERIFY(f.open(QIODevice::WriteOnly));
        } else if (device == "forbidden") {
            device = forbidden.slavePath();
            // Root opens everything: be somebody else for the attempt. Anyone else owns their pty
            // and can take their own permissions away.
            if (::geteuid() == 0)
                asNobody = ::seteuid(65534) == 0;
            else if (::chmod(device.toLocal8Bit().constData(), 0) != 0)
                QSKIP("cannot take the permissions away from a pseudo-terminal here");
            if (::geteuid() == 0)
                QSKIP("cannot drop root privileges here");
        }
        const LinkState state = openOn(device);
        if (asNobody)
            QVERIFY(::seteuid(0) == 0);
        QCOMPARE(int(state.problem.kind), kind);
        QCOMPARE(state.condition, LinkState::Condition::NotOpen);
        QVERIFY2(linkStatusText(state).endsWith(status), qPrintable(linkStatusText(state)));
        QVERIFY2(linkFailureMessage(state).contains(advice), qPrintable(linkFailureMessage(state)));
        if (kind == platform::PortProblem::PermissionDenied) {
            QVERIFY(!state.problem.group.isEmpty());
            QVERIFY2(linkFailureMessage(state).contains("sudo usermod -aG " + state.problem.group + " $USER"),
                     qPrintable(linkFailureMessage(state)));
        }
    }

    void exchangeReadsTheWholeReply() {
        std::thread peer([&] {
            const QByteArray got = pty->readMaster(9, 3000);
            if (got == "#00 SYS\r\n")
                pty->writeMaster("917 Version 1.01\r\n");
        });
        comms->SendText("#00 SYS\r\n");
        const QString reply = comms->ReadReply();
        peer.join();
        QCOMPARE(reply, QString("917 Version 1.01"));
    }

    void bytesAlreadyBufferedAreTakenWithoutWaiting() {
        // Both lines land in Qt's own buffer with the first read; the second must not wait for the
        // driver, which has nothing more to say.
        pty->writeMaster("first\r\nsecond\r\n");
        QCOMPARE(comms->ReadReply(), QString("first"));
        QElapsedTimer t;
        t.start();
        QCOMPARE(comms->ReadReply(), QString("second"));
        QVERIFY2(t.elapsed() < 500, qPrintable(QString::number(t.elapsed())));
    }

    void nothingIsDeliveredWhileAReplyIsAwaited() {
        QByteArray polled;
        comms->setOnReceiveData([&](TKovComms*, const char* d, qint32 n) { polled.append(d, n); });
        std::thread peer([&] {
            pty->readMaster(9, 3000);
            for (const char* piece : {"917 ", "Version", " 1.01\r\n", "after\r\n"}) {
                std::this_thread::sleep_for(std::chrono::milliseconds(60));
                pty->writeMaster(piece);
            }
        });
        comms->SendText("#00 SYS\r\n");
        const QString reply = comms->ReadReply();
        peer.join();
        QCOMPARE(reply, QString("917 Version 1.01"));
        QVERIFY(polled.isEmpty());
        QTRY_COMPARE(polled, QByteArray("after\r\n"));
    }

    void portHeldByAnotherProgramIsNotOpened() {
        // A second link in this process, by the device's name and by a link to it (a by-id name).
        QTemporaryDir dir;
        const QString byId = dir.filePath("usb-Maker_Adapter-if00-port0");
        QVERIFY(QFile::link(pty->slavePath(), byId));
        for (const QString& name : {pty->slavePath(), byId}) {
            platform::PortMap map;
            map.setDevice("COM1", name);
            TKovComms second(std::make_unique<platform::QtSerialPort>(map));
            QVERIFY(!second.Open());
            QCOMPARE(second.state().problem.kind, platform::PortProblem::Busy);
            QVERIFY(!second.waitingForDevice());
        }
        QVERIFY(comms->IsOpen());

        // Another copy of the program holds a port: refused, and named, until it lets go.
        Pty other;
        QProcess holder;
        holder.start(QCoreApplication::applicationFilePath(), {"--hold", other.slavePath()});
        QVERIFY(holder.waitForReadyRead(10000));
        QCOMPARE(holder.readAll(), QByteArray("held\n"));
        const LinkState refused = openOn(other.slavePath());
        QCOMPARE(refused.problem.kind, platform::PortProblem::Busy);
        QVERIFY2(refused.problem.holder.endsWith(QString("process %1").arg(holder.processId())),
                 qPrintable(refused.problem.holder));
        QVERIFY2(
            linkFailureMessage(refused).contains("another program holds it (" + refused.problem.holder + ")"),
            qPrintable(linkFailureMessage(refused)));
        holder.closeWriteChannel();
        QVERIFY(holder.waitForFinished(10000));
        QCOMPARE(holder.exitCode(), 0);
        QCOMPARE(openOn(other.slavePath()).condition, LinkState::Condition::Closed); // opened
    }

    void twoLinesTogether() {
        pty->writeMaster("first\r\nsecond\r\n");
        QCOMPARE(comms->ReadReply(), QString("first"));
        QByteArray polled;
        comms->setOnReceiveData([&](TKovComms*, const char* d, qint32 n) { polled.append(d, n); });
        QTRY_COMPARE(polled, QByteArray("second\r\n"));
    }

    void replyInPiecesWithGaps() {
        comms->setOutputTimeout(300);
        std::thread peer([&] {
            for (const char* piece : {"91", "7 Ver", "sion", "\r\n"}) {
                std::this_thread::sleep_for(std::chrono::milliseconds(150));
                pty->writeMaster(piece);
            }
        });
        const QString reply = comms->ReadReply();
        peer.join();
        QCOMPARE(reply, QString("917 Version"));
    }

    void silentPeerTimesOutWithoutSpinning() {
        comms->setOutputTimeout(1000);
        QElapsedTimer t;
        t.start();
        const double cpu0 = cpuSeconds();
        QCOMPARE(comms->ReadReply(), QString());
        const double cpu = cpuSeconds() - cpu0;
        QVERIFY(t.elapsed() >= 1000);
        QVERIFY(t.elapsed() < 1500);
        QVERIFY2(cpu < 0.2, qPrintable(QString::number(cpu)));
    }

    void vanishingPeerMidExchange() {
        std::thread peer([&] {
            pty->readMaster(9, 3000);
            pty->writeMaster("917 Ver");
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
            pty->closeMaster();
        });
        comms->SendText("#00 SYS\r\n");
        QElapsedTimer t;
        t.start();
        const QString reply = comms->ReadReply();
        peer.join();
        QCOMPARE(reply, QString());
        QVERIFY2(t.elapsed() < 4500, qPrintable(QString::number(t.elapsed())));
        // The event loop then runs at idle: the failed port was closed, not left spinning.
        const double cpu0 = cpuSeconds();
        QTest::qWait(500);
        QVERIFY(!comms->IsOpen());
        const double cpu = cpuSeconds() - cpu0;
        QVERIFY2(cpu < 0.2, qPrintable(QString::number(cpu)));
        comms->SendText("#00 SYS\r\n"); // a closed link: nothing, no crash
        QCOMPARE(comms->ReadReply(), QString());
    }

    void flood() {
        // 100 000 bytes without LF: bounded wait, no hang.
        comms->setOutputTimeout(300);
        std::atomic<bool> sent{false};
        std::thread peer([&] {
            pty->writeMaster(QByteArray(100000, 'x'));
            sent = true;
        });
        QElapsedTimer t;
        t.start();
        QCOMPARE(comms->ReadReply(), QString());
        // What the reply left behind goes to the receive handler once the event loop runs.
        QTRY_VERIFY_WITH_TIMEOUT(sent, 10000);
        peer.join();
        QVERIFY(t.elapsed() < 10000);
    }
};

int main(int argc, char* argv[]) {
    if (argc == 3 && qstrcmp(argv[1], "--hold") == 0) {
        QCoreApplication app(argc, argv);
        return holdPort(argv[2]);
    }
    QCoreApplication app(argc, argv);
    TestKovCommsPty test;
    QTEST_SET_MAIN_SOURCE_PATH
    return QTest::qExec(&test, argc, argv);
}
#include "test_kovcomms_pty.moc"
