#include "CommSettings.h"
#include "ConfigTree.h"
#include "FakeDialogs.h"
#include "FakeMainFormDeps.h"
#include "FakeSerialPort.h"
#include "Main.h"
#include "ModalHelper.h"
#include "Positional.h"
#include "Sound.h"
#include "Unit0.h"
#include "Unit2.h"

#include <QAction>
#include <QComboBox>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QtTest>

namespace {
QStringList settingsLines(const ConfigTree& tree) {
    return positional::childTexts(positional::settingsGroup(tree));
}
} // namespace

// The link settings dialog with the tree, the shared settings and a link on a fake port.
class TestCommSettings : public QObject {
    Q_OBJECT
    FakeClock clock;
    FakeDialogs dialogs;
    platform::SilentSound sound;
    FakeSerialPort* port = nullptr;
    std::unique_ptr<TForm0> form0;
    std::unique_ptr<Services> services;
    std::unique_ptr<ConfigTree> tree;
    std::unique_ptr<TForm2> form2;
    std::unique_ptr<CommSettingsCommand> command;
    QTemporaryDir dir;

private slots:
    void init() {
        auto p = std::make_unique<FakeSerialPort>(clock);
        port = p.get();
        form0 = std::make_unique<TForm0>(std::move(p), &clock);
        services = std::make_unique<Services>(Services{*form0, dialogs, sound});
        tree = std::make_unique<ConfigTree>();
        tree->resetToStartup();
        SharedSettings& s = form0->Settings;
        form2 = std::make_unique<TForm2>(s.HostComPort, s.HostComProtocol, s.HostComSpeed);
        command = std::make_unique<CommSettingsCommand>(*services, *tree, *form2);
    }
    void cleanup() {
        command.reset();
        form2.reset();
        tree.reset();
        services.reset();
        form0.reset();
    }

    void okRewritesTheSettingsLinesAndReopensTheLink() {
        form0->InitialiseVariables(dir.path());
        QCOMPARE(port->openedName, QString("COM1"));
        port->events.clear();
        bool filled = false;
        whenModal([&](QWidget* w) {
            auto* d = qobject_cast<TForm2*>(w);
            QVERIFY(d);
            // Every showing starts from the shared settings.
            QCOMPARE(d->Edit1()->currentText(), QString("COM1"));
            QCOMPARE(d->Edit2()->currentText(), QString("RS232"));
            QCOMPARE(d->Edit3()->currentText(), QString("9600"));
            d->Edit1()->setCurrentIndex(1);
            d->Edit2()->setCurrentIndex(2);
            d->Edit3()->setCurrentIndex(5);
            filled = true;
            QTest::mouseClick(d->Button1(), Qt::LeftButton);
        });
        QVERIFY(command->Form2Show());
        QVERIFY(filled);
        const SharedSettings& s = form0->Settings;
        QCOMPARE(s.HostComPort, 1);
        QCOMPARE(s.HostComProtocol, 2);
        QCOMPARE(s.HostComSpeed, 5);
        QCOMPARE(settingsLines(*tree),
                 QStringList({"COM2,RS485,19200", "Command Prefix,#", "Data Separator,Tab"}));
        QCOMPARE(port->eventKinds().first(), QString("close"));
        QVERIFY(port->isOpen());
        QCOMPARE(port->openedName, QString("COM2"));
        QCOMPARE(port->baud, 19200);
        QCOMPARE(form0->Comms.ComMode(), TComMode::RS485);
    }

    void cancelAndCloseBoxChangeNothing() {
        form0->InitialiseVariables(dir.path());
        tree->setText(positional::settingsLine(*tree, 2), "edited by hand");
        const QStringList before = settingsLines(*tree);
        port->events.clear();
        for (int way = 0; way < 3; ++way) {
            whenModal([way](QWidget* w) {
                auto* d = qobject_cast<TForm2*>(w);
                QVERIFY(d);
                d->Edit1()->setCurrentIndex(1);
                d->Edit3()->setCurrentIndex(0);
                if (way == 0)
                    QTest::mouseClick(d->Button2(), Qt::LeftButton);
                else if (way == 1)
                    QTest::keyClick(d, Qt::Key_Escape);
                else
                    d->close();
            });
            QVERIFY(!command->Form2Show());
        }
        QCOMPARE(form0->Settings.HostComPort, 0);
        QCOMPARE(form0->Settings.HostComSpeed, 4);
        QCOMPARE(settingsLines(*tree), before);
        QVERIFY(port->events.isEmpty());
    }

    void theDialogResetsItselfOnEveryShowing() {
        form0->Settings.HostComSpeed = 7;
        whenModal([](QWidget* w) {
            auto* d = qobject_cast<TForm2*>(w);
            d->Edit3()->setCurrentIndex(0); // changed, then cancelled
            d->reject();
        });
        command->Form2Show();
        whenModal([](QWidget* w) {
            auto* d = qobject_cast<TForm2*>(w);
            QCOMPARE(d->Edit3()->currentText(), QString("57600"));
            d->reject();
        });
        command->Form2Show();
    }

    void helpFollowsTheFocus() {
        QFile help(dir.filePath("48710093.TXT"));
        QVERIFY(help.open(QIODevice::WriteOnly));
        QByteArray text = "note for the maintainer\n";
        for (int t = 0; t <= 8; ++t)
            text += "$Topic " + QByteArray::number(t) + "\n#line of " + QByteArray::number(t) + "\n";
        help.write(text);
        help.close();
        form0->InitialiseVariables(dir.path());

        form2->show();
        QVERIFY(QTest::qWaitForWindowActive(form2.get()));
        QPlainTextEdit* memo = form2->Memo1();
        const auto topicShown = [memo] { return memo->toPlainText().section('\n', 0, 0); };
        // The dialog opens on the port list, so its help is there at once.
        QTRY_COMPARE(topicShown(), QString("Topic 0"));
        QCOMPARE(memo->toPlainText(), QString("Topic 0\n\nline of 0"));
        QCOMPARE(memo->textCursor().selectedText(), QString("Topic 0"));
        for (int expected : {1, 2, 7, 8}) {
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
            QTRY_COMPARE(topicShown(), QString("Topic %1").arg(expected));
        }
        // A label click focuses its list, and so shows the list's help.
        QTest::mouseClick(form2->findChild<QLabel*>("Label2"), Qt::LeftButton);
        QCOMPARE(QApplication::focusWidget(), form2->Edit2());
        QCOMPARE(topicShown(), QString("Topic 1"));
        form2->hide();
    }

    // The menu item of the main window reaches the same dialog and command.
    void menuItemConfiguresTheLink() {
        FakeSerialPort* mainPort = nullptr;
        MainFormDeps deps = fakeMainFormDeps(clock, dialogs, sound, dir.path(), &mainPort);
        TMainForm w(std::move(deps));
        w.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        QCOMPARE(mainPort->openedName, QString("COM1"));
        QAction* item = w.action("CommsConfigureItem");
        QCOMPARE(item->text(), QString("Configure &Communications"));
        whenModal([](QWidget* m) {
            auto* d = qobject_cast<TForm2*>(m);
            QVERIFY(d);
            QCOMPARE(d->windowTitle(), QString("Configure Host Computer Serial Communication Settings"));
            QCOMPARE(d->property("helpContext").toInt(), 4001);
            d->Edit1()->setCurrentIndex(1);
            d->Edit3()->setCurrentIndex(6);
            QTest::keyClick(d->Edit3(), Qt::Key_Return); // OK is the default button
        });
        item->trigger();
        QCOMPARE(positional::settingsLine(w.tree(), 0)->text, QString("COM2,RS232,38400"));
        QCOMPARE(mainPort->openedName, QString("COM2"));
        QCOMPARE(mainPort->baud, 38400);
    }

    void rewritingKeepsTheLinesInOrder_data() {
        QTest::addColumn<int>("port");
        QTest::addColumn<int>("protocol");
        QTest::addColumn<int>("speed");
        QTest::addColumn<QString>("portLine");
        QTest::newRow("defaults") << 0 << 0 << 4 << "COM1,RS232,9600";
        QTest::newRow("COM2 fastest") << 1 << 2 << 7 << "COM2,RS485,57600";
        QTest::newRow("slowest") << 0 << 1 << 0 << "COM1,RS422,600";
        QTest::newRow("unknown port index") << 3 << 0 << 4 << ",RS232,9600";
    }
    void rewritingKeepsTheLinesInOrder() {
        QFETCH(int, port);
        QFETCH(int, protocol);
        QFETCH(int, speed);
        QFETCH(QString, portLine);
        SharedSettings s;
        s.HostComPort = port;
        s.HostComProtocol = protocol;
        s.HostComSpeed = speed;
        s.HostCommandPrefix = "$";
        DecodeDelimiter(s.HostDataSeparator, "@44@13", "Tab");
        ConfigTree t;
        t.resetToStartup();
        t.appendRoot(positional::instrumentNodeText("01", "917 Version 1"));
        writeCommSettings(t, s);
        QCOMPARE(settingsLines(t), QStringList({portLine, "Command Prefix,$", "Data Separator,@44@13"}));
        QCOMPARE(t.rootCount(), 2);
    }

    void missingGroupOrLinesAreRebuilt() {
        SharedSettings s;
        const QStringList expected{"COM1,RS232,9600", "Command Prefix,#", "Data Separator,Tab"};
        ConfigTree empty;
        writeCommSettings(empty, s);
        QCOMPARE(empty.firstRoot()->text, QString("Communication Settings"));
        QCOMPARE(settingsLines(empty), expected);

        ConfigTree oneLine;
        ConfigNode* group = oneLine.appendRoot("Communication Settings");
        oneLine.appendChild(group, "COM2,RS422,1200");
        QCOMPARE(writeCommSettings(oneLine, s), group);
        QCOMPARE(settingsLines(oneLine), expected);

        // Extra lines of a hand-edited group stay and sort among the rewritten ones.
        ConfigTree extra;
        group = extra.appendRoot("Communication Settings");
        for (const char* line : {"x", "y", "z", "Baud 1"})
            extra.appendChild(group, line);
        writeCommSettings(extra, s);
        QCOMPARE(settingsLines(extra),
                 QStringList({"Baud 1", "COM1,RS232,9600", "Command Prefix,#", "Data Separator,Tab"}));
    }
};

QTEST_MAIN(TestCommSettings)
#include "test_commsettings.moc"
