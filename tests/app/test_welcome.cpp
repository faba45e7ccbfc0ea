#include "FakeDialogs.h"
#include "FakeMainFormDeps.h"
#include "FakeSerialPort.h"
#include "HelpViewer.h"
#include "Main.h"
#include "ModalHelper.h"
#include "Sound.h"
#include "Unit1.h"
#include "Unit7.h"
#include "Unit8.h"

#include "ConfigTree.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QLabel>
#include <QMenu>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTreeView>
#include <QtTest>

namespace {

class FakeHelp final : public platform::HelpViewer {
public:
    void showContents() override { asked.append(0); }
    void showTopic(int context) override { asked.append(context); }
    QList<int> asked;
};

// Closes every modal dialog that the commands started by the welcome choice open, whichever of
// them are connected by now, so the test sees only the order of the commands.
class ModalCloser : public QObject {
public:
    ModalCloser() {
        timer.setInterval(20);
        connect(&timer, &QTimer::timeout, this, [] {
            if (auto* d = qobject_cast<QDialog*>(QApplication::activeModalWidget()))
                d->reject();
        });
        timer.start();
    }
    QTimer timer;
};

} // namespace

class TestWelcome : public QObject {
    Q_OBJECT
    FakeClock clock;
    FakeDialogs dialogs;
    platform::SilentSound sound;
    FakeHelp help;
    QTemporaryDir dir;

    std::unique_ptr<TMainForm> make() {
        MainFormDeps deps = fakeMainFormDeps(clock, dialogs, sound, dir.path());
        deps.help = &help;
        return std::make_unique<TMainForm>(std::move(deps));
    }

    // Records which welcome commands ran, in order, and whether the menus were enabled then.
    QStringList ran;
    bool menusWereEnabled = true;
    void record(TMainForm& w) {
        ran.clear();
        menusWereEnabled = true;
        for (const char* name : {"FileNewItem", "FileOpenItem", "CommsConfigureItem", "TerminalModeItem"})
            connect(w.action(name), &QAction::triggered, this, [this, &w, name] {
                ran.append(name);
                for (QMenu* m : w.topMenus())
                    menusWereEnabled = menusWereEnabled && m->isEnabled();
            });
    }

private slots:
    void init() { help.asked.clear(); }

    void dialogLayout() {
        TForm8 d;
        QCOMPARE(d.windowTitle(), QString("Welcome to the 917 Configuration Software"));
        QCOMPARE(d.size(), QSize(440, 315));
        QCOMPARE(d.property("helpContext").toInt(), 1003);
        QVERIFY(d.windowFlags() & Qt::WindowStaysOnTopHint);
        QCOMPARE(d.findChild<QPushButton*>("Button1")->text(), QString("&New Configuration"));
        QCOMPARE(d.findChild<QPushButton*>("Button2")->text(), QString("&Load Existing Configuration"));
        QCOMPARE(d.findChild<QPushButton*>("Button3")->text(), QString("&Terminal Mode"));
        QVERIFY(d.findChild<QLabel*>("Label3")->text().startsWith("Click the Terminal Mode button"));
        QVERIFY(d.findChild<QLabel*>("Label1")->font().bold());
        QCOMPARE(d.findChild<QLabel*>("Label1")->font().pixelSize(), 16);
    }

    void everyWayOutGivesAResult_data() {
        QTest::addColumn<QString>("how");
        QTest::addColumn<int>("result");
        QTest::newRow("new") << "Button1" << 1;
        QTest::newRow("load") << "Button2" << 2;
        QTest::newRow("terminal") << "Button3" << 7;
        QTest::newRow("close box") << "close" << 2;
        QTest::newRow("escape") << "escape" << 2;
        QTest::newRow("enter on the focused first button") << "enter" << 1;
    }
    void everyWayOutGivesAResult() {
        QFETCH(QString, how);
        TForm8 d;
        whenModal([how](QWidget* w) {
            if (how == "close")
                w->close();
            else if (how == "escape")
                QTest::keyClick(w, Qt::Key_Escape);
            else if (how == "enter")
                QTest::keyClick(QApplication::focusWidget() ? QApplication::focusWidget() : w,
                                Qt::Key_Return);
            else
                w->findChild<QPushButton*>(how)->click();
        });
        QTEST(d.choose(), "result");
    }

    void choiceRunsItsCommands_data() {
        QTest::addColumn<int>("choice");
        QTest::addColumn<QStringList>("commands");
        QTest::newRow("1") << 1 << QStringList{"FileNew"};
        QTest::newRow("2") << 2 << QStringList{"FileOpen", "Form2Show"};
        QTest::newRow("7") << 7 << QStringList{"TerminalSelect"};
    }
    void choiceRunsItsCommands() {
        QFETCH(int, choice);
        QStringList order;
        WelcomeCommands c{[&] { order << "FileNew"; }, [&] { order << "FileOpen"; },
                          [&] { order << "Form2Show"; }, [&] { order << "TerminalSelect"; }};
        actOnWelcomeChoice(choice, c);
        QTEST(order, "commands");
        // A command that is not connected yet is skipped, not a crash.
        actOnWelcomeChoice(choice, WelcomeCommands{});
    }

    void startupRunsTheWelcomeChoice_data() {
        QTest::addColumn<QString>("how");
        QTest::addColumn<QStringList>("commands");
        QTest::newRow("new") << "Button1" << QStringList{"FileNewItem"};
        QTest::newRow("load") << "Button2" << QStringList{"FileOpenItem", "CommsConfigureItem"};
        QTest::newRow("close box loads") << "close" << QStringList{"FileOpenItem", "CommsConfigureItem"};
        QTest::newRow("terminal") << "Button3" << QStringList{"TerminalModeItem"};
    }
    void startupRunsTheWelcomeChoice() {
        QFETCH(QString, how);
        auto w = make();
        record(*w);
        w->Timer1.setInterval(50); // the splash time itself is not under test
        w->show();
        QVERIFY(QTest::qWaitForWindowExposed(w.get()));
        bool menusDisabledWhileOpen = true;
        whenModal([&](QWidget* d) {
            QVERIFY(qobject_cast<TForm8*>(d));
            for (QMenu* m : w->topMenus())
                menusDisabledWhileOpen = menusDisabledWhileOpen && !m->isEnabled();
            ModalCloser* closer = new ModalCloser;
            closer->setParent(w.get());
            if (how == "close")
                d->close();
            else
                d->findChild<QPushButton*>(how)->click();
        });
        // The splash timer's first tick shows the welcome dialog.
        QTRY_VERIFY_WITH_TIMEOUT(!w->SplashPanel()->isVisible(), 10000);
        QTRY_VERIFY(!ran.isEmpty());
        QVERIFY(menusDisabledWhileOpen);
        QTEST(ran, "commands");
        QVERIFY(menusWereEnabled);
        for (QMenu* m : w->topMenus())
            QVERIFY(m->isEnabled());
        if (how == "Button3")
            QVERIFY(w->action("TerminalModeItem")->isChecked());
    }

    // A file named on the command line that cannot be opened is said, then the program goes on as if
    // no file had been named; a name whose bytes the system's encoding cannot hold may decode to the
    // name of another file, which must not be opened.
    void commandLineFileNotThere_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<bool>("intact");
        QTest::newRow("not there") << "plant.917" << true;
        QTest::newRow("name not in the system's encoding") << QString("pl\uFFFDnt.917") << false;
    }
    void commandLineFileNotThere() {
        QFETCH(QString, name);
        QFETCH(bool, intact);
        const QString path = dir.filePath(name);
        if (!intact) {
            QFile other(path);
            QVERIFY(other.open(QIODevice::WriteOnly) && other.write("Other\r\n") > 0);
        }
        auto w = make();
        record(*w);
        int welcomed = 0;
        w->showWelcome = [&] {
            ++welcomed;
            return 0;
        };
        w->openFileAtStart(path, intact);
        dialogs.errors.clear();
        w->Timer1_Time0();
        QCOMPARE(dialogs.errors, QStringList({"Cannot open file " + path}));
        QCOMPARE(welcomed, 1);
        QVERIFY(ran.isEmpty()); // neither a new configuration nor the link settings
        QCOMPARE(w->tree().rootAt(0)->text, QString("Communication Settings"));
        for (QMenu* m : w->topMenus())
            QVERIFY(m->isEnabled());
        dialogs.errors.clear();
    }

    void aboutBoxAnyTime() {
        auto w = make();
        w->showWelcome = [] { return 2; };
        w->actOnWelcome = nullptr;
        w->Timer1_Time0();
        const QByteArray before = w->tree().rowCount() ? w->tree().index(0, 0).data().toByteArray() : "";
        bool checked = false;
        whenModal([&](QWidget* d) {
            auto* about = qobject_cast<TForm1*>(d);
            QVERIFY(about);
            QCOMPARE(about->windowTitle(), QString("About Box"));
            QCOMPARE(about->size(), QSize(491, 318));
            QCOMPARE(about->property("helpContext").toInt(), 1001);
            QCOMPARE(about->findChild<QLabel*>("PartNumber")->text(), QString("Kov Part Number: 4871-0093"));
            QCOMPARE(about->findChild<QLabel*>("ProductName")->text(),
                     QString("V917 Configuration software"));
            QCOMPARE(about->findChild<QLabel*>("Version")->text(), QString("Version 1.01"));
            QVERIFY(about->findChild<QLabel*>("Version")->font().bold());
            // The maker's panel of the splash is reused.
            QVERIFY(about->findChild<QWidget*>("MakerPanel"));
            checked = true;
            about->findChild<QPushButton*>("OKButton")->click();
        });
        w->action("AboutItem")->trigger();
        QVERIFY(checked);
        QCOMPARE(w->tree().index(0, 0).data().toByteArray(), before);
        QVERIFY(dialogs.errors.isEmpty());
    }

    void helpMenuAndF1() {
        auto w = make();
        w->showWelcome = [] { return 2; };
        w->actOnWelcome = nullptr;
        w->show();
        QVERIFY(QTest::qWaitForWindowActive(w.get()));
        w->Timer1_Time0();

        w->action("HelpContentsItem")->trigger();
        QCOMPARE(help.asked, QList<int>{0});

        // The tree has no context of its own: the window's.
        w->View()->setFocus();
        QTest::keyClick(w->View(), Qt::Key_F1);
        QCOMPARE(help.asked.last(), 1001);

        // Inside a modal dialog: the dialog's own number.
        whenModal([](QWidget* d) {
            // A dialog counts as active with its parent; wait until it really has the focus. The
            // dialog is closed whatever happens, so a failure cannot hang the test.
            const bool active = QTest::qWaitFor([d] { return QApplication::activeWindow() == d; });
            if (active)
                QTest::keyClick(QApplication::focusWidget(), Qt::Key_F1);
            qobject_cast<QDialog*>(d)->reject();
        });
        w->TimedBackup1Click();
        QCOMPARE(help.asked.last(), 4010);
    }
};

QTEST_MAIN(TestWelcome)
#include "test_welcome.moc"
