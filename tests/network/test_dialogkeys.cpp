#include "FakeDialogs.h"
#include "FakeSerialPort.h"
#include "ServicesFixture.h"
#include "Sound.h"
#include "Unit3.h"
#include "Unit4.h"

#include <QApplication>
#include <QtTest>

// The add and scan dialogs with the keyboard alone: what Enter, Space and Escape do where the focus is.
class TestDialogKeys : public QObject, protected ServicesFixture {
    Q_OBJECT

private slots:
    void init() { resetServices(); }

    void keys_data() {
        QTest::addColumn<QString>("dialog");
        QTest::addColumn<QString>("focus");
        QTest::addColumn<QList<int>>("keys");
        QTest::addColumn<bool>("asked"); // the presence or identification query went out
        QTest::addColumn<bool>("closed");
        QTest::addColumn<bool>("accepted");

        const int enter = Qt::Key_Return, space = Qt::Key_Space, escape = Qt::Key_Escape;
        QTest::newRow("scan: Enter in the address scans")
            << "scan"
            << "Edit1" << QList{enter} << true << false << false;
        QTest::newRow("scan: Enter twice scans twice, the dialog stays")
            << "scan"
            << "Edit1" << QList{enter, enter} << true << false << false;
        QTest::newRow("scan: Space on Scan Network") << "scan"
                                                     << "Button3" << QList{space} << true << false << false;
        QTest::newRow("scan: Enter on OK closes") << "scan"
                                                  << "OKBtn" << QList{enter} << false << true << true;
        QTest::newRow("scan: Escape closes") << "scan"
                                             << "Edit1" << QList{escape} << false << true << false;
        QTest::newRow("add: Enter in the present address finds")
            << "add"
            << "Edit2a" << QList{enter} << true << false << false;
        QTest::newRow("add: Enter on Find Instrument") << "add"
                                                       << "Button1" << QList{enter} << true << false << false;
        QTest::newRow("add: Space on Find Instrument") << "add"
                                                       << "Button1" << QList{space} << true << false << false;
        QTest::newRow("add: Enter after the find presses OK")
            << "add"
            << "Button1" << QList{enter, enter} << true << true << true;
        QTest::newRow("add: Enter in a field after the find presses OK")
            << "add"
            << "Edit4" << QList{enter, enter} << true << true << true;
        QTest::newRow("add: Escape cancels") << "add"
                                             << "Edit2a" << QList{escape} << false << true << false;
        QTest::newRow("add: Escape after the find cancels")
            << "add"
            << "Edit2a" << QList{enter, escape} << true << true << false;
    }
    void keys() {
        QFETCH(QString, dialog);
        QFETCH(QString, focus);
        QFETCH(QList<int>, keys);
        QFETCH(bool, asked);
        QFETCH(bool, closed);
        QFETCH(bool, accepted);

        // One instrument at 00, at the link's default 9600 baud.
        int queries = 0;
        port->responder = [this, &queries](const QByteArray& b) {
            if (b == "#00 SYS\r\n") {
                ++queries;
                port->feed("917 Version 2.03\r\n", 10);
            }
        };
        std::unique_ptr<QDialog> form;
        if (dialog == "scan")
            form = std::make_unique<TForm4>(*svc);
        else
            form = std::make_unique<TForm3>(*svc);
        form->show();
        QVERIFY(QTest::qWaitForWindowActive(form.get()));
        auto* target = form->findChild<QWidget*>(focus);
        QVERIFY(target);
        target->setFocus(Qt::TabFocusReason);
        QVERIFY(target->hasFocus());

        for (int key : keys) {
            QWidget* at = QApplication::focusWidget();
            QVERIFY(at);
            QTest::keyClick(at, Qt::Key(key));
        }
        QCOMPARE(queries > 0, asked);
        if (dialog == "scan" && asked)
            QCOMPARE(queries, int(keys.count(Qt::Key_Return) + keys.count(Qt::Key_Space)));
        QCOMPARE(!form->isVisible(), closed);
        if (closed)
            QCOMPARE(form->result() == QDialog::Accepted, accepted);
        QVERIFY(dialogs.errors.isEmpty());
    }
};

QTEST_MAIN(TestDialogKeys)
#include "test_dialogkeys.moc"
