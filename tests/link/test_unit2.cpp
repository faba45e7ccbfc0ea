#include "Unit2.h"

#include <QComboBox>
#include <QPushButton>
#include <QtTest>

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
};

QTEST_MAIN(TestUnit2)
#include "test_unit2.moc"
