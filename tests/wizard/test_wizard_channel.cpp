#include "Records.h"
#include "WizardFixture.h"

// The channel page driven with keys, clicks and real focus changes.
class TestWizardChannel : public QObject {
    Q_OBJECT
    std::unique_ptr<WizardFixture> f;

    const QStringList newLogging{"SET HYSTERISES,0", "SET LOGSPEC,1,1,OFF,OFF,COMM,ASCII,ON,OFF",
                                 "SET PASS,1,1,0,IMM,,,,BURST,1,,"};

    static QString channel(const QString& address, const QString& rest = "OFF,OFF,1,0,0,23,") {
        return "SET CHANNEL," + address + "," + rest;
    }
    QStringList items() const {
        QStringList l;
        for (int i = 0; i < f->combo("Edit1a")->count(); ++i)
            l.append(f->combo("Edit1a")->itemText(i));
        return l;
    }
    void openWith(const QStringList& channels) { QVERIFY(f->open(channels, newLogging)); }
    // Brings the focus into the full scale box by Tab from the channel number box.
    void intoFullScale() {
        QCOMPARE(f->focus(), f->combo("Edit1a"));
        f->tab();
        QCOMPARE(f->focus(), f->edit("Edit1b"));
    }

private slots:
    void init() { f = std::make_unique<WizardFixture>(); }
    void cleanup() { f.reset(); }

    void opensOnFirstChannelOfTheSortedList() {
        openWith({channel("002A"), channel("001B", "ON,OFF,2,0,0,23,20")});
        QCOMPARE(f->combo("Edit1a")->currentText(), QString("001B"));
        QCOMPARE(items(), (QStringList{"001B", "002A"}));
        QCOMPARE(f->wizard->CurrentChannelIndex, 1);
        QCOMPARE(f->edit("Edit1b")->text(), QString("20"));
        QCOMPARE(f->focus(), f->combo("Edit1a"));
        QCOMPARE(f->help(), QString("topic 17"));
        QVERIFY(!f->edit("Edit1f")->isEnabled());
        QVERIFY(!f->wizard->ChannelEdited);
    }

    void opensWithoutRecordsOnDefaults() {
        openWith({});
        QCOMPARE(f->combo("Edit1a")->currentText(), QString("001A"));
        QCOMPARE(f->wizard->CurrentChannelIndex, -1);
        QCOMPARE(f->edit("Edit1f")->text(), QString("1"));
        QCOMPARE(f->edit("Edit1h")->text(), QString("23"));
        QVERIFY(!f->check("Edit1d")->isChecked());
    }

    void fullScaleDerivesInNormalMode() {
        openWith({});
        intoFullScale();
        QCOMPARE(f->help(), QString("topic 18"));
        QTest::keyClicks(f->focus(), "100");
        f->tab();
        QCOMPARE(f->focus(), f->edit("Edit1c"));
        QVERIFY(f->check("Edit1d")->isChecked());
        QCOMPARE(f->edit("Edit1f")->text(), QString("10"));
        QCOMPARE(f->edit("Edit1g")->text(), QString("0"));
        QCOMPARE(f->edit("Edit1h")->text(), QString("30"));

        // Leaving again without a change derives nothing.
        f->edit("Edit1f")->setText("7");
        f->key(Qt::Key_Backtab);
        QCOMPARE(f->focus(), f->edit("Edit1b"));
        f->tab();
        QCOMPARE(f->edit("Edit1f")->text(), QString("7"));

        // Clearing the box unticks Channel Enabled.
        f->key(Qt::Key_Backtab);
        f->typeOver("");
        f->tab();
        QVERIFY(!f->check("Edit1d")->isChecked());
        QVERIFY(f->dialogs.errors.isEmpty());
    }

    void modifyModeDerivesNothing() {
        openWith({});
        f->click(f->check("Button1a"));
        QVERIFY(f->wizard->ModifyMode);
        QCOMPARE(f->focus(), f->edit("Edit1b"));
        QVERIFY(f->edit("Edit1f")->isEnabled());
        QTest::keyClicks(f->focus(), "100");
        f->tab();
        QCOMPARE(f->edit("Edit1f")->text(), QString("1"));
        QCOMPARE(f->edit("Edit1h")->text(), QString("23"));
        QVERIFY(!f->check("Edit1d")->isChecked());
        // Unticking goes back to the channel number box, which leaves modify mode.
        f->click(f->check("Button1a"));
        QVERIFY(!f->wizard->ModifyMode);
        QCOMPARE(f->focus(), f->combo("Edit1a"));
        QVERIFY(!f->edit("Edit1f")->isEnabled());
    }

    void labelsFocusOnlyEnabledFields() {
        openWith({});
        QTest::mouseClick(f->get<QLabel>("Label1f"), Qt::LeftButton);
        QCOMPARE(f->focus(), f->combo("Edit1a"));
        QTest::mouseClick(f->get<QLabel>("Label1c"), Qt::LeftButton);
        QCOMPARE(f->focus(), f->edit("Edit1c"));
        QCOMPARE(f->help(), QString("topic 19"));
    }

    void tarePointTicksZeroScanAndSavesZeroWhenEmpty() {
        openWith({});
        intoFullScale();
        QTest::keyClicks(f->focus(), "50");
        f->tab();
        QTest::keyClicks(f->focus(), "5");
        f->tab();
        QVERIFY(f->check("Edit1e")->isChecked());
        f->key(Qt::Key_Backtab);
        QCOMPARE(f->focus(), f->edit("Edit1c"));
        f->typeOver("");
        f->tab();
        QVERIFY(!f->check("Edit1e")->isChecked());
        f->click(f->button("Button1e"));
        QCOMPARE(f->wizard->ChannelRecords, QStringList{"SET CHANNEL,001A,ON,OFF,5,0,0,20,50"});
        QCOMPARE(items(), QStringList{"001A"});
        QCOMPARE(f->wizard->currentPage(), 2);
        QCOMPARE(f->focus(), f->edit("Edit2a"));
    }

    // A refused value keeps the focus however the user tries to leave, shows one message, and
    // lets the user go once the value is good.
    void failedCheckKeepsTheFocus_data() {
        QTest::addColumn<QString>("how");
        QTest::newRow("tab") << "tab";
        QTest::newRow("click on a field") << "field";
        QTest::newRow("click on a page button") << "button";
        QTest::newRow("click on a check box") << "check";
    }
    void failedCheckKeepsTheFocus() {
        QFETCH(QString, how);
        openWith({});
        intoFullScale();
        QTest::keyClicks(f->focus(), "1X");
        auto leave = [&] {
            if (how == "tab")
                f->tab();
            else if (how == "field")
                f->click(f->edit("Edit1c"));
            else if (how == "button")
                f->click(f->button("Button1e"));
            else
                f->click(f->check("Button1a"));
        };
        leave();
        QCOMPARE(f->dialogs.errors, QStringList{"Error detected in the full scale value"});
        QCOMPARE(f->sound.beeps, 1);
        QCOMPARE(f->focus(), f->edit("Edit1b"));
        QCOMPARE(f->wizard->currentPage(), 1);
        QVERIFY(!f->wizard->ModifyMode);
        QVERIFY(!f->check("Button1a")->isChecked());
        QVERIFY(!f->check("Edit1d")->isChecked());
        QCOMPARE(f->wizard->FullScaleText, QString());
        // The field still takes typing where the caret was.
        f->key(Qt::Key_Backspace);
        QCOMPARE(f->edit("Edit1b")->text(), QString("1"));
        leave();
        QCOMPARE(f->dialogs.errors.size(), 1);
        QVERIFY(f->check("Edit1d")->isChecked());
        if (how == "check")
            QVERIFY(f->wizard->ModifyMode); // the tick went through and moved to the full scale box
        else
            QVERIFY(f->focus() != f->edit("Edit1b"));
        if (how == "button")
            QCOMPARE(f->wizard->currentPage(), 2);
    }

    void invalidChannelNumberCannotBeLeft() {
        openWith({});
        f->typeOver("01");
        f->tab();
        QCOMPARE(f->dialogs.errors, QStringList{"Invalid Channel Address"});
        QCOMPARE(f->sound.beeps, 1);
        QCOMPARE(f->focus(), f->combo("Edit1a"));
        f->click(f->button("Button1d"));
        QVERIFY(f->wizard->isVisible());
        QCOMPARE(f->dialogs.errors.size(), 2);
        // The modify tick, pressed without moving the focus (as an accessibility client does),
        // refuses without a beep and does nothing else: the tick stays as pressed.
        f->dialogs.errors.clear();
        const int beeps = f->sound.beeps;
        f->check("Button1a")->click();
        QCOMPARE(f->dialogs.errors, QStringList{"Invalid Channel Address"});
        QCOMPARE(f->sound.beeps, beeps);
        QVERIFY(f->check("Button1a")->isChecked());
        QVERIFY(!f->wizard->ModifyMode);
        QVERIFY(!f->edit("Edit1f")->isEnabled());
        QCOMPARE(f->focus(), f->combo("Edit1a"));
        f->dialogs.errors.clear();
        f->typeOver("002b");
        QCOMPARE(f->combo("Edit1a")->currentText(), QString("002B"));
        f->tab();
        QCOMPARE(f->focus(), f->edit("Edit1b"));
        QVERIFY(f->dialogs.errors.isEmpty());
    }

    void typingAChannelShowsItsRecord() {
        openWith({channel("001A"), channel("002B", "ON,ON,2.5,0,7,21,25")});
        f->typeOver("002b");
        QCOMPARE(f->wizard->CurrentChannelIndex, 1);
        QCOMPARE(f->edit("Edit1b")->text(), QString("25"));
        QCOMPARE(f->edit("Edit1c")->text(), QString("7"));
        f->typeOver("003A");
        QCOMPARE(f->wizard->CurrentChannelIndex, -1);
        QCOMPARE(f->edit("Edit1b")->text(), QString());
        // An invalid address keeps the previous channel on show.
        f->typeOver("9");
        QCOMPARE(f->wizard->CurrentChannelIndex, -1);
        QCOMPARE(f->edit("Edit1f")->text(), QString("1"));
    }

    void nextChannel_data() {
        QTest::addColumn<QString>("from");
        QTest::addColumn<QString>("to");
        QTest::newRow("001A") << "001A"
                              << "001B";
        QTest::newRow("012B") << "012B"
                              << "101A";
        QTest::newRow("114B") << "114B"
                              << "201A";
        QTest::newRow("514B") << "514B"
                              << "514B";
    }
    void nextChannel() {
        QFETCH(QString, from);
        QFETCH(QString, to);
        openWith({channel(to, "ON,OFF,3,0,0,23,30")});
        f->typeOver(from);
        f->click(f->button("Button1b"));
        QCOMPARE(f->combo("Edit1a")->currentText(), to);
        QCOMPARE(f->focus(), f->combo("Edit1a"));
        QCOMPARE(f->edit("Edit1b")->text(), QString("30"));
        QCOMPARE(f->wizard->CurrentChannelIndex, 0);
        QCOMPARE(f->help(), QString("topic 17"));
    }

    void nextChannelSavesAnEditedChannel() {
        openWith({});
        intoFullScale();
        QTest::keyClicks(f->focus(), "25");
        f->click(f->button("Button1b"));
        QCOMPARE(f->wizard->ChannelRecords, QStringList{"SET CHANNEL,001A,ON,OFF,2.5,0,0,20,25"});
        QCOMPARE(f->combo("Edit1a")->currentText(), QString("001B"));
        QCOMPARE(items(), QStringList{"001A"});
        QVERIFY(!f->wizard->ChannelEdited);
    }

    void deleteTheOnlyRecord() {
        openWith({channel("003A", "ON,OFF,3,0,0,23,30")});
        f->click(f->button("Button1c"));
        QVERIFY(f->wizard->ChannelRecords.isEmpty());
        QCOMPARE(f->wizard->CurrentChannelIndex, -1);
        QCOMPARE(f->combo("Edit1a")->currentText(), QString("001A"));
        QCOMPARE(f->edit("Edit1b")->text(), QString());
        QVERIFY(items().isEmpty());
        QCOMPARE(f->focus(), f->combo("Edit1a"));
    }

    void deleteTheThirdOfFive() {
        const QStringList five{channel("001A"), channel("001B"), channel("002A", "ON,OFF,1,0,0,23,10"),
                               channel("002B"), channel("003A")};
        openWith(five);
        f->typeOver("002A");
        QCOMPARE(f->wizard->CurrentChannelIndex, 2);
        f->click(f->button("Button1c"));
        QCOMPARE(f->wizard->ChannelRecords.size(), 4);
        QVERIFY(!f->wizard->ChannelRecords.contains(five[2]));
        QCOMPARE(f->wizard->CurrentChannelIndex, 1);
        QCOMPARE(f->combo("Edit1a")->currentText(), QString("001B"));
        QCOMPARE(items(), (QStringList{"001A", "001B", "002B", "003A"}));
    }

    void deleteWithoutARecordDeletesNothing() {
        openWith({channel("001A")});
        f->typeOver("004A");
        f->click(f->button("Button1c"));
        QCOMPARE(f->wizard->ChannelRecords, QStringList{channel("001A")});
        QCOMPARE(f->combo("Edit1a")->currentText(), QString("004A"));
    }

    void dataFormatOnSave_data() {
        QTest::addColumn<QString>("format");
        QTest::addColumn<bool>("stored");
        QTest::newRow("45") << "45" << false;
        QTest::newRow("9") << "9" << false;
        QTest::newRow("08") << "08" << true;
        QTest::newRow("80") << "80" << true;
    }
    void dataFormatOnSave() {
        QFETCH(QString, format);
        QFETCH(bool, stored);
        openWith({});
        f->click(f->check("Button1a"));
        QTest::mouseClick(f->get<QLabel>("Label1h"), Qt::LeftButton);
        QCOMPARE(f->focus(), f->edit("Edit1h"));
        f->typeOver(format);
        f->click(f->button("Button1e"));
        // The page changes either way; a refused record is not written.
        QCOMPARE(f->wizard->currentPage(), 2);
        if (stored) {
            QCOMPARE(f->wizard->ChannelRecords,
                     QStringList{"SET CHANNEL,001A,OFF,OFF,1,0,0," + format + ","});
            QVERIFY(f->dialogs.errors.isEmpty());
        } else {
            QVERIFY(f->wizard->ChannelRecords.isEmpty());
            QCOMPARE(f->dialogs.errors, QStringList{"Error detected in the data format"});
            QCOMPARE(f->sound.beeps, 1);
            QVERIFY(f->wizard->ChannelEdited);
        }
    }

    void longFullScaleIsRefusedAtTheNextSave_data() {
        QTest::addColumn<QStringList>("channels");
        QTest::addColumn<QString>("fullScale");
        QTest::addColumn<QString>("format");
        QTest::addColumn<QString>("scaling");
        QTest::newRow("nine digits") << QStringList{} << "123456789"
                                     << "90"
                                     << "12345678.9";
        // Only a file can hold a longer value; its format must not be cut to a valid "10".
        QTest::newRow("ten digits from a file")
            << QStringList{channel("001A", "ON,OFF,1,0,0,23,1234567890")} << "9876543210"
            << "100"
            << "987654321";
    }
    void longFullScaleIsRefusedAtTheNextSave() {
        QFETCH(QStringList, channels);
        QFETCH(QString, fullScale);
        QFETCH(QString, format);
        QFETCH(QString, scaling);
        openWith(channels);
        intoFullScale();
        f->typeOver(fullScale);
        f->tab();
        QCOMPARE(f->edit("Edit1h")->text(), format);
        QCOMPARE(f->edit("Edit1f")->text(), scaling);
        f->click(f->button("Button1d"));
        QCOMPARE(f->dialogs.errors, QStringList{"Error detected in the data format"});
        // Exit still closes, without the refused channel.
        QVERIFY(!f->wizard->isVisible());
        QCOMPARE(f->wizard->result(), int(mrAbort));
        QCOMPARE(f->wizard->ChannelRecords, channels);
    }

    void exitSavesPendingEdits() {
        openWith({channel("002A")});
        f->typeOver("001A");
        f->tab();
        QTest::keyClicks(f->focus(), "10");
        f->click(f->button("Button1d"));
        QCOMPARE(f->wizard->result(), int(mrAbort));
        QCOMPARE(f->wizard->ChannelRecords,
                 (QStringList{"SET CHANNEL,001A,ON,OFF,1,0,0,20,10", channel("002A")}));
    }

    void cancelAndEscapeGiveTheCancelResult() {
        openWith({});
        f->click(f->button("Button1f"));
        QCOMPARE(f->wizard->result(), int(mrCancel));
        QVERIFY(f->open({}, newLogging));
        f->key(Qt::Key_Escape);
        QVERIFY(!f->wizard->isVisible());
        QCOMPARE(f->wizard->result(), int(mrCancel));
    }
};

QTEST_MAIN(TestWizardChannel)
#include "test_wizard_channel.moc"
