#include "KovComms.h"
#include "Pty.h"
#include "SerialPort.h"

#include <QtTest>

#include <atomic>
#include <sys/resource.h>
#include <thread>

namespace {
double cpuSeconds() {
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    return double(u.ru_utime.tv_sec + u.ru_stime.tv_sec) +
           double(u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
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

    void missingDeviceStaysClosed() {
        platform::PortMap map;
        map.setDevice("COM2", "/nonexistent/ttyX");
        map.setDevice("COM3", "/dev/null"); // not a serial port
        TKovComms other(std::make_unique<platform::QtSerialPort>(map));
        other.setComPort(TComPort::Com2);
        QVERIFY(!other.Open());
        other.setComPort(TComPort::Com3);
        QVERIFY(!other.Open());
        QCOMPARE(other.ReadReply(), QString());
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
        platform::PortMap map;
        map.setDevice("COM1", pty->slavePath());
        TKovComms second(std::make_unique<platform::QtSerialPort>(map));
        QVERIFY(!second.Open());
        QVERIFY(comms->IsOpen());
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

QTEST_MAIN(TestKovCommsPty)
#include "test_kovcomms_pty.moc"
