#include "ConfigTree.h"
#include "FakeDialogs.h"
#include "FakeMainFormDeps.h"
#include "FakeSerialPort.h"
#include "Main.h"
#include "ModalHelper.h"
#include "Positional.h"
#include "Sound.h"
#include "Unit6.h"

#include <QAction>
#include <QPushButton>
#include <QTemporaryDir>
#include <QtTest>

// The Edit menu item reaches the wizard through the real instrument-choice dialog.
class TestModify917Main : public QObject {
    Q_OBJECT
    FakeClock clock;
    FakeDialogs dialogs;
    platform::SilentSound sound;
    QTemporaryDir dir;

private slots:
    void menuItemOpensTheWizardForTheChosenInstrument() {
        MainFormDeps deps = fakeMainFormDeps(clock, dialogs, sound, dir.path());
        TMainForm w(std::move(deps));
        ConfigTree& tree = w.tree();
        ConfigNode* inst = tree.appendRoot(positional::instrumentNodeText("05", "917 Version 2.1"));
        tree.appendChild(inst, "Channel Configuration");
        ConfigNode* logging = tree.appendChild(inst, "Data Logging Parameters");
        tree.appendChild(logging, "SET HYSTERISES,0");

        bool chosen = false, exited = false;
        whenModal([&](QWidget* choice) {
            QCOMPARE(choice->windowTitle(), QString("Modify 917 Configuration"));
            chosen = true;
            whenModal([&](QWidget* wizard) {
                QCOMPARE(wizard, static_cast<QWidget*>(&w.form6()));
                exited = true;
                wizard->findChild<QPushButton*>("Button1d")->click();
            });
            choice->findChild<QPushButton*>("BitBtn1")->click();
        });
        w.action("Modify917")->trigger();
        QVERIFY(chosen);
        QVERIFY(exited);
        QCOMPARE(w.form0().Settings.LastModalResult, int(mrAbort));
        // Written back, the hand-edited logging group completed.
        QCOMPARE(positional::childTexts(positional::loggingGroup(inst)),
                 (QStringList{"SET HYSTERISES,0", "SET LOGSPEC,1,1,OFF,OFF,COMM,ASCII,ON,OFF",
                              "SET PASS,1,1,0,IMM,,,,BURST,1,,"}));
    }
};

QTEST_MAIN(TestModify917Main)
#include "test_modify917_main.moc"
