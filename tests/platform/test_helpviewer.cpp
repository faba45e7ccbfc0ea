#include "Dialogs.h"
#include "HelpViewer.h"
#include "ModalHelper.h"

#include <QApplication>
#include <QDialog>
#include <QDialogButtonBox>
#include <QDir>
#include <QFileInfo>
#include <QLineEdit>
#include <QListView>
#include <QMenu>
#include <QMessageBox>
#include <QPushButton>
#include <QRegularExpression>
#include <QScopeGuard>
#include <QTemporaryDir>
#include <QTextBrowser>
#include <QVBoxLayout>
#include <QtTest>

#include <sys/stat.h>

namespace {

class FakeHelp final : public platform::HelpViewer {
public:
    void showContents() override { asked.append(0); }
    void showTopic(int context) override { asked.append(context); }
    QList<int> asked;
};

// The pages as delivered beside the program by the build.
QString helpFolder() {
    return qEnvironmentVariable("V917_HELP_DIR");
}

QString readPage(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? QString::fromUtf8(f.readAll()) : QString();
}

} // namespace

class TestHelpViewer : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { QVERIFY2(!helpFolder().isEmpty(), "V917_HELP_DIR is not set"); }

    void everyHelpContextHasAPage_data() {
        QTest::addColumn<int>("context");
        for (int n : {1001, 1003, 2001, 2002, 2003, 2005, 2006, 2008, 3001, 3002, 3003,
                      4001, 4002, 4003, 4004, 4005, 4006, 4010, 5017, 5022, 5023})
            QTest::addRow("%d", n) << n;
    }
    void everyHelpContextHasAPage() {
        QFETCH(int, context);
        const QString path = QDir(helpFolder()).filePath(platform::helpTopicFileName(context));
        QVERIFY2(QFileInfo::exists(path), qPrintable(path));
        const QString page = readPage(path);
        QVERIFY(page.contains("<h1>"));
        // Each topic is reachable from the contents page too.
        const QString contents = readPage(QDir(helpFolder()).filePath(platform::helpContentsFileName()));
        QVERIFY2(contents.contains("href=\"" + platform::helpTopicFileName(context) + "\""),
                 qPrintable(platform::helpTopicFileName(context)));
    }

    void everyLinkLeadsToAPage() {
        const QDir folder(helpFolder());
        const QStringList pages = folder.entryList({"*.html"}, QDir::Files);
        QVERIFY(pages.contains(platform::helpContentsFileName()));
        static const QRegularExpression href("href=\"([^\"#]*)(#[^\"]*)?\"");
        for (const QString& name : pages) {
            const QString page = readPage(folder.filePath(name));
            QVERIFY2(page.contains("<title>"), qPrintable(name));
            for (auto it = href.globalMatch(page); it.hasNext();) {
                const QString target = it.next().captured(1);
                if (target.isEmpty() || target.startsWith("http"))
                    continue;
                QVERIFY2(pages.contains(target), qPrintable(name + " -> " + target));
            }
        }
    }

    void viewerShowsTopicOrContents() {
        platform::BrowserHelpViewer viewer(helpFolder());
        viewer.showTopic(4010);
        QVERIFY(viewer.window()->isVisible());
        QCOMPARE(viewer.currentPage().fileName(), QString("topic4010.html"));
        QVERIFY(viewer.browser()->toPlainText().contains("Timed Backup"));
        viewer.showContents();
        QCOMPARE(viewer.currentPage().fileName(), platform::helpContentsFileName());
        // A number without a page opens the contents rather than nothing.
        viewer.showTopic(4321);
        QCOMPARE(viewer.currentPage().fileName(), platform::helpContentsFileName());
        viewer.window()->hide();
    }

    // Message texts carry file names, file contents and instrument replies: shown as they stand, never
    // as markup, or a crafted reply could draw a box of its own.
    void messageBoxesShowPlainText() {
        platform::QtDialogService dialogs;
        const QString text =
            "Instrument '#00 <b>917 Version</b><br>Firmware update required' has been located";
        for (const bool error : {true, false}) {
            Qt::TextFormat format = Qt::AutoText;
            whenModal([&](QWidget* w) {
                auto* box = qobject_cast<QMessageBox*>(w);
                QVERIFY(box);
                format = box->textFormat();
                box->accept();
            });
            error ? dialogs.error(nullptr, text) : dialogs.information(nullptr, text);
            QCOMPARE(format, Qt::PlainText);
        }
    }

    // Missing pages, and a FIFO in a page's place (which would hold the read for good), say so.
    void missingPagesSaySo() {
        QTemporaryDir empty;
        platform::BrowserHelpViewer viewer(empty.path());
        viewer.showTopic(1001);
        QVERIFY(viewer.window()->isVisible());
        QVERIFY(viewer.browser()->toPlainText().contains("Help is not available"));
        QCOMPARE(::mkfifo(QFile::encodeName(empty.filePath("contents.html")).constData(), 0600), 0);
        viewer.showContents();
        QVERIFY(viewer.browser()->toPlainText().contains("Help is not available"));
        viewer.window()->hide();
    }

    void helpAboveAModalDialogTakesInput() {
        platform::BrowserHelpViewer viewer(helpFolder());
        QDialog dialog;
        bool wasModal = false;
        whenModal([&](QWidget*) {
            viewer.showTopic(1003);
            wasModal = viewer.window()->windowModality() == Qt::ApplicationModal &&
                       QApplication::activeModalWidget() == viewer.window();
            viewer.window()->hide();
            dialog.reject();
        });
        dialog.exec();
        QVERIFY(wasModal);
        // Outside a modal dialog the help is an ordinary window again.
        viewer.showContents();
        QCOMPARE(viewer.window()->windowModality(), Qt::NonModal);
        viewer.window()->hide();
    }

    void contextOfControlGroupOrWindow() {
        QWidget window;
        window.setProperty("helpContext", 3003);
        auto* group = new QWidget(&window);
        group->setProperty("helpContext", 5022);
        auto* inGroup = new QLineEdit(group);
        auto* own = new QLineEdit(group);
        own->setProperty("helpContext", 5023);
        auto* plain = new QLineEdit(&window);
        QCOMPARE(platform::helpContextOf(own), 5023);
        QCOMPARE(platform::helpContextOf(inGroup), 5022);
        QCOMPARE(platform::helpContextOf(plain), 3003);
        QWidget bare;
        QCOMPARE(platform::helpContextOf(&bare), 0);
        QCOMPARE(platform::helpContextOf(nullptr), 0);
    }

    void f1AsksForTheFocusedControl() {
        FakeHelp help;
        platform::HelpKey key(help);
        QWidget window;
        window.setProperty("helpContext", 4001);
        auto* layout = new QVBoxLayout(&window);
        auto* own = new QLineEdit(&window);
        own->setProperty("helpContext", 5017);
        auto* plain = new QLineEdit(&window);
        layout->addWidget(own);
        layout->addWidget(plain);
        window.show();
        QVERIFY(QTest::qWaitForWindowActive(&window));
        own->setFocus();
        QTest::keyClick(own, Qt::Key_F1);
        plain->setFocus();
        QTest::keyClick(plain, Qt::Key_F1);
        QCOMPARE(help.asked, (QList<int>{5017, 4001}));
        // F1 is taken by the help, not typed into the field.
        QVERIFY(plain->text().isEmpty());

        window.setProperty("helpContext", QVariant());
        QTest::keyClick(plain, Qt::Key_F1);
        QCOMPARE(help.asked.last(), 0); // nothing to go by: the contents
    }

    // The real file dialog: its Help button shows its help context, and a mask in the name field
    // lists only the files it matches rather than choosing one.
    void fileDialogHelpButtonAndMask() {
        QTemporaryDir dir;
        for (const char* name : {"plant.917", "notes.TXT"}) {
            QFile f(dir.filePath(name));
            QVERIFY(f.open(QIODevice::WriteOnly));
        }
        FakeHelp help;
        platform::HelpKey key(help);
        platform::FileDialogOptions o;
        o.filters = QStringList{"Any File (*)"};
        o.directory = dir.path();
        o.fileName = "*.917";
        o.helpContext = 2002;
        QString preset;
        QStringList before, after;
        bool stayedOpen = false;
        whenModal([&](QWidget* d) {
            const auto close = qScopeGuard([d] { static_cast<QDialog*>(d)->reject(); });
            auto* name = d->findChild<QLineEdit*>("fileNameEdit");
            auto* list = d->findChild<QListView*>("listView");
            auto listed = [list] {
                QStringList names;
                for (int r = 0; r < list->model()->rowCount(list->rootIndex()); ++r)
                    names << list->model()->index(r, 0, list->rootIndex()).data().toString();
                return names;
            };
            preset = name->text();
            QTRY_VERIFY(!listed().isEmpty());
            before = listed();
            QTest::mouseClick(d->findChild<QDialogButtonBox*>("buttonBox")->button(QDialogButtonBox::Help),
                              Qt::LeftButton);
            name->setText("*.txt");
            QTest::keyClick(name, Qt::Key_Return);
            QTRY_COMPARE(listed(), QStringList{"notes.TXT"});
            after = listed();
            stayedOpen = d->isVisible();
        });
        platform::QtDialogService dialogs;
        QVERIFY(!dialogs.openFileName(nullptr, o));
        QCOMPARE(preset, QString("*.917"));
        QCOMPARE(before, QStringList{"plant.917"});
        QCOMPARE(after, QStringList{"notes.TXT"});
        QVERIFY(stayedOpen);
        QCOMPARE(help.asked, QList<int>{2002});
    }

    void f1OnAHighlightedMenuItem() {
        FakeHelp help;
        platform::HelpKey key(help);
        QWidget window;
        window.setProperty("helpContext", 1001);
        window.show();
        QVERIFY(QTest::qWaitForWindowActive(&window));
        QMenu menu(&window);
        QAction* open = menu.addAction("&Open existing configuration file");
        open->setProperty("helpContext", 2002);
        menu.addAction("Plain");
        menu.popup(window.mapToGlobal(QPoint(10, 10)));
        QTRY_VERIFY(menu.isVisible());
        menu.setActiveAction(open);
        QTest::keyClick(&menu, Qt::Key_F1);
        QCOMPARE(help.asked, QList<int>{2002});
        QTRY_VERIFY(!menu.isVisible());
    }
};

QTEST_MAIN(TestHelpViewer)
#include "test_helpviewer.moc"
