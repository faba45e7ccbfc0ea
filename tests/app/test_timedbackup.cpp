#include "FakeDialogs.h"
#include "FakeMainFormDeps.h"
#include "FakeSerialPort.h"
#include "LongOperation.h"
#include "Main.h"
#include "ModalHelper.h"
#include "Sound.h"
#include "TimedBackup.h"
#include "Unit0.h"
#include "Unit7.h"

#include "ConfigFile.h"
#include "ConfigTree.h"
#include "FileCommands.h"

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QTemporaryDir>
#include <QTreeView>
#include <QtTest>

namespace {

// Timer1 as the rules see it; counts every restart of the countdown.
class FakeTimer final : public BackupTimer {
public:
    FakeTimer(int interval, bool active) : ms(interval), active(active) {}
    int interval() const override { return ms; }
    bool isActive() const override { return active; }
    void setInterval(int value) override {
        ms = value;
        if (active)
            ++restarts;
    }
    void setActive(bool on) override {
        active = on;
        if (on)
            ++restarts;
    }
    int ms;
    bool active;
    int restarts = 0;
};

QCheckBox* box(QWidget* d) {
    return d->findChild<QCheckBox*>("Edit1");
}
QSpinBox* spin(QWidget* d) {
    return d->findChild<QSpinBox*>("Edit2");
}
QPushButton* button(QWidget* d, const char* name) {
    return d->findChild<QPushButton*>(name);
}

QByteArray readAll(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
}

} // namespace

class TestTimedBackup : public QObject {
    Q_OBJECT
    FakeClock clock;
    FakeDialogs dialogs;
    platform::SilentSound sound;
    QTemporaryDir dir;

    std::unique_ptr<TMainForm> make() {
        MainFormDeps deps = fakeMainFormDeps(clock, dialogs, sound, dir.path());
        auto w = std::make_unique<TMainForm>(std::move(deps));
        w->showWelcome = [] { return 2; };
        w->actOnWelcome = nullptr;
        return w;
    }

    // Runs the menu command and answers the dialog with the given state.
    static void confirmDialog(TMainForm& w, bool ticked, const QString& minutesText, bool ok = true) {
        whenModal([=](QWidget* d) {
            auto* form = qobject_cast<TForm7*>(d);
            QVERIFY(form);
            box(form)->setChecked(ticked);
            spin(form)->findChild<QLineEdit*>()->setText(minutesText);
            button(form, ok ? "Button1" : "Button2")->click();
        });
        w.TimedBackup1Click();
    }

private slots:
    void init() {
        dialogs.errors.clear();
        sound = platform::SilentSound();
    }

    void confirmRules_data() {
        QTest::addColumn<int>("interval");
        QTest::addColumn<bool>("active");
        QTest::addColumn<bool>("enabled");
        QTest::addColumn<int>("minutes");
        QTest::addColumn<int>("newInterval");
        QTest::addColumn<bool>("newActive");
        QTest::addColumn<int>("restarts");
        // The default five-hourly backup: the first confirmation always leaves it.
        QTest::newRow("default, ticked 1") << 18'000'000 << true << true << 1 << 60'000 << true << 1;
        QTest::newRow("default, cleared") << 18'000'000 << true << false << 10 << 600'000 << false << 1;
        QTest::newRow("on, same values") << 600'000 << true << true << 10 << 600'000 << true << 0;
        QTest::newRow("on, new minutes") << 600'000 << true << true << 30 << 1'800'000 << true << 1;
        QTest::newRow("on, switched off") << 600'000 << true << false << 10 << 600'000 << false << 0;
        QTest::newRow("off, still off") << 600'000 << false << false << 5 << 300'000 << false << 0;
        QTest::newRow("off, switched on") << 600'000 << false << true << 10 << 600'000 << true << 1;
        QTest::newRow("off, on with new minutes") << 600'000 << false << true << 2 << 120'000 << true << 1;
    }
    void confirmRules() {
        QFETCH(int, interval);
        QFETCH(bool, active);
        QFETCH(bool, enabled);
        QFETCH(int, minutes);
        SharedSettings s;
        FakeTimer timer(interval, active);
        timedbackup::confirm(s, enabled, minutes, timer);
        QCOMPARE(s.TimedBackupEnabled, enabled);
        QCOMPARE(s.TimedBackupMinutes, minutes);
        QTEST(timer.ms, "newInterval");
        QTEST(timer.active, "newActive");
        QTEST(timer.restarts, "restarts");
    }

    void minutesFromText_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("minutes");
        QTest::newRow("1") << "1" << 1;
        QTest::newRow("30") << "30" << 30;
        QTest::newRow("7 with blanks") << " 7 " << 7;
        QTest::newRow("empty") << "" << 1;
        QTest::newRow("letters") << "ab" << 1;
        QTest::newRow("decimal") << "2.5" << 1;
        QTest::newRow("0 to the minimum") << "0" << 1;
        QTest::newRow("99 to the maximum") << "99" << 30;
    }
    void minutesFromText() {
        QFETCH(QString, text);
        QTEST(timedbackup::minutesFromText(text), "minutes");
    }

    void dialogShowsTheSharedValues() {
        SharedSettings s;
        TForm7 d(s);
        QCOMPARE(d.windowTitle(), QString("Timed Backup"));
        QCOMPARE(d.size(), QSize(320, 70));
        QVERIFY(d.windowFlags() & Qt::WindowStaysOnTopHint);
        d.show();
        QVERIFY(QTest::qWaitForWindowActive(&d));
        // First showing after start-up: cleared and 10.
        QVERIFY(!box(&d)->isChecked());
        QCOMPARE(spin(&d)->value(), 10);
        QTest::mouseClick(d.findChild<QLabel*>("Label2"), Qt::LeftButton);
        QVERIFY(spin(&d)->hasFocus());
        d.hide();

        s.TimedBackupEnabled = true;
        s.TimedBackupMinutes = 45; // brought into the range
        d.show();
        QVERIFY(box(&d)->isChecked());
        QCOMPARE(spin(&d)->value(), 30);
        d.hide();
        s.TimedBackupMinutes = 0;
        d.show();
        QCOMPARE(spin(&d)->value(), 1);
        d.hide();
    }

    void cancelChangesNothing() {
        SharedSettings s;
        TForm7 d(s);
        FakeTimer timer(18'000'000, true);
        for (const bool closeBox : {false, true}) {
            whenModal([closeBox](QWidget* w) {
                auto* form = qobject_cast<TForm7*>(w);
                box(form)->setChecked(true);
                spin(form)->setValue(3);
                if (closeBox)
                    form->close();
                else
                    button(form, "Button2")->click();
            });
            TimedBackup1Click(d, s, timer);
            QCOMPARE(s.TimedBackupEnabled, false);
            QCOMPARE(s.TimedBackupMinutes, 10);
            QCOMPARE(timer.ms, 18'000'000);
            QVERIFY(timer.active);
            QCOMPARE(timer.restarts, 0);
        }
    }

    void backupWritesTheTreeThroughTheSafeWriter() {
        ConfigTree tree;
        tree.resetToStartup();
        SharedSettings s;
        s.ConfigFileName = dir.filePath("net.917");
        QCOMPARE(timedbackup::write(tree, s), QString());
        QCOMPARE(readAll(s.ConfigFileName), serializeConfig(tree));

        // A file loaded only in part is not overwritten with that part until the user saves.
        s.ConfigFileIncomplete = true;
        tree.appendRoot("Instrument Address 01 (917 Version 1)");
        QCOMPARE(timedbackup::write(tree, s), QString());
        QVERIFY(readAll(s.ConfigFileName) != serializeConfig(tree));
    }

    void wildcardNameIsRefusedAndLeavesAnyFileAlone() {
        // Even where the platform would allow the name, a pattern is not a file to write.
        SharedSettings s;
        s.ConfigFileName = dir.filePath("*.917");
        {
            QFile f(s.ConfigFileName);
            QVERIFY(f.open(QIODevice::WriteOnly));
            f.write("keep me\r\n");
        }
        ConfigTree tree;
        tree.resetToStartup();
        QCOMPARE(timedbackup::write(tree, s), "Cannot create file " + s.ConfigFileName);
        QCOMPARE(readAll(s.ConfigFileName), QByteArray("keep me\r\n"));
        QFile::remove(s.ConfigFileName);

        // A folder that does not exist: nothing can be created, nothing is touched.
        s.ConfigFileName = dir.filePath("gone/net.917");
        QCOMPARE(timedbackup::write(tree, s), "Cannot create file " + s.ConfigFileName);
    }

    void mainWindowStateTable() {
        auto w = make();
        w->Timer1_Time0();
        QCOMPARE(w->Timer1.interval(), 18'000'000);
        QVERIFY(w->Timer1.isActive());

        // The first dialog shows cleared and 10; confirming it cleared stops the default backup.
        whenModal([](QWidget* d) {
            auto* form = qobject_cast<TForm7*>(d);
            QVERIFY(form);
            QVERIFY(!box(form)->isChecked());
            QCOMPARE(spin(form)->value(), 10);
            button(form, "Button1")->click();
        });
        w->TimedBackup1Click();
        QVERIFY(!w->Timer1.isActive());
        QCOMPARE(w->form0().Settings.TimedBackupEnabled, false);

        confirmDialog(*w, true, "1");
        QCOMPARE(w->Timer1.interval(), 60'000);
        QVERIFY(w->Timer1.isActive());
        QCOMPARE(w->form0().Settings.TimedBackupMinutes, 1);

        // Cancel leaves the countdown running as it was.
        const int remaining = w->Timer1.remainingTime();
        confirmDialog(*w, false, "5", false);
        QVERIFY(w->Timer1.isActive());
        QCOMPARE(w->Timer1.interval(), 60'000);
        QVERIFY(w->Timer1.remainingTime() <= remaining);
    }

    void everyExpiryTonesAndRewritesTheCurrentFile() {
        auto w = make();
        w->Timer1_Time0();
        confirmDialog(*w, true, "1");
        QCOMPARE(w->Timer1.interval(), 60'000);

        // A file read only up to its NUL byte: no box, but the status field and the tree's tooltip say
        // where loading stopped, and the backup leaves the file alone until it is saved.
        const QString path = dir.filePath("last-saved.917");
        const QByteArray old("old contents\r\n\0lost\r\n", 20);
        {
            QFile f(path);
            QVERIFY(f.open(QIODevice::WriteOnly));
            f.write(old);
        }
        w->files().openFile(path);
        QVERIFY(dialogs.errors.isEmpty());
        QVERIFY2(w->statusText().startsWith("Loading stopped at line 2 at a NUL byte"),
                 qPrintable(w->statusText()));
        QCOMPARE(w->View()->toolTip(), w->statusText());
        w->tree().appendRoot("Instrument Address 01 (917 Version 1)");
        // A minute shortened to a few milliseconds: the handler, not the length, is under test.
        w->Timer1.setInterval(5);
        QTRY_VERIFY(sound.tones >= 2);
        QCOMPARE(readAll(path), old);
        dialogs.saveAnswers.push_back(path);
        QVERIFY(w->files().FileSave());
        QVERIFY(w->View()->toolTip().isEmpty());
        QVERIFY(w->statusText().isEmpty());
        w->tree().appendRoot("Instrument Address 02 (917 Version 1)");
        const int before = sound.tones;
        QTRY_VERIFY(sound.tones >= before + 2);
        QCOMPARE(sound.lastHz, 1000);
        QCOMPARE(sound.lastMs, 250);
        QCOMPARE(readAll(path), serializeConfig(w->tree()));
        QVERIFY(dialogs.errors.isEmpty());
        QVERIFY(w->Timer1.isActive());
    }

    void backupFallingDueDuringARunIsMadeOnceAfterIt() {
        auto w = make();
        w->Timer1_Time0();
        const QString path = dir.filePath("during-run.917");
        w->form0().Settings.ConfigFileName = path;
        const int tones = sound.tones;
        QSignalSpy expiries(&w->Timer1, &QTimer::timeout);
        {
            LongOperation run(w->form0().Comms, w.get(), nullptr);
            w->Timer1.start(5);
            // Events flow between the run's exchanges, as they do here: expiries are handled meanwhile.
            QVERIFY(QTest::qWaitFor([&] { return expiries.count() >= 3; }, 60000));
            w->Timer1.stop();
            QVERIFY(!run.stopRequested());
            QCOMPARE(sound.tones, tones);
            QVERIFY(!QFile::exists(path));
        }
        QTRY_COMPARE(sound.tones, tones + 1);
        QCOMPARE(readAll(path), serializeConfig(w->tree()));
        QVERIFY(dialogs.errors.isEmpty());
    }

    void withoutASavedFileEachBackupReportsThePattern() {
        auto w = make();
        w->show();
        QVERIFY(QTest::qWaitForWindowExposed(w.get()));
        w->Timer1_Time0();
        const QString pattern = dir.path() + "/*.917";
        QCOMPARE(w->form0().Settings.ConfigFileName, pattern);
        // The error box is modal: expiries while it is open are still handled, and their failures wait
        // for it to close instead of opening boxes on top of it.
        int open = 0, mostOpen = 0, tonesWhileOpen = 0;
        dialogs.onError = [&](const QString&) {
            mostOpen = qMax(mostOpen, ++open);
            const int before = sound.tones;
            if (dialogs.errors.size() == 1) {
                (void)QTest::qWaitFor([&] { return sound.tones >= before + 3; });
                tonesWhileOpen = sound.tones - before;
            }
            --open;
        };
        w->Timer1.setInterval(5);
        QTRY_VERIFY(dialogs.errors.size() >= 3);
        dialogs.onError = nullptr;
        QVERIFY(tonesWhileOpen >= 3);
        QCOMPARE(mostOpen, 1);
        for (const QString& e : std::as_const(dialogs.errors))
            QCOMPARE(e, "Cannot create file " + pattern);
        QVERIFY(sound.tones >= dialogs.errors.size());
        QVERIFY(w->Timer1.isActive());
        QVERIFY(!QFile::exists(pattern));
    }
};

QTEST_MAIN(TestTimedBackup)
#include "test_timedbackup.moc"
