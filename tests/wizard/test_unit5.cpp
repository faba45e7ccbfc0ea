#include "ConfigTree.h"
#include "InstrumentChoice.h"
#include "ModalHelper.h"
#include "Positional.h"
#include "Unit5.h"

#include <QComboBox>
#include <QLabel>
#include <QPushButton>
#include <QtTest>

// The instrument-choice dialog behind delete, print, modify and program.
class TestUnit5 : public QObject {
    Q_OBJECT
    TForm5 form5;
    ConfigTree tree;

    void addInstrument(const QString& address, const QString& id) {
        ConfigNode* n = tree.appendRoot(positional::instrumentNodeText(address, id));
        tree.appendChild(n, "Channel Configuration");
        tree.appendChild(n, "Data Logging Parameters");
    }

private slots:
    void init() { tree.resetToStartup(); }

    void listsTheInstrumentsInTreeOrderWithTheFirstSelected() {
        addInstrument("03", "917 Version 2.0");
        addInstrument("01", "917 Version 1.0");
        addInstrument("02", "917 Version 1.5");
        QStringList seen;
        QString caption, selectedShown;
        int help = 0;
        whenModal([&](QWidget* w) {
            auto* d = qobject_cast<TForm5*>(w);
            QVERIFY(d);
            caption = d->windowTitle();
            help = d->property("helpContext").toInt();
            for (int i = 0; i < d->Edit1()->count(); ++i)
                seen.append(d->Edit1()->itemText(i));
            selectedShown = d->Edit1()->currentText();
            d->Edit1()->setCurrentIndex(2);
            QTest::mouseClick(d->BitBtn1(), Qt::LeftButton);
        });
        const InstrumentChoiceResult r = chooseInstrument(form5, tree, "Program Instrument", 4003);
        QCOMPARE(caption, QString("Program Instrument"));
        QCOMPARE(help, 4003);
        QCOMPARE(seen, QStringList({"03 (917 Version 2.0)", "01 (917 Version 1.0)", "02 (917 Version 1.5)"}));
        QCOMPARE(selectedShown, seen.first());
        QCOMPARE(r.modalResult, int(mrOk));
        QCOMPARE(r.entry, QString("02 (917 Version 1.5)"));
        QCOMPARE(r.node, tree.rootAt(3));
    }

    void enterTakesTheFirstEntry() {
        addInstrument("0A", "917 Version 1");
        whenModal([](QWidget* w) { QTest::keyClick(w, Qt::Key_Return); });
        const InstrumentChoiceResult r =
            chooseInstrument(form5, tree, "Delete Instrument Configuration", 3002);
        QCOMPARE(r.modalResult, int(mrOk));
        QCOMPARE(r.node, tree.rootAt(1));
    }

    void cancelChoosesNothing() {
        addInstrument("01", "917 Version 1");
        whenModal([](QWidget* w) { QTest::mouseClick(qobject_cast<TForm5*>(w)->BitBtn2(), Qt::LeftButton); });
        const InstrumentChoiceResult r = chooseInstrument(form5, tree, "Modify 917 Configuration", 3003);
        QCOMPARE(r.modalResult, int(mrCancel));
        QCOMPARE(r.node, nullptr);
    }

    void noInstrumentsOkChoosesNothing() {
        int count = -1, current = 0;
        whenModal([&](QWidget* w) {
            auto* d = qobject_cast<TForm5*>(w);
            count = d->Edit1()->count();
            current = d->Edit1()->currentIndex();
            QTest::mouseClick(d->BitBtn1(), Qt::LeftButton);
        });
        const InstrumentChoiceResult r =
            chooseInstrument(form5, tree, "Print Instrument Configuration", 2006);
        QCOMPARE(count, 0);
        QCOMPARE(current, -1);
        QCOMPARE(r.modalResult, int(mrOk));
        QVERIFY(r.entry.isEmpty());
        QCOMPARE(r.node, nullptr);
    }

    void reuseStartsAfresh() {
        addInstrument("01", "917 Version 1");
        addInstrument("02", "917 Version 1");
        whenModal([](QWidget* w) {
            auto* d = qobject_cast<TForm5*>(w);
            d->Edit1()->setCurrentIndex(1);
            d->accept();
        });
        QCOMPARE(chooseInstrument(form5, tree, "Program Instrument", 4003).node, tree.rootAt(2));
        tree.removeNode(tree.rootAt(2));
        QStringList seen;
        QString selected;
        whenModal([&](QWidget* w) {
            auto* d = qobject_cast<TForm5*>(w);
            for (int i = 0; i < d->Edit1()->count(); ++i)
                seen.append(d->Edit1()->itemText(i));
            selected = d->Edit1()->currentText();
            d->reject();
        });
        chooseInstrument(form5, tree, "Program Instrument", 4003);
        QCOMPARE(seen, QStringList({"01 (917 Version 1)"}));
        QCOMPARE(selected, seen.first());
    }

    void labelClickFocusesTheList() {
        form5.show();
        QVERIFY(QTest::qWaitForWindowActive(&form5));
        form5.BitBtn2()->setFocus();
        QTest::mouseClick(form5.findChild<QLabel*>("Label1"), Qt::LeftButton);
        QCOMPARE(QApplication::focusWidget(), form5.Edit1());
        form5.hide();
    }
};

QTEST_MAIN(TestUnit5)
#include "test_unit5.moc"
