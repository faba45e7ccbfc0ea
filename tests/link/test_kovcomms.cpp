#include "FakeSerialPort.h"
#include "KovComms.h"

#include <QtTest>

class TestKovComms : public QObject {
    Q_OBJECT

    FakeClock clock;
    FakeSerialPort* port = nullptr;
    std::unique_ptr<TKovComms> comms;

    void make() {
        auto p = std::make_unique<FakeSerialPort>(clock);
        port = p.get();
        comms = std::make_unique<TKovComms>(std::move(p), &clock);
    }

private slots:
    void init() { make(); }

    void propertySetters_data() {
        QTest::addColumn<QString>("address");
        QTest::addColumn<QString>("expected");
        QTest::newRow("empty") << ""
                               << "00";
        QTest::newRow("one") << "7"
                             << "07";
        QTest::newRow("three") << "123"
                               << "12";
        QTest::newRow("two") << "FF"
                             << "FF";
    }
    void propertySetters() {
        QFETCH(QString, address);
        QFETCH(QString, expected);
        comms->setAddress(address);
        QCOMPARE(comms->Address(), expected);
        comms->setCommandPrefix("##");
        QCOMPARE(comms->CommandPrefix(), QString("#"));
        comms->setCommandPrefix("");
        QCOMPARE(comms->CommandPrefix(), QString(""));
    }

    void speedTable() {
        const qint32 expected[] = {600, 1200, 2400, 4800, 9600, 19200, 38400, 57600};
        for (int i = 0; i < 8; ++i)
            QCOMPARE(comSpeedBaud(TComSpeed(i)), expected[i]);
    }

    void openAppliesSettingsAndWakesOnlyForBytes() {
        comms->setComPort(TComPort::Com2);
        comms->setComSpeed(TComSpeed::br19200);
        QVERIFY(comms->Open());
        QCOMPARE(port->openedName, QString("COM2"));
        QCOMPARE(port->baud, 19200);
        QCOMPARE(port->eventKinds(), QStringList({"open", "configure", "rs485-off", "purge"}));
        QTRY_VERIFY(!comms->deliveryPending()); // a quiet line wakes nothing
        port->feed("x");
        QVERIFY(comms->deliveryPending());
        QCOMPARE(comms->deliveryDelay(), 50);
        QVERIFY(comms->Open()); // already open: no second open
        QCOMPARE(port->eventKinds().count("open"), 1);
        comms->Close();
        QVERIFY(!comms->IsOpen());
        QVERIFY(!comms->deliveryPending());
    }

    void unopenablePortStaysClosedAndSilent() {
        port->openable = false;
        QVERIFY(!comms->Open());
        QVERIFY(!comms->IsOpen());
        comms->SendText("#00 SYS\r\n");
        QVERIFY(port->written.isEmpty());
        const qint64 t0 = clock.now;
        QCOMPARE(comms->ReadReply(), QString());
        QCOMPARE(clock.now, t0); // at once
    }

    void portAndInputBufferIgnoredWhileOpen() {
        QVERIFY(comms->Open());
        comms->setComPort(TComPort::Com3);
        comms->setBufferSize_Input(16);
        comms->Close();
        QVERIFY(comms->Open());
        QCOMPARE(port->openedName, QString("COM1"));
        QCOMPARE(comms->BufferSize_Input(), quint16(2048));
    }

    void speedChangeWhileOpenReprogramsAndPurges() {
        QVERIFY(comms->Open());
        port->feed("stale");
        port->events.clear();
        comms->setComSpeed(TComSpeed::br57600);
        QCOMPARE(port->baud, 57600);
        QCOMPARE(port->eventKinds(), QStringList({"configure", "rs485-off", "purge"}));
        char b;
        QCOMPARE(port->read(&b, 1), 0);
    }

    void pollingDelayRule() {
        comms->setDelay_Polling(0);
        QVERIFY(comms->Open());
        QCOMPARE(comms->deliveryDelay(), 10); // raised to the minimum
        comms->setDelay_Polling(200);
        QCOMPARE(comms->deliveryDelay(), 200);
        comms->Close();
        comms->setDelay_Polling(30);
        QVERIFY(!comms->deliveryPending());
    }

    void readReplyTakesOneLine() {
        QVERIFY(comms->Open());
        port->feed("917 Version 1.0\r\nsecond\r\n");
        QCOMPARE(comms->ReadReply(), QString("917 Version 1.0"));
        QCOMPARE(comms->ReadReply(), QString("second"));
    }

    void readReplyCrLfAloneIsEmptyAtOnce() {
        QVERIFY(comms->Open());
        port->feed("\r\n");
        const qint64 t0 = clock.now;
        QCOMPARE(comms->ReadReply(), QString());
        QCOMPARE(clock.now, t0);
    }

    void readReplyWithoutLfTimesOut() {
        QVERIFY(comms->Open());
        port->feed("partial\r");
        const qint64 t0 = clock.now;
        QCOMPARE(comms->ReadReply(), QString());
        QCOMPARE(clock.now - t0, 4000);
        // Waited, not spun: a handful of blocking waits, not thousands of polls.
        QVERIFY2(port->waits < 10, qPrintable(QString::number(port->waits)));
    }

    void slowReplyIsReadWholeGapLosesIt() {
        QVERIFY(comms->Open());
        comms->setOutputTimeout(100);
        for (int i = 0; i < 10; ++i)
            port->feed("x", 99 * (i + 1));
        port->feed("\n", 99 * 11);
        QCOMPARE(comms->ReadReply(), QString("xxxxxxxxxx"));

        port->feed("abc", 10);
        port->feed("\n", 10 + 150);
        QCOMPARE(comms->ReadReply(), QString());
        // The LF that came too late is read as the next (empty) reply, which returns at once.
        QCOMPARE(comms->ReadReply(), QString());
    }

    void crDoesNotRestartTheTimeout() {
        QVERIFY(comms->Open());
        comms->setOutputTimeout(100);
        port->feed("a");
        for (int i = 1; i <= 20; ++i)
            port->feed("\r", 10 * i);
        const qint64 t0 = clock.now;
        QCOMPARE(comms->ReadReply(), QString());
        QCOMPARE(clock.now - t0, 100);
    }

    // A peer that never ends its line, or trickles it, must not hold the program.
    void aRunawayReplyIsNoReply() {
        QVERIFY(comms->Open());
        port->feed(QByteArray(100000, 'a') + "\r\n");
        const qint64 t0 = clock.now;
        QCOMPARE(comms->ReadReply(), QString());
        QCOMPARE(clock.now, t0);
        // The rest of an over-long line is dropped with it: its tail is not the next reply (in a
        // scan, a phantom instrument at the next, silent address).
        port->feed(QByteArray(290, 'a') + "\r\n");
        QCOMPARE(comms->ReadReply(), QString());
        port->feed("next\r\n", 10);
        QCOMPARE(comms->ReadReply(), QString("next"));
        const QByteArray longest(TKovComms::kMaximumReplyLength, 'b');
        port->purge(true, false);
        port->feed(longest + "\r\n");
        QCOMPARE(comms->ReadReply(), QString(longest));

        comms->setOutputTimeout(1000);
        const qint64 t1 = clock.now;
        for (int i = 1; i <= 100; ++i)
            port->feed("c", 900 * i);
        QCOMPARE(comms->ReadReply(), QString());
        QCOMPARE(clock.now - t1, 1000 + TKovComms::kReplyTimeLimitMs);
    }

    void nulAndControlBytesAreKept() {
        QVERIFY(comms->Open());
        port->feed(QByteArray("a\0b\tc\n", 6));
        QCOMPARE(comms->ReadReply(), QString::fromLatin1(QByteArray("a\0b\tc", 5)));
    }

    void clockAtAnyValue() {
        // Elapsed times are differences; a start near the old 32-bit wrap changes nothing.
        clock.now = 0xFFFFFF00LL;
        QVERIFY(comms->Open());
        comms->setOutputTimeout(500);
        port->feed("late\n", 600);
        QCOMPARE(comms->ReadReply(), QString());
        QCOMPARE(clock.now, 0xFFFFFF00LL + 500);
    }

    void rtsFramesTheWriteOnRs485() {
        QVERIFY(comms->Open());
        comms->setComMode(TComMode::RS485);
        comms->setDelay_Transmission(5);
        port->events.clear();
        comms->SendText("#01 SAVE\r\n");
        QCOMPARE(port->eventKinds(), QStringList({"rts-on", "write", "drain", "rts-off"}));
        QCOMPARE(port->events[1].time - port->events[0].time, 5); // transmission delay inside RTS
        QCOMPARE(port->written, QByteArray("#01 SAVE\r\n"));

        port->events.clear();
        comms->SendText("");
        QCOMPARE(port->eventKinds(), QStringList({"rts-on", "drain", "rts-off"}));

        comms->setComMode(TComMode::RS232);
        comms->setDelay_Transmission(0);
        port->events.clear();
        comms->SendText("x");
        QCOMPARE(port->eventKinds(), QStringList({"write"}));

        // Where the driver drives RTS itself, the link only writes: on RS485 alone. RS422 must hear
        // while it sends, so the kernel's mode (receiver off while sending) stays off there.
        port->kernelRs485 = true;
        port->events.clear();
        comms->setComMode(TComMode::RS485);
        comms->SendText("y");
        QCOMPARE(port->eventKinds(), QStringList({"rs485-on", "write"}));
        QCOMPARE(comms->state().drive, LinkState::Drive::Kernel);
        QCOMPARE(linkStatusText(comms->state()), QString("COM1 /dev/ttyS0 RS485 9600, RTS by kernel"));
        port->events.clear();
        comms->setComMode(TComMode::RS422);
        comms->SendText("z");
        QCOMPARE(port->eventKinds(), QStringList({"rs485-off", "rts-on", "write", "drain", "rts-off"}));
        QCOMPARE(linkStatusText(comms->state()), QString("COM1 /dev/ttyS0 RS422 9600, RTS toggled"));
    }

    void characterDelayWritesOneByteAtATime() {
        QVERIFY(comms->Open());
        comms->setDelay_Character(3);
        port->events.clear();
        const qint64 t0 = clock.now;
        comms->SendText("abc");
        QCOMPARE(port->eventKinds(), QStringList({"write", "write", "write"}));
        QCOMPARE(port->written, QByteArray("abc"));
        QCOMPARE(clock.now - t0, 9);
    }

    void pollDeliversInBufferSizedBlocks() {
        comms->setBufferSize_Input(4);
        QVERIFY(comms->Open());
        QList<QByteArray> blocks;
        comms->setOnReceiveData([&](TKovComms* sender, const char* data, qint32 size) {
            QCOMPARE(sender, comms.get());
            blocks.append(QByteArray(data, size));
        });
        port->feed("0123456789");
        comms->PollReceive();
        comms->PollReceive();
        comms->PollReceive();
        comms->PollReceive();
        QCOMPARE(blocks, QList<QByteArray>({"0123", "4567", "89"}));
    }

    void secondLineStaysForThePoll() {
        QVERIFY(comms->Open());
        QByteArray got;
        comms->setOnReceiveData([&](TKovComms*, const char* d, qint32 n) { got.append(d, n); });
        port->feed("one\r\ntwo\r\n");
        QCOMPARE(comms->ReadReply(), QString("one"));
        QTRY_COMPARE(got, QByteArray("two\r\n")); // the poll timer runs once the event loop does
    }

    // The port announces the reply while the exchange waits for it, or while a long operation lets
    // the event loop run between its exchanges: the reply is the exchange's, what follows it is not.
    void anAwaitedReplyIsNeverDelivered() {
        QVERIFY(comms->Open());
        QByteArray got;
        comms->setOnReceiveData([&](TKovComms*, const char* d, qint32 n) { got.append(d, n); });
        port->responder = [&](const QByteArray&) { port->feed("917 Version 1.0\r\nafter\r\n"); };
        comms->setReceiveHeld(true);
        comms->SendText("#00 SYS\r\n");
        QTest::qWait(3 * comms->deliveryDelay());
        QCOMPARE(got, QByteArray());
        QCOMPARE(comms->ReadReply(), QString("917 Version 1.0"));
        QTest::qWait(3 * comms->deliveryDelay());
        QCOMPARE(got, QByteArray());

        port->responder = [&](const QByteArray&) { port->feed("917 Version 1.1\r\n", 5); };
        comms->setReceiveHeld(false);
        QTRY_COMPARE(got, QByteArray("after\r\n"));
        comms->SendText("#00 SYS\r\n");
        QCOMPARE(comms->ReadReply(), QString("917 Version 1.1"));
        QTest::qWait(3 * comms->deliveryDelay());
        QCOMPARE(got, QByteArray("after\r\n"));
    }

    // Bytes the port took before a hang-up reach the handler once, held or not; an exchange under
    // way still gets a reply that arrived whole.
    void bytesTakenBeforeAHangUpAreNotLost() {
        QVERIFY(comms->Open());
        QByteArray got;
        comms->setOnReceiveData([&](TKovComms*, const char* d, qint32 n) { got.append(d, n); });
        comms->setReceiveHeld(true); // as between the exchanges of a scan
        port->feed("rec 1\r\n");
        port->vanish();
        QTRY_COMPARE(comms->state().condition, LinkState::Condition::Lost);
        QCOMPARE(got, QByteArray("rec 1\r\n"));
        comms->setReceiveHeld(false);
        QTRY_VERIFY(comms->IsOpen());
        port->feed("917 Version 1.0\r\n");
        port->vanish();
        QCOMPARE(comms->ReadReply(), QString("917 Version 1.0"));
        QTRY_COMPARE(comms->state().condition, LinkState::Condition::Lost);
        QCOMPARE(got, QByteArray("rec 1\r\n"));
    }

    void vanishedDeviceClosesTheLinkUntilItReturns() {
        comms->setComSpeed(TComSpeed::br19200);
        QVERIFY(comms->Open());
        port->vanish();
        port->openable = false;
        QCOMPARE(comms->ReadReply(), QString());
        QTRY_VERIFY(!comms->deliveryPending());
        QVERIFY(!comms->IsOpen());
        QCOMPARE(comms->state().condition, LinkState::Condition::Lost);
        QVERIFY(comms->waitingForDevice());
        port->events.clear();
        port->openable = true;
        QTRY_VERIFY(comms->IsOpen());
        QCOMPARE(port->eventKinds(), QStringList({"open", "configure", "rs485-off", "purge"}));
        QCOMPARE(port->baud, 19200);
        QVERIFY(!comms->waitingForDevice());
        // Closed by the program, the link stays closed.
        comms->Close();
        port->vanish();
        QTest::qWait(20);
        QVERIFY(!comms->waitingForDevice());
    }
};

QTEST_MAIN(TestKovComms)
#include "test_kovcomms.moc"
