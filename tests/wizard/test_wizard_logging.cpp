#include "Records.h"
#include "WizardFixture.h"

#include <QClipboard>
#include <QToolTip>

// The logging parameters and logging stage pages driven with keys, clicks and real focus changes.
class TestWizardLogging : public QObject {
    Q_OBJECT
    std::unique_ptr<WizardFixture> f;

    const QString newSpec = "SET LOGSPEC,1,1,OFF,OFF,COMM,ASCII,ON,OFF";
    static QString pass(int k) { return records::defaultPassRecord(k); }

    // Opens the wizard and goes to the logging parameters page as the user does.
    void openParameters(const QStringList& logging) {
        QVERIFY(f->open({}, logging));
        f->click(f->button("Button1e"));
        QCOMPARE(f->wizard->currentPage(), 2);
        QCOMPARE(f->focus(), f->edit("Edit2a"));
    }
    void openStages(int passes) {
        f->tab(); // to the passes box
        QCOMPARE(f->focus(), f->spin("Edit2b"));
        f->typeOver(QString::number(passes));
        f->click(f->button("Button2b"));
        QCOMPARE(f->wizard->currentPage(), 3);
    }
    // Picks a condition with the arrow keys in the closed list, as the keyboard does.
    void pick(QComboBox* box, const QString& word) {
        box->setFocus();
        const int target = box->findText(word);
        QVERIFY(target >= 0);
        while (box->currentIndex() != target)
            QTest::keyClick(box, box->currentIndex() < target ? Qt::Key_Down : Qt::Key_Up);
    }

private slots:
    void init() { f = std::make_unique<WizardFixture>(); }
    void cleanup() { f.reset(); }

    void newInstrumentShowsTheDefaults() {
        openParameters({"SET HYSTERISES,0", newSpec, pass(1)});
        QCOMPARE(f->edit("Edit2a")->text(), QString("0"));
        QCOMPARE(f->spin("Edit2b")->text(), QString("1"));
        QCOMPARE(f->spin("Edit2c")->text(), QString("1"));
        QVERIFY(!f->check("Edit2d")->isChecked());
        QVERIFY(!f->check("Edit2e")->isChecked());
        QCOMPARE(f->combo("Edit2f")->currentText(), QString("COMM"));
        QCOMPARE(f->combo("Edit2g")->currentText(), QString("ASCII"));
        QVERIFY(!f->combo("Edit2g")->isEnabled());
        QVERIFY(f->check("Edit2h")->isChecked());
        QVERIFY(!f->check("Edit2i")->isChecked());
        QCOMPARE(f->help(), QString("topic 29"));
        // Passing through the box rewrites the hysteresis record in its proper spelling.
        f->tab();
        QCOMPARE(f->wizard->LoggingRecords[0], QString("SET HYSTERESIS,0"));
        QCOMPARE(f->help(), QString("topic 30"));
        // The data logging format list never takes the focus, not even from its label.
        QTest::mouseClick(f->get<QLabel>("Label2g"), Qt::LeftButton);
        QCOMPARE(f->focus(), f->spin("Edit2b"));
    }

    void everyBoxStoresTheLogSpecRecord() {
        openParameters({"SET HYSTERESIS,5", "SET LOGSPEC,2,3,ON,OFF,memory,HEX,OFF,ON", pass(1)});
        QVERIFY(!f->check("Edit2h")->isChecked());
        QCOMPARE(f->combo("Edit2f")->currentText(), QString("MEMORY"));
        f->tab();
        f->tab();
        QCOMPARE(f->focus(), f->spin("Edit2c"));
        f->typeOver("42");
        f->tab();
        QCOMPARE(f->wizard->LoggingRecords[1], QString("SET LOGSPEC,2,42,ON,OFF,MEMORY,HEX,OFF,ON"));
        QCOMPARE(f->focus(), f->check("Edit2d"));
        f->key(Qt::Key_Space);
        f->tab();
        QCOMPARE(f->wizard->LoggingRecords[1], QString("SET LOGSPEC,2,42,OFF,OFF,MEMORY,HEX,OFF,ON"));
    }

    void hysteresisIsCheckedWithoutBeep() {
        openParameters({"SET HYSTERESIS,5", newSpec, pass(1)});
        f->typeOver("");
        f->tab();
        QCOMPARE(f->dialogs.errors, QStringList{"Error detected in the limit hysterises"});
        QCOMPARE(f->sound.beeps, 0);
        QCOMPARE(f->focus(), f->edit("Edit2a"));
        QCOMPARE(f->wizard->LoggingRecords[0], QString("SET HYSTERESIS,5"));
        // Typing is upper-cased; a click on a page button also leaves the box.
        QTest::keyClicks(f->focus(), "2e1");
        f->click(f->button("Button2b"));
        QCOMPARE(f->wizard->LoggingRecords[0], QString("SET HYSTERESIS,2E1"));
        QCOMPARE(f->wizard->currentPage(), 3);
    }

    void emptyPassesBoxIsRefilled() {
        openParameters({"SET HYSTERISES,0", "SET LOGSPEC,4,1,OFF,OFF,COMM,ASCII,ON,OFF", pass(1)});
        f->tab();
        f->typeOver("");
        f->tab();
        QCOMPARE(f->dialogs.errors, QStringList{"Error detected in the number of passes"});
        QCOMPARE(f->sound.beeps, 0);
        QCOMPARE(f->focus(), f->spin("Edit2b"));
        QCOMPARE(f->spin("Edit2b")->text(), QString("1"));
        QCOMPARE(f->wizard->LoggingRecords[1], QString("SET LOGSPEC,4,1,OFF,OFF,COMM,ASCII,ON,OFF"));
        f->tab();
        QCOMPARE(f->dialogs.errors.size(), 1);
        QCOMPARE(f->wizard->LoggingRecords[1], QString("SET LOGSPEC,1,1,OFF,OFF,COMM,ASCII,ON,OFF"));
    }

    void cutShortLogSpecShowsEmptyIterations() {
        openParameters({"SET HYSTERISES,0", "SET LOGSPEC,2", pass(1)});
        QCOMPARE(f->spin("Edit2b")->text(), QString("2"));
        QCOMPARE(f->spin("Edit2c")->text(), QString());
        QVERIFY(!f->check("Edit2h")->isChecked());
        QCOMPARE(f->combo("Edit2f")->currentText(), QString("COMM"));
    }

    void recordFieldsAreKeptAsTyped_data() {
        QTest::addColumn<QString>("passes");
        QTest::addColumn<QString>("iterations");
        QTest::addColumn<QString>("storedPasses");
        QTest::addColumn<QString>("storedIterations");
        QTest::addColumn<int>("stages");
        QTest::newRow("longer than the boxes") << "08"
                                               << "100"
                                               << "08"
                                               << "99" << 8;
        QTest::newRow("in range, not as the box writes it") << "2.0"
                                                            << "05"
                                                            << "2.0"
                                                            << "05" << 2;
        QTest::newRow("beyond the range") << "12"
                                          << "-1"
                                          << "8"
                                          << "0" << 8;
    }
    void recordFieldsAreKeptAsTyped() {
        // A hand-edited record, tabbed through: cutting "08" to "0" or "100" to "10" would store
        // another value, and numbers in range are stored as typed.
        QFETCH(QString, passes);
        QFETCH(QString, iterations);
        QFETCH(QString, storedPasses);
        QFETCH(QString, storedIterations);
        QFETCH(int, stages);
        openParameters({"SET HYSTERISES,0",
                        "SET LOGSPEC," + passes + "," + iterations + ",OFF,OFF,COMM,ASCII,ON,OFF", pass(1)});
        QCOMPARE(f->spin("Edit2b")->text(), passes);
        QCOMPARE(f->spin("Edit2c")->text(), iterations);
        for (int i = 0; i < 4; ++i)
            f->tab();
        QCOMPARE(f->focus(), f->check("Edit2e"));
        QCOMPARE(f->wizard->LoggingRecords[1],
                 "SET LOGSPEC," + storedPasses + "," + storedIterations + ",OFF,OFF,COMM,ASCII,ON,OFF");
        QCOMPARE(f->spin("Edit2b")->text(), storedPasses);
        QCOMPARE(f->spin("Edit2c")->text(), storedIterations);
        QVERIFY(f->dialogs.errors.isEmpty());
        f->click(f->button("Button2b"));
        QCOMPARE(f->wizard->LoggingRecords.size(), stages + 2);
    }

    void passesSetTheNumberOfStageRecords() {
        openParameters({"SET HYSTERISES,0", newSpec, pass(1)});
        openStages(3);
        QCOMPARE(f->wizard->LoggingRecords.mid(2), (QStringList{pass(1), pass(2), pass(3)}));
        QCOMPARE(f->focus(), f->edit("Edit3b"));
        QCOMPARE(f->help(), QString("topic 41"));
        // Back to the parameters page, then one pass leaves only stage 1.
        f->click(f->button("Button3a"));
        QCOMPARE(f->wizard->currentPage(), 2);
        QCOMPARE(f->focus(), f->edit("Edit2a"));
        openStages(1);
        QCOMPARE(f->wizard->LoggingRecords.mid(2), QStringList{pass(1)});
        QCOMPARE(f->wizard->LoggingRecords[1], QString("SET LOGSPEC,1,1,OFF,OFF,COMM,ASCII,ON,OFF"));
    }

    void defaultStageAndConditions() {
        openParameters({"SET HYSTERISES,0", newSpec, pass(1)});
        openStages(1);
        for (const char* name : {"Edit3e", "Edit3f", "Edit3g", "Edit3j", "Edit3k"})
            QVERIFY2(!f->edit(name)->isEnabled() && f->edit(name)->text().isEmpty(), name);
        QVERIFY(f->edit("Edit3i")->isEnabled());
        QCOMPARE(f->edit("Edit3i")->text(), QString("1"));

        // LEVEL enables three empty start parameters; DELAY keeps only the first, as typed.
        pick(f->combo("Edit3d"), "LEVEL");
        QVERIFY(f->edit("Edit3g")->isEnabled());
        f->edit("Edit3e")->setFocus();
        QCOMPARE(f->help(), QString("topic 45"));
        QTest::keyClicks(f->focus(), "1");
        f->tab();
        QTest::keyClicks(f->focus(), "2");
        pick(f->combo("Edit3d"), "DELAY");
        QCOMPARE(f->edit("Edit3e")->text(), QString("1"));
        QVERIFY(!f->edit("Edit3f")->isEnabled());
        QCOMPARE(f->edit("Edit3f")->text(), QString());
        f->edit("Edit3e")->setFocus();
        QCOMPARE(f->help(), QString("topic 44"));

        // BUTTON empties stop parameter 1; BURST enables it again, empty.
        pick(f->combo("Edit3h"), "BUTTON");
        QVERIFY(!f->edit("Edit3i")->isEnabled());
        pick(f->combo("Edit3h"), "BURST");
        QVERIFY(f->edit("Edit3i")->isEnabled());
        QCOMPARE(f->edit("Edit3i")->text(), QString());

        // A comma would shift the later fields: it is refused as it is typed.
        f->edit("Edit3b")->setFocus();
        f->typeOver("0,5");
        QCOMPARE(f->edit("Edit3b")->text(), QString("05"));
        // So is what the file cannot hold, or would read back as another line, with a note saying why.
        f->typeOver("1");
        QKeyEvent euro(QEvent::KeyPress, Qt::Key_unknown, Qt::NoModifier, QStringLiteral("\u20ac"));
        QApplication::sendEvent(f->edit("Edit3b"), &euro);
        QCOMPARE(f->edit("Edit3b")->text(), QString("1"));
        QVERIFY2(QToolTip::text().contains("cannot be stored"), qPrintable(QToolTip::text()));
        QGuiApplication::clipboard()->setText("\t2");
        QTest::keyClick(f->edit("Edit3b"), Qt::Key_V, Qt::ControlModifier);
        QCOMPARE(f->edit("Edit3b")->text(), QString("1"));
        QVERIFY2(QToolTip::text().contains("0x09"), qPrintable(QToolTip::text()));
        f->typeOver("abc");

        // One stage: no forward button, the OK button with its caption, Enter finishes.
        QCOMPARE(f->button("Button3a")->text(), QString("Edit Data Logging Parameters"));
        QVERIFY(!f->button("Button3b")->isVisible());
        QVERIFY(f->button("Button3d")->isVisible());
        QCOMPARE(f->button("Button3d")->text(), QString("Configure the next instrument"));
        f->key(Qt::Key_Return);
        QVERIFY(!f->wizard->isVisible());
        QCOMPARE(f->wizard->result(), int(mrOk));
        QCOMPARE(f->wizard->LoggingRecords[2], QString("SET PASS,1,abc,0,DELAY,1,,,BURST,,,"));
    }

    void steppingThroughThreeStages() {
        openParameters({"SET HYSTERISES,0", newSpec, pass(1)});
        f->wizard->setButton3dCaption("Update and step to next instrument");
        openStages(3);
        QCOMPARE(f->button("Button3b")->text(), QString("Edit Data Logging Stage (Pass) 2"));
        f->typeOver("10");
        f->click(f->button("Button3b"));
        QCOMPARE(f->spin("Edit3a")->value(), 2);
        QCOMPARE(f->button("Button3a")->text(), QString("Edit Data Logging Stage (Pass) 1"));
        QCOMPARE(f->button("Button3b")->text(), QString("Edit Data Logging Stage (Pass) 3"));
        QVERIFY(!f->button("Button3d")->isVisible());
        QCOMPARE(f->focus(), f->edit("Edit3b"));
        f->typeOver("20");
        f->click(f->button("Button3b"));
        QVERIFY(!f->button("Button3b")->isVisible());
        QVERIFY(f->button("Button3d")->isVisible());
        QCOMPARE(f->button("Button3d")->text(), QString("Update and step to next instrument"));
        f->button("Button3a")->setFocus();
        QCOMPARE(f->help(), QString("topic 57"));
        f->click(f->button("Button3a"));
        QCOMPARE(f->edit("Edit3b")->text(), QString("20"));
        f->click(f->button("Button3a"));
        QCOMPARE(f->edit("Edit3b")->text(), QString("10"));
        QCOMPARE(
            f->wizard->LoggingRecords.mid(2),
            (QStringList{"SET PASS,1,10,0,IMM,,,,BURST,1,,", "SET PASS,2,20,0,IMM,,,,BURST,1,,", pass(3)}));
        f->edit("Edit3b")->setFocus();
        f->button("Button3a")->setFocus();
        QCOMPARE(f->help(), QString("topic 56"));
        // Back from stage 1 stores it and returns to the parameters page.
        f->click(f->button("Button3a"));
        QCOMPARE(f->wizard->currentPage(), 2);
        QVERIFY(f->wizard->ChannelRecords.isEmpty());
    }

    void stagesFollowTheirPosition() {
        // A hand-edited file: the stage records claim pass numbers 5 and 1.
        openParameters({"SET HYSTERISES,0", "SET LOGSPEC,2,1,OFF,OFF,COMM,ASCII,ON,OFF",
                        "SET PASS,5,1,0,IMM,,,,BURST,1,,", "SET PASS,1,7,0,IMM,,,,BURST,1,,"});
        openStages(2);
        QCOMPARE(f->spin("Edit3a")->value(), 1);
        QVERIFY(f->button("Button3b")->isVisible());
        f->click(f->button("Button3b"));
        QCOMPARE(f->spin("Edit3a")->value(), 2);
        QCOMPARE(f->edit("Edit3b")->text(), QString("7"));
        f->click(f->button("Button3c"));
        QCOMPARE(f->wizard->result(), int(mrAbort));
        QCOMPARE(f->wizard->LoggingRecords.mid(2),
                 (QStringList{"SET PASS,1,1,0,IMM,,,,BURST,1,,", "SET PASS,2,7,0,IMM,,,,BURST,1,,"}));
    }

    void editChannelConfigurationReopensTheChannelPage() {
        QVERIFY(f->open({"SET CHANNEL,002A,ON,OFF,1,0,0,23,10"}, {"SET HYSTERISES,0", newSpec, pass(1)}));
        f->click(f->button("Button1e"));
        f->click(f->button("Button2a"));
        QCOMPARE(f->wizard->currentPage(), 1);
        QCOMPARE(f->focus(), f->combo("Edit1a"));
        QCOMPARE(f->combo("Edit1a")->currentText(), QString("002A"));
        QCOMPARE(f->edit("Edit1b")->text(), QString("10"));
        QVERIFY(!f->wizard->ChannelEdited);
    }
};

QTEST_MAIN(TestWizardLogging)
#include "test_wizard_logging.moc"
