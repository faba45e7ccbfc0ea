#include "FakeDialogs.h"
#include "FakeSerialPort.h"
#include "ModalHelper.h"
#include "ServicesFixture.h"
#include "SetupCommands.h"
#include "Sound.h"
#include "Unit4.h"

#include <QAccessible>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QtTest>

// The network scan: the addresses asked, the time-outs, and the dialog around it.
class TestScanNetwork : public QObject, protected ServicesFixture {
    Q_OBJECT

    std::unique_ptr<TForm4> form;
    QList<quint16> timeoutsSeen;

    template <typename T> T* get(const char* name) { return form->findChild<T*>(QString::fromLatin1(name)); }

    // Instruments answer at the given addresses with the given replies.
    void answerAt(const QMap<QString, QByteArray>& replies) {
        port->responder = [this, replies](const QByteArray& b) {
            timeoutsSeen.append(form0->Comms.OutputTimeout());
            const QString addr = QString::fromLatin1(b.mid(1, 2));
            if (replies.contains(addr) && b.endsWith(" SYS\r\n"))
                port->feed(replies[addr] + "\r\n", 30);
        };
    }
    QStringList writtenLines() const {
        QStringList out;
        for (const auto& e : port->events)
            if (e.kind == QLatin1String("write"))
                out.append(QString::fromLatin1(e.data));
        return out;
    }
    void showForm() {
        form->show();
        QVERIFY(QTest::qWaitForWindowActive(form.get()));
    }
    void scanWith(const QString& typed) {
        auto* e = get<QLineEdit>("Edit1");
        e->setFocus();
        e->selectAll();
        QTest::keyClick(e, Qt::Key_Backspace);
        QTest::keyClicks(e, typed);
        QTest::mouseClick(get<QPushButton>("Button3"), Qt::LeftButton);
    }

private slots:
    void init() {
        resetServices();
        form = std::make_unique<TForm4>(*svc);
        timeoutsSeen.clear();
        port->events.clear();
    }
    void cleanup() { form.reset(); }

    void addresses_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("value");
        QTest::newRow("00") << "00" << 0;
        QTest::newRow("0A") << "0A" << 10;
        QTest::newRow("FF") << "FF" << 255;
        QTest::newRow("A0") << "A0" << 160;
        QTest::newRow("lower") << "0a" << -1;
        QTest::newRow("one") << "1" << -1;
        QTest::newRow("G0") << "G0" << -1;
        QTest::newRow("three") << "100" << -1;
        QTest::newRow("empty") << "" << -1;
        QTest::newRow("blank") << " 1" << -1;
    }
    void addresses() {
        QFETCH(QString, text);
        QFETCH(int, value);
        QCOMPARE(setup::addressValue(text), value);
        QCOMPARE(setup::isHexAddress(text), value >= 0);
        if (value >= 0)
            QCOMPARE(setup::addressText(value), text);
    }

    void scanAsksEveryAddressInOrder() {
        answerAt({{"03", "917 Version 2.03"}, {"0A", "something else"}});
        QList<int> progress;
        const qint64 before = clock.now;
        const QList<ScanHit> hits = scanNetwork(form0->Comms, "#", 15, [&](int n) { progress.append(n); });
        QCOMPARE(hits.size(), 2);
        QCOMPARE(scanResultLine(hits[0]), QString("Instrument Address 03 (917 Version 2.03)"));
        QCOMPARE(scanResultLine(hits[1]), QString("Instrument Address 0A (something else)"));
        QStringList expected;
        for (int n = 0; n < 16; ++n)
            expected.append(setup::presenceQuery("#", setup::addressText(n)));
        QCOMPARE(writtenLines(), expected);
        QCOMPARE(progress.size(), 16);
        QCOMPARE(progress.last(), 15);
        // 14 silent addresses at 250 ms each, two answers after 30 ms each.
        QCOMPARE(clock.now - before, 14 * 250 + 2 * 30);
        QCOMPARE(timeoutsSeen, QList<quint16>(16, 250));
        QCOMPARE(form0->Comms.OutputTimeout(), quint16(4000));
    }

    void closedLinkAnswersAtOnce() {
        form0->Comms.Close();
        port->openable = false;
        const qint64 before = clock.now;
        int asked = 0;
        QVERIFY(scanNetwork(form0->Comms, "#", 255, [&](int) { ++asked; }).isEmpty());
        QCOMPARE(asked, 256);
        QCOMPARE(clock.now, before);
        QCOMPARE(form0->Comms.OutputTimeout(), quint16(4000));
    }

    void badLastAddressIsRefused_data() {
        QTest::addColumn<QString>("typed");
        QTest::newRow("one digit") << "1";
        QTest::newRow("G0") << "G0";
        QTest::newRow("empty") << "";
    }
    void badLastAddressIsRefused() {
        QFETCH(QString, typed);
        showForm();
        auto* memo = get<QPlainTextEdit>("Memo1");
        QCOMPARE(memo->toPlainText(), QString("No instruments found"));
        scanWith(typed);
        QCOMPARE(dialogs.errors, QStringList({"Invalid Channel Address"}));
        QCOMPARE(sound.beeps, 1);
        QVERIFY(port->written.isEmpty());
        QCOMPARE(memo->toPlainText(), QString("No instruments found"));
        QVERIFY(get<QLineEdit>("Edit1")->hasFocus());
    }

    void scanListsTheAnswersInTheDialog() {
        answerAt({{"05", "not a 917"}, {"09", "917 Version 2"}});
        showForm();
        scanWith("0a"); // shown as 0A: eleven addresses
        QCOMPARE(get<QLineEdit>("Edit1")->text(), QString("0A"));
        QCOMPARE(writtenLines().size(), 11);
        QCOMPARE(writtenLines().value(2), QString("#02 SYS\r\n"));
        QCOMPARE(get<QPlainTextEdit>("Memo1")->toPlainText(),
                 QString("Instrument Address 05 (not a 917)\nInstrument Address 09 (917 Version 2)"));
        QCOMPARE(get<QLabel>("Label2")->text(), QString("The following instruments have been found"));
        auto* bar = get<QProgressBar>("ProgressBar1");
        QVERIFY(!bar->isVisible());
        QCOMPARE(bar->maximum(), 10);
        QCOMPARE(bar->value(), 10);
        QCOMPARE(QAccessible::queryAccessibleInterface(bar)->text(QAccessible::Description),
                 QString("address 0A of 0A"));
        QCOMPARE(sound.beeps, 1);
        QVERIFY(dialogs.errors.isEmpty());
        QCOMPARE(form0->Comms.OutputTimeout(), quint16(4000));
    }

    // The device goes with the reply of address 02 in flight: the reply is listed, and the scan stops
    // there instead of calling the rest of a dead line silent.
    void aVanishedDeviceStopsTheScan() {
        port->responder = [this](const QByteArray& b) {
            if (b.startsWith("#02")) {
                port->feed("917 Version 2\r\n");
                port->vanish();
            }
        };
        showForm();
        scanWith("FF");
        QCOMPARE(writtenLines().size(), 3);
        QCOMPARE(get<QPlainTextEdit>("Memo1")->toPlainText(),
                 QString("Instrument Address 02 (917 Version 2)"));
        QCOMPARE(dialogs.errors, QStringList({"Serial Communications Error"}));
        QCOMPARE(sound.tones, 1);
        QCOMPARE(sound.lastHz, 500);
        QCOMPARE(get<QLabel>("Label2")->text(),
                 QString("Scan stopped after address 02 of FF - the following instruments have been found"));
    }

    void silentNetworkLeavesTheListEmpty() {
        showForm();
        scanWith("00");
        QCOMPARE(writtenLines(), QStringList({"#00 SYS\r\n"}));
        // One address: an empty bar, not the busy animation of a range 0 to 0.
        QVERIFY(get<QProgressBar>("ProgressBar1")->maximum() > get<QProgressBar>("ProgressBar1")->minimum());
        QCOMPARE(get<QProgressBar>("ProgressBar1")->value(), 0);
        QCOMPARE(get<QPlainTextEdit>("Memo1")->toPlainText(), QString());
        QCOMPARE(get<QLabel>("Label2")->text(), QString("The following instruments have been found"));
    }

    void lastAddressIsKeptBetweenShowings() {
        QCOMPARE(get<QLineEdit>("Edit1")->text(), QString("00"));
        form0->Settings.HostCommandPrefix = "$";
        showForm();
        scanWith("02");
        QCOMPARE(writtenLines().last(), QString("$02 SYS\r\n"));
        form->hide();
        showForm();
        QCOMPARE(get<QLineEdit>("Edit1")->text(), QString("02"));
        QCOMPARE(get<QPlainTextEdit>("Memo1")->toPlainText(), QString("No instruments found"));
        QCOMPARE(get<QLabel>("Label2")->text(),
                 QString("Click the [Scan Network] button to scan for connected instruments"));
        QCOMPARE(get<QProgressBar>("ProgressBar1")->value(), 0);
    }

    void menuCommandShowsTheDialogModally() {
        bool wasModal = false;
        whenModal([&](QWidget* w) {
            wasModal = w == form.get() && w->windowTitle() == "Scan Network for Connected Instruments";
            QTest::mouseClick(w->findChild<QPushButton*>("OKBtn"), Qt::LeftButton);
        });
        ScanNetworkClick(*form);
        QVERIFY(wasModal);
    }
};

QTEST_MAIN(TestScanNetwork)
#include "test_scannetwork.moc"
