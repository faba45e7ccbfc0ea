#include "AddInstrument.h"
#include "ConfigTree.h"
#include "FakeDialogs.h"
#include "FakeMainFormDeps.h"
#include "FakeSerialPort.h"
#include "Main.h"
#include "ModalHelper.h"
#include "Positional.h"
#include "Sound.h"

#include <QAction>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QTemporaryDir>
#include <QtTest>

// The Edit menu's add and delete and the Comms menu's scan, run from the main window.
class TestInstrumentMenus : public QObject {
    Q_OBJECT

    FakeClock clock;
    FakeDialogs dialogs;
    platform::SilentSound sound;
    QTemporaryDir dir;

private slots:
    void addScanAndDeleteFromTheMenus() {
        FakeSerialPort* port = nullptr;
        MainFormDeps deps = fakeMainFormDeps(clock, dialogs, sound, dir.path(), &port);
        TMainForm w(std::move(deps));
        w.Timer1.stop(); // no welcome dialog in the middle of the test
        w.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w));

        QString statusDuringSetUp;
        int progressDuringSetUp = -1;
        port->responder = [&](const QByteArray& b) {
            if (b == "#00 SYS\r\n")
                port->feed("917 Version 2.03\r\n", 10);
            if (b.contains("SET COMMS")) {
                statusDuringSetUp = w.statusText();
                progressDuringSetUp = w.ProgressBar()->isVisible() ? w.ProgressBar()->value() : -1;
            }
        };

        whenModal([](QWidget* d) {
            d->findChild<QLineEdit*>("Edit4")->setText("07");
            QTest::mouseClick(d->findChild<QPushButton*>("Button1"), Qt::LeftButton);
            // The add sequence ends in the wizard for the new instrument; leave it with Cancel.
            whenModalNamed("TForm6", [](QWidget* wizard) {
                QTest::mouseClick(wizard->findChild<QPushButton*>("Button1f"), Qt::LeftButton);
            });
            QTest::mouseClick(d->findChild<QPushButton*>("OKBtn"), Qt::LeftButton);
        });
        w.action("EditAddItem")->trigger();
        QCOMPARE(positional::listEntries(w.tree()), QStringList({"07 (917 Version 2.03)"}));
        QCOMPARE(statusDuringSetUp, QString("Please wait - adding the instrument to the network"));
        QCOMPARE(progressDuringSetUp, 8);
        QCOMPARE(w.statusText(), QString());
        QVERIFY(!w.ProgressBar()->isVisible());
        QCOMPARE(w.form0().Settings.LastModalResult, int(mrCancel)); // the wizard's result
        QCOMPARE(w.instrumentCommands().newInstrumentAddress(), QString("07"));
        QVERIFY(port->written.endsWith("#07 SAVE\r\n"));

        QString scanned;
        whenModal([&](QWidget* d) {
            d->findChild<QLineEdit*>("Edit1")->setText("02");
            QTest::mouseClick(d->findChild<QPushButton*>("Button3"), Qt::LeftButton);
            scanned = d->findChild<QPlainTextEdit*>("Memo1")->toPlainText();
            QTest::mouseClick(d->findChild<QPushButton*>("OKBtn"), Qt::LeftButton);
        });
        w.action("ScanNetworkItem")->trigger();
        QCOMPARE(scanned, QString("Instrument Address 00 (917 Version 2.03)"));
        QCOMPARE(w.form0().Comms.OutputTimeout(), quint16(4000));

        QString caption;
        whenModal([&](QWidget* d) {
            caption = d->windowTitle();
            QTest::mouseClick(d->findChild<QPushButton*>("BitBtn1"), Qt::LeftButton);
        });
        w.action("EditDeleteItem")->trigger();
        QCOMPARE(caption, QString("Delete Instrument Configuration"));
        QCOMPARE(w.tree().rootCount(), 1);
        QVERIFY(dialogs.errors.isEmpty());
    }
};

QTEST_MAIN(TestInstrumentMenus)
#include "test_instrumentmenus.moc"
