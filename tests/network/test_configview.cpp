#include "ConfigTree.h"
#include "Positional.h"

#include <QApplication>
#include <QClipboard>
#include <QKeyEvent>
#include <QLineEdit>
#include <QToolTip>
#include <QTreeView>
#include <QtTest>

// The tree as the user sees and edits it in the view.
class TestConfigView : public QObject {
    Q_OBJECT
    std::unique_ptr<ConfigTree> tree;
    std::unique_ptr<QTreeView> view;

    // The open editor; a closed one lingers until deleted later.
    QLineEdit* editor() const {
        for (QLineEdit* e : view->findChildren<QLineEdit*>())
            if (e->isVisible())
                return e;
        return nullptr;
    }

    void startEditing(ConfigNode* node) {
        const QModelIndex idx = tree->indexOf(node);
        view->setCurrentIndex(idx);
        QTest::keyClick(view.get(), Qt::Key_F2);
        QTRY_VERIFY(editor());
        QCOMPARE(editor()->text(), node->text);
    }

private slots:
    void init() {
        tree = std::make_unique<ConfigTree>();
        tree->resetToStartup();
        ConfigNode* b = tree->appendRoot("Instrument Address 02 (b)");
        tree->appendChild(b, "Channel Configuration");
        tree->appendChild(b, "Data Logging Parameters");
        tree->appendRoot("Instrument Address 01 (a)");
        view = std::make_unique<QTreeView>();
        setUpConfigView(view.get(), tree.get());
        view->expandAll();
        view->resize(400, 300);
        view->show();
        QVERIFY(QTest::qWaitForWindowActive(view.get()));
        view->setFocus();
    }
    void cleanup() {
        view.reset();
        tree.reset();
    }

    void theViewShowsEveryNodeWithItsLook() {
        QCOMPARE(view->indentation(), 19);
        QVERIFY(view->rootIsDecorated());
        QVERIFY(view->isHeaderHidden());
        QVERIFY(view->viewport()->testAttribute(Qt::WA_Hover));
        QStringList shown;
        for (QModelIndex i = view->model()->index(0, 0); i.isValid(); i = view->indexBelow(i))
            shown.append(i.data().toString());
        QCOMPARE(shown,
                 QStringList({"Communication Settings", "COM1,RS232,9600", "Command Prefix,#",
                              "Data Separator,Tab", "Instrument Address 02 (b)", "Channel Configuration",
                              "Data Logging Parameters", "Instrument Address 01 (a)"}));
        QVERIFY(!view->grab().isNull()); // paints the lines and buttons without trouble
    }

    void enterConfirmsAndResortsTheSiblings() {
        ConfigNode* prefix = positional::settingsLine(*tree, 1);
        startEditing(prefix);
        editor()->selectAll();
        QTest::keyClicks(editor(), "ZZ last");
        QTest::keyClick(editor(), Qt::Key_Return);
        // The delegate commits from the event loop.
        QTRY_COMPARE(prefix->text, QString("ZZ last"));
        QCOMPARE(positional::childTexts(positional::settingsGroup(*tree)),
                 QStringList({"COM1,RS232,9600", "Data Separator,Tab", "ZZ last"}));
        // Roots are not re-sorted by an edit below them.
        QCOMPARE(positional::instrumentAddress(positional::instruments(*tree).first()), QString("02"));
        QCOMPARE(view->currentIndex(), tree->indexOf(prefix));
    }

    // What the file cannot hold, or would read back as another line or level, is refused as it is
    // typed or pasted, and a note says why; the edit goes on, and is stored exactly as typed.
    void refusedCharactersGetANote_data() {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<bool>("pasted");
        QTest::addColumn<QString>("note");
        QTest::newRow("not Latin-1") << QString("\u20ac") << false << QString("\"\u20ac\" cannot be stored");
        QTest::newRow("right-to-left override") << QString("\u202e") << true << QString("cannot be stored");
        QTest::newRow("TAB") << QString("a\tb") << true << QString("Control character 0x09 cannot be stored");
        QTest::newRow("ESC") << QString("\x1b[1m") << true << QString("Control character 0x1B");
        QTest::newRow("a second line") << QString("a\r\nb") << true << QString("Control character 0x0D");
        QTest::newRow("blank at the start") << QString(" ") << false << QString("cannot begin with a blank");
    }
    void refusedCharactersGetANote() {
        QFETCH(QString, typed);
        QFETCH(bool, pasted);
        ConfigNode* prefix = positional::settingsLine(*tree, 1);
        startEditing(prefix);
        editor()->setCursorPosition(0);
        if (pasted) {
            QGuiApplication::clipboard()->setText(typed);
            QTest::keyClick(editor(), Qt::Key_V, Qt::ControlModifier);
        } else {
            QKeyEvent key(QEvent::KeyPress, Qt::Key_unknown, Qt::NoModifier, typed);
            QApplication::sendEvent(editor(), &key);
        }
        QCOMPARE(editor()->text(), QString("Command Prefix,#"));
        QFETCH(QString, note);
        QVERIFY2(QToolTip::text().contains(note), qPrintable(QToolTip::text()));
        QTest::keyClicks(editor(), "Z");
        QTest::keyClick(editor(), Qt::Key_Return);
        QTRY_COMPARE(prefix->text, QString("ZCommand Prefix,#"));
    }

    void anInstrumentEditResortsTheRoots() {
        ConfigNode* b = tree->rootAt(1);
        startEditing(b);
        editor()->setText("Instrument Address 00 (b)");
        QTest::keyClick(editor(), Qt::Key_Enter);
        QTRY_COMPARE(b->text, QString("Instrument Address 00 (b)"));
        QCOMPARE(tree->rootAt(1), b);
        QCOMPARE(tree->rootAt(0)->text, QString("Communication Settings"));
        // Its children came along.
        QCOMPARE(positional::childTexts(b),
                 QStringList({"Channel Configuration", "Data Logging Parameters"}));
        startEditing(b);
        editor()->setText("Instrument Address 03 (b)");
        QTest::keyClick(editor(), Qt::Key_Return);
        QTRY_COMPARE(tree->rootAt(2), b);
    }

    void emptyTextIsTakenAsTyped() {
        ConfigNode* separator = positional::settingsLine(*tree, 2);
        startEditing(separator);
        editor()->clear();
        QTest::keyClick(editor(), Qt::Key_Return);
        QTRY_COMPARE(separator->text, QString());
        QCOMPARE(positional::settingsLine(*tree, 0), separator);
    }

    void escapeChangesNothing() {
        ConfigNode* port = positional::settingsLine(*tree, 0);
        startEditing(port);
        editor()->setText("Zulu");
        QTest::keyClick(editor(), Qt::Key_Escape);
        QTRY_VERIFY(!editor());
        QCOMPARE(port->text, QString("COM1,RS232,9600"));
        QCOMPARE(positional::settingsLine(*tree, 0), port);
    }

    void aClickOnTheSelectedNodeEdits() {
        ConfigNode* port = positional::settingsLine(*tree, 0);
        const QModelIndex idx = tree->indexOf(port);
        view->setCurrentIndex(idx);
        const QPoint at = view->visualRect(idx).center();
        // A second click, not a double click, on the node already selected.
        QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, at, 1000);
        QTRY_VERIFY(editor());
    }
};

QTEST_MAIN(TestConfigView)
#include "test_configview.moc"
