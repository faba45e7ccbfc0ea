#include "AddInstrument.h"
#include "ConfigTree.h"
#include "FakeCommandParts.h"
#include "FakeDialogs.h"
#include "FakeSerialPort.h"
#include "ModalHelper.h"
#include "Positional.h"
#include "ServicesFixture.h"
#include "Sound.h"
#include "Unit3.h"

#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QtTest>

// The add dialog on screen: its resets, the OK button's rules and the help box.
class TestAddForm : public QObject, protected ServicesFixture {
    Q_OBJECT

    std::unique_ptr<TForm3> form;

    template <typename T> T* get(const char* name) { return form->findChild<T*>(QString::fromLatin1(name)); }
    QLineEdit* edit(const char* name) { return get<QLineEdit>(name); }
    QPushButton* button(const char* name) { return get<QPushButton>(name); }

    void replyToIdentification(const QByteArray& reply) {
        port->responder = [this, reply](const QByteArray& b) {
            if (b == "#00 SYS\r\n" && port->baud == 9600)
                port->feed(reply + "\r\n", 10);
        };
    }
    void showForm() {
        form->show();
        QVERIFY(QTest::qWaitForWindowActive(form.get()));
    }
    void retype(QLineEdit* e, const QString& text) {
        e->setFocus();
        e->selectAll();
        QTest::keyClicks(e, text);
    }

private slots:
    void init() {
        resetServices();
        form = std::make_unique<TForm3>(*svc);
    }
    void cleanup() { form.reset(); }

    void everyShowingStartsAfresh() {
        form0->Settings.HostComPort = 1;
        form0->Settings.InstrumentIdentification = "917 Version 1";
        edit("Edit2a")->setText("7F");
        edit("Edit4")->setText("33");
        showForm();
        QCOMPARE(form->windowTitle(), QString("Add a new instrument"));
        QCOMPARE(edit("Edit2a")->text(), QString("00"));
        QCOMPARE(edit("Edit2b")->text(), QString("0"));
        QCOMPARE(edit("Edit2c")->text(), QString("4"));
        QCOMPARE(edit("Edit4")->text(), QString("01"));
        QVERIFY(!button("OKBtn")->isEnabled());
        QVERIFY(form0->Settings.InstrumentIdentification.isEmpty());
        QCOMPARE(get<QLabel>("Instruction2")->text(),
                 QString("At the computer end, the 9 pin D type connector should be fitted to COM2"));
        form->hide();
        form0->Settings.HostComPort = 0;
        showForm();
        QVERIFY(get<QLabel>("Instruction2")->text().endsWith(" COM1"));
    }

    void fieldsCapitaliseAndKeepTheirLengths() {
        showForm();
        retype(edit("Edit2a"), "0a9");
        QCOMPARE(edit("Edit2a")->text(), QString("0A"));
        retype(edit("Edit2b"), "12");
        QCOMPARE(edit("Edit2b")->text(), QString("1"));
        retype(edit("Edit4"), "fe");
        QCOMPARE(edit("Edit4")->text(), QString("FE"));
    }

    void okFollowsTheFind() {
        replyToIdentification("917 Version 2.03");
        showForm();
        retype(edit("Edit2a"), "0a"); // capitalised before the find checks it
        QTest::mouseClick(button("Button1"), Qt::LeftButton);
        QCOMPARE(dialogs.errors,
                 QStringList({"No response received from the instrument, please check settings "
                              "and try again"}));
        QVERIFY(!button("OKBtn")->isEnabled());

        retype(edit("Edit2a"), "00");
        QTest::mouseClick(button("Button1"), Qt::LeftButton);
        QCOMPARE(dialogs.infos, QStringList({"Instrument '#00 917 Version 2.03' has been located"}));
        QVERIFY(button("OKBtn")->isEnabled());
        retype(edit("Edit4"), "05"); // the new address may change ...
        QVERIFY(button("OKBtn")->isEnabled());
        retype(edit("Edit2c"), "3"); // ... the present settings may not
        QVERIFY(!button("OKBtn")->isEnabled());
        QVERIFY(!form0->Settings.InstrumentIdentification.isEmpty());

        QTest::mouseClick(button("Button1"), Qt::LeftButton); // wrong speed now: no reply
        QVERIFY(form0->Settings.InstrumentIdentification.isEmpty());
        QVERIFY(!button("OKBtn")->isEnabled());
    }

    void okChecksTheNewAddressAgain() {
        replyToIdentification("917 Version 2.03");
        showForm();
        QTest::mouseClick(button("Button1"), Qt::LeftButton);
        QVERIFY(button("OKBtn")->isEnabled());
        const int beeps = sound.beeps;
        for (const char* bad : {"0", "00", "G1"}) {
            retype(edit("Edit4"), bad);
            QTest::mouseClick(button("OKBtn"), Qt::LeftButton);
            QVERIFY(form->isVisible());
            QCOMPARE(dialogs.errors.last(), QString("Error detected in the new instrument address"));
            QVERIFY(edit("Edit4")->hasFocus());
        }
        QCOMPARE(sound.beeps, beeps + 3);
        QVERIFY(port->written.count("SET") == 0);
        retype(edit("Edit4"), "1b");
        QTest::mouseClick(button("OKBtn"), Qt::LeftButton);
        QVERIFY(!form->isVisible());
        QCOMPARE(form->result(), int(QDialog::Accepted));
        QCOMPARE(form->fields().newAddress, QString("1B"));
    }

    void helpTopicsAndLabels() {
        for (int topic : {10, 13, 14, 15, 16})
            form0->HelpGrid.setCell(0, topic, QString("Topic %1").arg(topic));
        showForm();
        auto* memo = get<QPlainTextEdit>("Memo1");
        const QList<QPair<const char*, int>> cases = {{"Edit2a", 10}, {"Edit2b", 10},  {"Edit2c", 10},
                                                      {"Edit4", 13},  {"Button1", 14}, {"CancelBtn", 16}};
        for (const auto& [name, topic] : cases) {
            get<QWidget>(name)->setFocus(Qt::TabFocusReason);
            QCOMPARE(memo->toPlainText().section('\n', 0, 0), QString("Topic %1").arg(topic));
        }
        button("OKBtn")->setEnabled(true);
        button("OKBtn")->setFocus(Qt::TabFocusReason);
        QCOMPARE(memo->toPlainText().section('\n', 0, 0), QString("Topic 15"));

        QTest::mouseClick(get<QLabel>("Label2"), Qt::LeftButton);
        QVERIFY(edit("Edit4")->hasFocus());
        QTest::mouseClick(get<QLabel>("Label1"), Qt::LeftButton);
        QVERIFY(edit("Edit2a")->hasFocus());
    }

    // The add command with the real dialog: cancel, then a find and OK that add the instrument.
    void addCommandThroughTheDialog() {
        ConfigTree tree;
        tree.resetToStartup();
        NoStatus status;
        InstrumentCommands cmd(*svc, tree, status, *form);
        whenModal(
            [](QWidget* w) { QTest::mouseClick(w->findChild<QPushButton*>("CancelBtn"), Qt::LeftButton); });
        cmd.EditAddItemClick();
        QCOMPARE(form0->Settings.LastModalResult, int(mrCancel));
        QCOMPARE(tree.rootCount(), 1);

        replyToIdentification("917 Version 2.03");
        whenModal([](QWidget* w) {
            auto* e4 = w->findChild<QLineEdit*>("Edit4");
            e4->setText("0C");
            QTest::mouseClick(w->findChild<QPushButton*>("Button1"), Qt::LeftButton);
            QTest::mouseClick(w->findChild<QPushButton*>("OKBtn"), Qt::LeftButton);
        });
        cmd.EditAddItemClick();
        QCOMPARE(form0->Settings.LastModalResult, int(mrOk));
        QCOMPARE(positional::listEntries(tree), QStringList({"0C (917 Version 2.03)"}));
        QVERIFY(port->written.endsWith("#0C SAVE\r\n"));
    }
};

QTEST_MAIN(TestAddForm)
#include "test_addform.moc"
