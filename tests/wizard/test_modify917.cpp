#include "ConfigTree.h"
#include "FakeCommandParts.h"
#include "InstrumentChoice.h"
#include "ModalHelper.h"
#include "Modify917.h"
#include "Positional.h"
#include "WizardFixture.h"

// The whole command: instrument choice, wizard, write-back.
class TestModify917 : public QObject {
    Q_OBJECT
    std::unique_ptr<WizardFixture> f;
    std::unique_ptr<ConfigTree> tree;
    FakePicker picker;
    std::unique_ptr<Modify917Command> command;
    QObject menu;

    static QStringList dump(const ConfigNode* node) {
        QStringList out;
        for (const auto& c : node->children) {
            out.append(c->text);
            for (const QString& s : dump(c.get()))
                out.append("  " + s);
        }
        return out;
    }
    ConfigNode* instrument(int i) const { return positional::instruments(*tree)[i]; }

    // Runs the command from the menu; `drive` works the wizard while it is modal.
    void runFromMenu(std::function<void()> drive) {
        bool driven = false;
        whenModal([&](QWidget* w) {
            QCOMPARE(w, static_cast<QWidget*>(f->wizard.get()));
            QVERIFY(QTest::qWaitForWindowActive(w));
            drive();
            driven = true;
        });
        command->Modify917Configuration(&menu);
        QVERIFY(driven);
        QVERIFY(!f->wizard->isVisible());
    }

private slots:
    void init() {
        f = std::make_unique<WizardFixture>();
        tree = std::make_unique<ConfigTree>();
        tree->resetToStartup();
        for (const char* address : {"01", "02", "03"}) {
            ConfigNode* n = tree->appendRoot(positional::instrumentNodeText(address, "917 Version 2.1"));
            tree->appendChild(n, "Channel Configuration");
            ConfigNode* logging = tree->appendChild(n, "Data Logging Parameters");
            for (const char* r : {"SET HYSTERISES,0", "SET LOGSPEC,1,1,OFF,OFF,COMM,ASCII,ON,OFF",
                                  "SET PASS,1,1,0,IMM,,,,BURST,1,,"})
                tree->appendChild(logging, r);
        }
        tree->appendChild(positional::channelGroup(instrument(2)), "SET CHANNEL,002A,ON,OFF,1,0,0,23,10");
        tree->appendChild(positional::channelGroup(instrument(2)), "SET CHANNEL,001B,OFF,OFF,1,0,0,23,");
        picker = FakePicker();
        command = std::make_unique<Modify917Command>(f->svc, *tree, *f->wizard, picker);
    }
    void cleanup() {
        command.reset();
        tree.reset();
        f.reset();
    }

    void wholeRunFromTheMenu() {
        picker.choose = 1;
        runFromMenu([&] {
            QCOMPARE(f->combo("Edit1a")->currentText(), QString("001A"));
            f->tab();
            QTest::keyClicks(f->focus(), "100");
            f->click(f->button("Button1b")); // saves 001A, shows 001B
            f->tab();
            QTest::keyClicks(f->focus(), "2.5");
            f->tab();
            QTest::keyClicks(f->focus(), "1");
            f->click(f->button("Button1e"));
            f->tab();
            f->typeOver("3");
            f->click(f->button("Button2b"));
            f->typeOver("60");
            f->click(f->button("Button3b"));
            f->click(f->button("Button3b"));
            f->get<QWidget>("Edit3h")->setFocus();
            QTest::keyClick(f->focus(), Qt::Key_Up); // DURATION
            f->click(f->button("Button3d"));
        });
        QCOMPARE(picker.caption, QString("Modify 917 Configuration"));
        QCOMPARE(picker.helpContext, 3003);
        QCOMPARE(picker.entries,
                 (QStringList{"01 (917 Version 2.1)", "02 (917 Version 2.1)", "03 (917 Version 2.1)"}));
        QCOMPARE(f->svc.settings().LastModalResult, int(mrOk));
        QCOMPARE(dump(instrument(1)),
                 (QStringList{"Channel Configuration", "  SET CHANNEL,001A,ON,OFF,10,0,0,30,100",
                              "  SET CHANNEL,001B,ON,ON,0.25,0,1,11,2.5", "Data Logging Parameters",
                              "  SET HYSTERESIS,0", "  SET LOGSPEC,3,1,OFF,OFF,COMM,ASCII,ON,OFF",
                              "  SET PASS,1,60,0,IMM,,,,BURST,1,,", "  SET PASS,2,1,0,IMM,,,,BURST,1,,",
                              "  SET PASS,3,1,0,IMM,,,,DURATION,1,,"}));
        QCOMPARE(instrument(0)->children.size(), size_t(2));
    }

    void cancelFromAnyPageRestoresTheNode_data() {
        QTest::addColumn<int>("page");
        QTest::newRow("channel page") << 1;
        QTest::newRow("parameters page") << 2;
        QTest::newRow("stage page") << 3;
        QTest::newRow("escape") << 0;
    }
    void cancelFromAnyPageRestoresTheNode() {
        QFETCH(int, page);
        picker.choose = 2;
        const QStringList before = dump(instrument(2));
        runFromMenu([&] {
            QCOMPARE(f->combo("Edit1a")->currentText(), QString("001B"));
            f->click(f->button("Button1c")); // delete 001B
            f->tab();
            QTest::keyClicks(f->focus(), "5");
            if (page == 1 || page == 0) {
                if (page == 1)
                    f->click(f->button("Button1f"));
                else
                    f->key(Qt::Key_Escape);
                return;
            }
            f->click(f->button("Button1e"));
            f->tab();
            f->typeOver("4");
            f->tab();
            if (page == 2) {
                f->click(f->button("Button2d"));
                return;
            }
            f->click(f->button("Button2b"));
            f->click(f->button("Button3e"));
        });
        QCOMPARE(f->svc.settings().LastModalResult, int(mrCancel));
        QCOMPARE(dump(instrument(2)), before);
        QVERIFY(f->wizard->ChannelRecords.isEmpty());
    }

    void exitKeepsTheEditsInListOrder() {
        picker.choose = 2;
        runFromMenu([&] {
            f->typeOver("002A");
            f->tab();
            f->typeOver("20");
            f->click(f->button("Button1d"));
        });
        QCOMPARE(f->svc.settings().LastModalResult, int(mrAbort));
        // Replaced in place: the tree order 002A, 001B is kept, nothing sorts it.
        QCOMPARE(positional::childTexts(positional::channelGroup(instrument(2))),
                 (QStringList{"SET CHANNEL,002A,ON,OFF,2,0,0,20,20", "SET CHANNEL,001B,OFF,OFF,1,0,0,23,"}));
    }

    void cancelledChoiceOpensNothing() {
        picker.result = mrCancel;
        command->Modify917Configuration(&menu);
        QCOMPARE(f->svc.settings().LastModalResult, int(mrCancel));
        QVERIFY(!f->wizard->isVisible());
        picker.result = mrOk;
        picker.choose = -1;
        command->Modify917Configuration(&menu);
        QCOMPARE(f->svc.settings().LastModalResult, int(mrOk));
        QVERIFY(!f->wizard->isVisible());
    }

    void fromTheAddCommandByKey() {
        const QString key = Modify917Command::addedInstrumentKey("03", "917 Version 2.1");
        QCOMPARE(key, QString("03 (917 Version 2.1)"));
        bool driven = false;
        whenModal([&](QWidget*) {
            driven = true;
            f->click(f->button("Button1d"));
        });
        command->Modify917Configuration(nullptr, key);
        QVERIFY(driven);
        QVERIFY(picker.caption.isEmpty());
        QCOMPARE(f->svc.settings().LastModalResult, int(mrAbort));
        // A key that names no instrument opens nothing and leaves the result as it was.
        command->Modify917Configuration(nullptr, "7F (917 Version 2.1)");
        QCOMPARE(f->svc.settings().LastModalResult, int(mrAbort));
    }
};

QTEST_MAIN(TestModify917)
#include "test_modify917.moc"
