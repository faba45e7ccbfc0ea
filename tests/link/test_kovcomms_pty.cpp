#include "CpuTime.h"
#include "KovComms.h"
#include "Pty.h"
#include "SerialPort.h"
#include "UucpLock.h"

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
        // A pseudo-terminal is root:tty 0620: its group may write but not read, so joining it
        // would not help, and no group is named.
        QTest::newRow("forbidden") << "forbidden" << int(platform::PortProblem::PermissionDenied)
                                   << ": not open (permission denied)"
                                   << "Only its owner may open it: the system administrator (or a "
                                      "udev rule) has to give access to it.";
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
            QVERIFY(state.problem.group.isEmpty());
            QVERIFY(!linkFailureMessage(state).contains("usermod"));
        }
    }

    // Other programs' lock files, looked at before Qt's own locking could take them over.
    void lockFilesOfOtherPrograms_data() {
        QTest::addColumn<QByteArray>("lock"); // "huge", "folder": made by the test
        QTest::addColumn<bool>("opens");
        QTest::addColumn<QString>("status");
        QTest::addColumn<bool>("lockKept");
        const QByteArray self = QByteArray::number(qint64(::getpid()));
        const QString holder = ": not open (in use by " + platform::processText(::getpid()) + ")";
        QTest::newRow("live, HDB") << self.rightJustified(10, ' ') + "\n" << false << holder << true;
        // Even process 1 is a live holder (a program run as a container's first process).
        QTest::newRow("live, with name, process 1")
            << QByteArray("         1 minicom user\n") << false
            << ": not open (in use by " + platform::processText(1) + ")" << true;
        const qint32 pid = qint32(::getpid());
        QTest::newRow("live, binary")
            << QByteArray(reinterpret_cast<const char*>(&pid), 4) << false << holder << true;
        QTest::newRow("stale") << QByteArray("2147483646\n") << true << " RS232 9600" << false;
        QTest::newRow("no process number")
            << QByteArray("garbage\n") << true << "(without a process number)" << false;
        QTest::newRow("huge") << QByteArray("huge") << true << "(too large)" << false;
        QTest::newRow("not removable")
            << QByteArray("folder") << false << "not a regular file and cannot be removed)" << true;
    }
    void lockFilesOfOtherPrograms() {
        QFETCH(QByteArray, lock);
        QFETCH(bool, opens);
        QFETCH(QString, status);
        QFETCH(bool, lockKept);
        QTemporaryDir locks;
        Pty device;
        const QString file = locks.filePath(platform::uucpLockName(device.slavePath()));
        if (lock == "folder") {
            QVERIFY(QDir().mkpath(file + "/inside"));
        } else {
            QFile f(file);
            QVERIFY(f.open(QIODevice::WriteOnly));
            // A sparse gigabyte: reading it whole would take seconds and a gigabyte of memory.
            if (lock == "huge")
                QVERIFY(f.resize(qint64(1) << 30));
            else
                f.write(lock);
        }
        platform::PortMap map;
        map.setDevice("COM1", device.slavePath());
        auto port = std::make_unique<platform::QtSerialPort>(map);
        port->setLockFolders({locks.path()});
        TKovComms link(std::move(port));
        QCOMPARE(link.Open(), opens);
        const QString text = linkStatusText(link.state());
        QVERIFY2(text.endsWith(status), qPrintable(text));
        QCOMPARE(QFileInfo::exists(file), lockKept);
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

    void bytesAlreadyBufferedAreTaken() {
        // Both lines land in Qt's own buffer with the first read; the second is there for the next
        // reply, though the driver has nothing more to say.
        pty->writeMaster("first\r\nsecond\r\n");
        QCOMPARE(comms->ReadReply(), QString("first"));
        QCOMPARE(comms->ReadReply(), QString("second"));
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
        QVERIFY(t.elapsed() >= 980); // room for the two clocks' rounding
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
        const QString reply = comms->ReadReply();
        peer.join();
        QCOMPARE(reply, QString());
        // The event loop then runs at idle: the failed port was closed, not left spinning.
        const double cpu0 = cpuSeconds();
        QTest::qWait(500);
        QVERIFY(!comms->IsOpen());
        const double cpu = cpuSeconds() - cpu0;
        QVERIFY2(cpu < 0.2, qPrintable(QString::number(cpu)));
        comms->SendText("#00 SYS\r\n"); // a closed link: nothing, no crash
        QCOMPARE(comms->ReadReply(), QString());
    }

    // A record the instrument sent just before its device went away: the port has already taken
    // it from the system, so it reaches the receive handler (and the log) once, before the port closes.
    void bytesTakenBeforeAHangUpReachTheHandler() {
        QByteArray got, logged, recorded;
        comms->setOnReceiveData([&](TKovComms*, const char* d, qint32 n) { got.append(d, n); });
        comms->setOnReceiveTap([&](TKovComms*, const char* d, qint32 n) { logged.append(d, n); });
        comms->setOnBytesRead([&](const char* d, qint64 n) { recorded.append(d, n); });
        // Held, as during a long operation: the port takes the bytes from the system, nothing
        // delivers them before the hang-up.
        comms->setReceiveHeld(true);
        QSignalSpy announced(&comms->port(), &platform::SerialPort::readyRead);
        pty->writeMaster("rec 1\r\nrec 2\r\n");
        QTRY_VERIFY(announced.count() > 0);
        QCOMPARE(got, QByteArray());
        pty->closeMaster();
        QTRY_COMPARE(comms->state().condition, LinkState::Condition::Lost);
        for (const QByteArray* each : {&got, &logged, &recorded})
            QCOMPARE(*each, QByteArray("rec 1\r\nrec 2\r\n"));
        comms->setReceiveHeld(false);
        QTest::qWait(100);
        QCOMPARE(got, QByteArray("rec 1\r\nrec 2\r\n"));
    }

    void flood() {
        // 100 000 bytes without LF: bounded wait, no hang.
        comms->setOutputTimeout(300);
        std::atomic<bool> sent{false};
        std::thread peer([&] {
            pty->writeMaster(QByteArray(100000, 'x'));
            sent = true;
        });
        QCOMPARE(comms->ReadReply(), QString());
        // What the reply left behind goes to the receive handler once the event loop runs.
        QTRY_VERIFY_WITH_TIMEOUT(sent, 60000);
        peer.join();
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
