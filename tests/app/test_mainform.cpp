#include "FakeDialogs.h"
#include "FakeMainFormDeps.h"
#include "FakeSerialPort.h"
#include "Main.h"
#include "Sound.h"
#include "UserFolders.h"

#include "ConfigTree.h"

#include <QAbstractSpinBox>
#include <QAccessible>
#include <QAction>
#include <QComboBox>
#include <QLabel>
#include <QMenu>
#include <QProgressBar>
#include <QTemporaryDir>
#include <QTreeView>
#include <QtTest>

#include <sys/stat.h>

class TestMainForm : public QObject {
    Q_OBJECT
    FakeClock clock;
    FakeDialogs dialogs;
    platform::SilentSound sound;
    QTemporaryDir dir;

    std::unique_ptr<TMainForm> make(FakeSerialPort** portOut = nullptr) {
        MainFormDeps deps = fakeMainFormDeps(clock, dialogs, sound, dir.path(), portOut);
        return std::make_unique<TMainForm>(std::move(deps));
    }

private slots:
    void startupSequence() {
        FakeSerialPort* port = nullptr;
        auto w = make(&port);
        QCOMPARE(w->windowTitle(), QString("V917 Configuration Software[*]"));
        QCOMPARE(w->size(), QSize(790, 540));
        for (QMenu* m : w->topMenus())
            QVERIFY(!m->isEnabled());
        w->show();
        QVERIFY(QTest::qWaitForWindowExposed(w.get()));
        // The show event initialised the shared state and opened COM1 at 9600.
        QVERIFY(port->isOpen());
        QCOMPARE(port->openedName, QString("COM1"));
        QCOMPARE(port->baud, 9600);
        QCOMPARE(w->form0().Settings.ConfigFileName, dir.path() + "/*.917");
        QVERIFY(w->SplashPanel()->isVisible());
        QVERIFY(!w->TerminalScreen()->isVisible());
        QVERIFY(!w->ProgressBar()->isVisible());
        QCOMPARE(w->Timer1.interval(), 2500);

        bool welcomed = false;
        w->showWelcome = [&] {
            for (QMenu* m : w->topMenus())
                if (m->isEnabled())
                    return 0;
            welcomed = true;
            return 2;
        };
        int acted = 0;
        w->actOnWelcome = [&](int r) { acted = r; };
        w->Timer1_Time0();
        QVERIFY(welcomed); // menus still disabled while the welcome dialog was up
        QCOMPARE(acted, 2);
        for (QMenu* m : w->topMenus())
            QVERIFY(m->isEnabled());
        QVERIFY(!w->SplashPanel()->isVisible());
        QCOMPARE(w->Timer1.interval(), 18'000'000);
        QVERIFY(w->Timer1.isActive());
    }

    void treeStartsWithTheSettingsGroup() {
        auto w = make();
        const QAbstractItemModel* m = w->View()->model();
        QCOMPARE(m->rowCount(), 1);
        const QModelIndex settings = m->index(0, 0);
        QCOMPARE(settings.data().toString(), QString("Communication Settings"));
        QCOMPARE(m->rowCount(settings), 3);
        QCOMPARE(m->index(0, 0, settings).data().toString(), QString("COM1,RS232,9600"));
        QCOMPARE(w->View()->indentation(), 19);
    }

    void menuCaptionsAndHelpContexts() {
        auto w = make();
        QCOMPARE(w->action("FileNewItem")->text(), QString("Create a &new configuration file"));
        QCOMPARE(w->action("FileNewItem")->property("helpContext").toInt(), 2001);
        QCOMPARE(w->action("FileExitItem")->property("helpContext").toInt(), 2008);
        QCOMPARE(w->action("Modify917")->text(), QString("Modify &917 Configuration"));
        QVERIFY(w->action("TerminalModeItem")->isCheckable());
    }

    void startsWithoutAnySerialDevice() {
        FakeSerialPort* port = nullptr;
        auto w = make(&port);
        port->openable = false;
        w->show();
        QVERIFY(QTest::qWaitForWindowExposed(w.get()));
        QVERIFY(!w->form0().Comms.IsOpen());
        QVERIFY(dialogs.errors.isEmpty());
    }

    void unpromptedBytesGoToTheHiddenLog() {
        FakeSerialPort* port = nullptr;
        auto w = make(&port);
        w->show();
        QVERIFY(QTest::qWaitForWindowExposed(w.get()));
        port->feed("hello\r\nwor");
        QTRY_COMPARE(w->form0().RX.lines, QList<QByteArray>({"hello", "wor"}));
    }

    void closingCompletesTheDataLog() {
        auto w = make();
        w->Timer1.stop();
        w->show();
        QVERIFY(QTest::qWaitForWindowExposed(w.get()));
        SharedSettings& s = w->form0().Settings;
        s.LogFile.setFileName(dir.filePath("log.TXT"));
        QVERIFY(s.LogFile.open(QIODevice::WriteOnly));
        s.LogFile.write("last line\r\n"); // still in the buffer
        s.LoggingActive = true;
        QVERIFY(w->close());
        QVERIFY(!s.LoggingActive);
        QVERIFY(!s.LogFile.isOpen());
        QFile back(dir.filePath("log.TXT"));
        QVERIFY(back.open(QIODevice::ReadOnly));
        QCOMPARE(back.readAll(), QByteArray("last line\r\n"));
    }

    void aLogThatCannotBeCompletedKeepsTheProgramOpen() {
        if (!QFileInfo::exists("/dev/full"))
            QSKIP("no /dev/full on this machine");
        auto w = make();
        w->Timer1.stop();
        w->show();
        QVERIFY(QTest::qWaitForWindowExposed(w.get()));
        SharedSettings& s = w->form0().Settings;
        s.LogFile.setFileName("/dev/full");
        QVERIFY(s.LogFile.open(QIODevice::WriteOnly));
        s.LogFile.write("buffered record\r\n");
        s.LoggingActive = true;
        dialogs.errors.clear();
        QVERIFY(!w->close());
        QVERIFY(w->isVisible());
        QCOMPARE(dialogs.errors.size(), 1);
        QVERIFY(!s.LoggingActive);
        QVERIFY(w->close()); // the report has been given; now it closes
    }

    void dataFilesBesideTheProgramOrUnderShare() {
        QTemporaryDir root;
        const QString bin = root.filePath("bin") + "/";
        QVERIFY(QDir().mkpath(bin));
        QVERIFY(QDir().mkpath(root.filePath("share/v917config")));
        // Nothing anywhere: the program's own folder, where a missing file is simply missing.
        QCOMPARE(dataFolderFor(bin, "48710093.TXT"), bin);
        QFile installed(root.filePath("share/v917config/48710093.TXT"));
        QVERIFY(installed.open(QIODevice::WriteOnly));
        installed.close();
        QCOMPARE(dataFolderFor(bin, "48710093.TXT"), root.filePath("share/v917config") + "/");
        // A file beside the program (a build tree) wins.
        QFile beside(bin + "48710093.TXT");
        QVERIFY(beside.open(QIODevice::WriteOnly));
        beside.close();
        QCOMPARE(dataFolderFor(bin, "48710093.TXT"), bin);
        // Configuration files start beside the program only where the user can write them and it is
        // not an installed copy (where root can write); else in the folder used last, once there is one.
        QCOMPARE(configStartFolder(bin), bin);
        QCOMPARE(configStartFolder(bin, root.path()), bin);
        const QString gone = root.filePath("gone") + "/";
        QVERIFY(configStartFolder(gone) != gone);
        QVERIFY(QFileInfo(configStartFolder(gone)).isDir());
        QCOMPARE(configStartFolder(gone, root.path()), root.path() + "/");
        for (const QString installedBin : {"/usr/bin/", "/usr/local/bin/", "/opt/v917config/bin/"}) {
            QVERIFY(platform::isInstalledLocation(installedBin));
            QVERIFY(configStartFolder(installedBin) != installedBin);
            QVERIFY(QFileInfo(configStartFolder(installedBin)).isDir());
            QCOMPARE(configStartFolder(installedBin, root.path()), root.path() + "/");
        }

        // The folder used last is remembered per user; a settings file that is not a small regular file
        // is neither read nor written.
        const QString memory = root.filePath("config/folders.ini");
        QVERIFY(platform::loadRememberedFolder(memory).isEmpty());
        platform::rememberFolder(memory, root.path());
        QCOMPARE(platform::loadRememberedFolder(memory), root.path());
        const QString fifo = root.filePath("fifo.ini");
        QCOMPARE(::mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
        platform::rememberFolder(fifo, root.path());
        QVERIFY(platform::loadRememberedFolder(fifo).isEmpty());
    }

    void statusBarRepaintsAtOnce() {
        auto w = make();
        w->setStatusText("Please Wait");
        w->setProgressRange(10);
        w->setProgressPosition(3);
        w->setProgressVisible(true);
        QCOMPARE(w->statusText(), QString("Please Wait"));
        QCOMPARE(w->ProgressBar()->maximum(), 10);
        QCOMPARE(w->ProgressBar()->value(), 3);
        w->setProgressRange(0); // nothing to do: an empty bar, not the busy animation
        QVERIFY(w->ProgressBar()->maximum() > w->ProgressBar()->minimum());
        // A screen reader hears where the run is, not only a percentage.
        w->setProgressText("line 3 of 10");
        QCOMPARE(QAccessible::queryAccessibleInterface(w->ProgressBar())->text(QAccessible::Description),
                 QString("line 3 of 10"));
    }

    // Outside text (an identification, a file name) in the status field is shown as it stands, never
    // taken as markup: what a screen reader hears is what the field was given.
    void theStatusFieldShowsOutsideTextAsItStands_data() {
        QTest::addColumn<bool>("temporary");
        QTest::addColumn<QString>("text");
        QTest::newRow("status text") << false << "Instrument <font color=red size=7>01</font> programmed";
        QTest::newRow("note that goes away") << true << "Instrument 01 (<b>917 Version</b> &amp;) programmed";
    }
    void theStatusFieldShowsOutsideTextAsItStands() {
        QFETCH(bool, temporary);
        QFETCH(QString, text);
        auto w = make();
        if (temporary)
            w->showTemporaryMessage(text);
        else
            w->setStatusText(text);
        auto* field = w->findChild<QLabel*>("StatusText");
        QVERIFY(field);
        QCOMPARE(QAccessible::queryAccessibleInterface(field)->text(QAccessible::Name), text);
    }

    // What a screen reader says for each control: something, and within what the user sees at once
    // (a window, or one page of the wizard) never the same for two controls.
    void everyControlHasItsOwnAccessibleName() {
        auto w = make();
        QMap<QWidget*, QMap<QString, QString>> seen;
        QStringList faults;
        for (QWidget* c : w->findChildren<QWidget*>()) {
            if (c->focusPolicy() == Qt::NoFocus || c->focusProxy() || c->isWindow() ||
                c->window()->windowType() == Qt::Popup)
                continue;
            if (qobject_cast<QAbstractSpinBox*>(c->parentWidget()) ||
                qobject_cast<QComboBox*>(c->parentWidget()))
                continue; // the inner editor of a spin or combo box speaks through its box
            // The wizard's pages and the main window's two screens are shown one at a time.
            static const QStringList pages{"Panel1", "Panel2", "Panel3", "ConfigurationScreen",
                                           "TerminalScreen"};
            QWidget* scope = c->window();
            for (QWidget* a = c; a && !a->isWindow(); a = a->parentWidget())
                if (pages.contains(a->objectName())) {
                    scope = a;
                    break;
                }
            QAccessibleInterface* acc = QAccessible::queryAccessibleInterface(c);
            const QString name = acc ? acc->text(QAccessible::Name).trimmed() : QString();
            const QString where = c->window()->objectName() + "/" + c->objectName() + " (" +
                                  c->metaObject()->className() + " in " + c->parentWidget()->objectName() +
                                  ")";
            if (name.isEmpty())
                faults << where + " has no name";
            else if (seen[scope].contains(name))
                faults << where + " and " + seen[scope][name] + " are both \"" + name + "\"";
            else
                seen[scope][name] = where;
        }
        QVERIFY2(faults.isEmpty(), qPrintable(faults.join("\n")));
    }
};

QTEST_MAIN(TestMainForm)
#include "test_mainform.moc"
