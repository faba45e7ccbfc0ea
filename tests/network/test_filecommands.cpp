#include "ConfigFile.h"
#include "ConfigTree.h"
#include "FakeCommandParts.h"
#include "FakeDialogs.h"
#include "FakeSerialPort.h"
#include "FileCommands.h"
#include "InstrumentChoice.h"
#include "Positional.h"
#include "PrintListing.h"
#include "Sound.h"

#include <QPageSize>
#include <QPrinter>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

namespace {
QStringList flatten(const ConfigTree& tree) {
    QStringList out;
    tree.forEachDepthFirst([&](ConfigNode& n, int depth) { out.append(QString(depth, '>') + n.text); });
    return out;
}

void addInstrument(ConfigTree& tree, const QString& address, const QStringList& channels) {
    ConfigNode* n = tree.appendRoot(positional::instrumentNodeText(address, "917 Version 1.01"));
    ConfigNode* ch = tree.appendChild(n, "Channel Configuration");
    for (const QString& c : channels)
        tree.appendChild(ch, c);
    ConfigNode* log = tree.appendChild(n, "Data Logging Parameters");
    tree.appendChild(log, "SET HYSTERISES,0");
    tree.appendChild(log, "SET LOGSPEC,1,1,OFF,OFF,COMM,ASCII,ON,OFF");
    tree.appendChild(log, "SET PASS,1,1,0,IMM,,,,BURST,1,,");
}
} // namespace

class TestFileCommands : public QObject {
    Q_OBJECT
    FakeClock clock;
    FakeDialogs dialogs;
    platform::SilentSound sound;
    std::unique_ptr<TForm0> form0;
    std::unique_ptr<Services> svc;
    std::unique_ptr<ConfigTree> tree;
    std::unique_ptr<FakePicker> picker;
    std::unique_ptr<FileCommands> files;
    std::unique_ptr<QTemporaryDir> dir;

private slots:
    void init() {
        dialogs = FakeDialogs();
        dir = std::make_unique<QTemporaryDir>();
        form0 = std::make_unique<TForm0>(std::make_unique<FakeSerialPort>(clock), &clock);
        form0->InitialiseVariables(dir->path());
        svc = std::make_unique<Services>(Services{*form0, dialogs, sound});
        tree = std::make_unique<ConfigTree>();
        tree->resetToStartup();
        picker = std::make_unique<FakePicker>();
        files = std::make_unique<FileCommands>(*svc, *tree, *picker, nullptr);
    }

    void newConfigurationSequence() {
        QStringList steps;
        form0->Settings.HostComSpeed = 7;
        form0->Settings.HostCommandPrefix = "$";
        addInstrument(*tree, "05", {});
        files->showCommSettings = [&] { steps << "settings:" + flatten(*tree).join('|'); };
        files->setFinishCaption = [&](const QString& c) { steps << "caption:" + c; };
        int adds = 0;
        files->addInstrument = [&] {
            ++adds;
            steps << "add";
            // OK twice (the second a refused duplicate), then the dialog is cancelled.
            form0->Settings.LastModalResult = adds < 3 ? mrOk : mrCancel;
        };
        const QString target = dir->filePath("new.917");
        dialogs.saveAnswers.push_back(target);
        files->FileNew();
        QCOMPARE(steps,
                 QStringList({"settings:Communication Settings|>COM1,RS232,57600|>Command Prefix,$|>Data "
                              "Separator,Tab",
                              "caption:Update and step to next instrument", "add", "add", "add",
                              "caption:Exit Configuration wizard"}));
        QCOMPARE(dialogs.saveAsked.size(), 1);
        QCOMPARE(form0->Settings.ConfigFileName, target);
        QVERIFY(QFileInfo::exists(target));
    }

    void newConfigurationCancelledAtOnceStillAsksToSave() {
        files->addInstrument = [&] { form0->Settings.LastModalResult = mrCancel; };
        const QString before = form0->Settings.ConfigFileName;
        files->FileNew();
        QCOMPARE(dialogs.saveAsked.size(), 1);
        QCOMPARE(flatten(*tree).size(), 4);
        QCOMPARE(form0->Settings.ConfigFileName, before); // save cancelled
    }

    void saveDialogIsPrepared() {
        form0->Settings.ConfigFileName = dir->filePath("plant/line1.917");
        files->FileSave();
        QCOMPARE(dialogs.saveAsked.size(), 1);
        const platform::FileDialogOptions o = dialogs.saveAsked.first();
        QCOMPARE(o.directory, dir->filePath("plant"));
        QCOMPARE(o.fileName, QString("line1.917"));
        QCOMPARE(o.filters.size(), 5);
        QCOMPARE(o.filters.at(4), QString("Data File (*.TXT)"));
        QCOMPARE(o.filterIndex, 0);
        QCOMPARE(o.defaultSuffix, QString("917"));
        QCOMPARE(o.helpContext, 2003);
        form0->Settings.ConfigFileName = dir->path() + "/";
        files->FileSave();
        QCOMPARE(dialogs.saveAsked.last().fileName, QString("*.917"));
    }

    void saveFailureKeepsTheName() {
        const QString before = form0->Settings.ConfigFileName;
        dialogs.saveAnswers.push_back(dir->filePath("no/such/folder/x.917"));
        files->FileSave();
        QCOMPARE(dialogs.errors,
                 QStringList({"Cannot create file " + dir->filePath("no/such/folder/x.917")}));
        QCOMPARE(form0->Settings.ConfigFileName, before);
    }

    void openTakesTreeAndLinkSettings() {
        addInstrument(*tree, "01", {"SET CHANNEL,001A,OFF,OFF,1,0,0,23,"});
        tree->setText(positional::settingsLine(*tree, 0), "COM2,RS485,19200");
        const QString path = dir->filePath("saved.917");
        QVERIFY(writeConfigFile(*tree, path));
        const QStringList expected = flatten(*tree);

        tree->resetToStartup();
        dialogs.openAnswers.push_back(path);
        files->FileOpen();
        const platform::FileDialogOptions o = dialogs.openAsked.first();
        QCOMPARE(o.title, QString("Open Configuration File"));
        QCOMPARE(o.filters.size(), 4);
        QCOMPARE(o.fileName, QString("*.917"));
        QCOMPARE(o.directory, dir->path());
        QCOMPARE(o.helpContext, 2002);
        QCOMPARE(flatten(*tree), expected);
        QCOMPARE(form0->Settings.HostComPort, 1);
        QCOMPARE(form0->Settings.HostComProtocol, 2);
        QCOMPARE(form0->Settings.HostComSpeed, 5);
        QCOMPARE(form0->Settings.ConfigFileName, path);
        QVERIFY(dialogs.errors.isEmpty());
    }

    void openErrors() {
        // A file that is too deep: the nodes so far stay, the link settings are not taken, and the user
        // learns that the tree is only part of the file, which the timed backup now leaves alone.
        const QString bad = dir->filePath("bad.917");
        QFile f(bad);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write("Communication Settings\r\n\tCOM2,RS485,57600\r\n\t\t\tdeep\r\n");
        f.close();
        dialogs.openAnswers.push_back(bad);
        files->FileOpen();
        // The box holds the message alone; where loading stopped, and the hold, are a note beside it.
        const QString held =
            " The timed backup will not write to this file until you save the configuration.";
        QCOMPARE(dialogs.errors, QStringList({"Invalid level (3) for item \"deep\""}));
        QCOMPARE(files->loadNote(),
                 "Loading stopped at line 3; that line and the ones after it were not loaded." + held);
        QCOMPARE(flatten(*tree), QStringList({"Communication Settings", ">COM2,RS485,57600"}));
        QCOMPARE(form0->Settings.HostComPort, 0);
        QVERIFY(form0->Settings.ConfigFileIncomplete);

        // Cancel changes nothing.
        dialogs.errors.clear();
        files->FileOpen();
        QCOMPARE(flatten(*tree).size(), 2);
        QVERIFY(dialogs.errors.isEmpty());

        // A NUL byte ends the text without a box; the link settings are taken as usual.
        QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
        f.write(QByteArrayLiteral("Communication Settings\r\n\tCOM2,RS485,57600\r\n\0lost\r\n"));
        f.close();
        dialogs.openAnswers.push_back(bad);
        files->FileOpen();
        QVERIFY(dialogs.errors.isEmpty());
        QCOMPARE(files->loadNote(),
                 "Loading stopped at line 3 at a NUL byte; what follows it was not loaded." + held);
        QCOMPARE(form0->Settings.HostComPort, 1);
        QVERIFY(form0->Settings.ConfigFileIncomplete);

        // Saving it explicitly ends the hold.
        dialogs.saveAnswers.push_back(bad);
        files->FileSave();
        QVERIFY(!form0->Settings.ConfigFileIncomplete);
        QVERIFY(files->loadNote().isEmpty());
    }

    void layoutRules() {
        ListingMetrics m;
        m.textHeight = 8;
        m.pageWidth = 100;
        m.pageHeight = 50;
        m.textWidth = [](const QString& s) { return int(s.size()) * 10; };
        const QList<PlacedLine> placed = layoutListing({"short", "0123456789abcdefghijKLM", "", "x", "y"}, m);
        QStringList texts;
        QList<int> pages, ys;
        for (const PlacedLine& l : placed) {
            texts << l.text;
            pages << l.page;
            ys << l.y;
        }
        QCOMPARE(texts, QStringList({"short", "0123456789", "abcdefghij", "KLM", "", "x", "y"}));
        // Pitch 10; a line may start at 30 (= 50 - 2 pitches) but not at 40.
        QCOMPARE(ys, QList<int>({0, 10, 20, 30, 0, 10, 20}));
        QCOMPARE(pages, QList<int>({0, 0, 0, 0, 1, 1, 1}));
    }

    void listingOfOneInstrument() {
        addInstrument(*tree, "01", {});
        addInstrument(*tree, "02", {"SET CHANNEL,001A,ON,OFF,10,0,0,30,100"});
        QCOMPARE(
            listingLines(positional::instruments(*tree).at(0)),
            QStringList({"Instrument Address 01 (917 Version 1.01)", "SET HYSTERISES,0",
                         "SET LOGSPEC,1,1,OFF,OFF,COMM,ASCII,ON,OFF", "SET PASS,1,1,0,IMM,,,,BURST,1,,"}));
        ConfigNode* bare = tree->appendRoot("Instrument Address 03 (x)");
        QCOMPARE(listingLines(bare), QStringList({"Instrument Address 03 (x)"}));
    }

    void printsToPdf() {
        if (QStandardPaths::findExecutable("pdftotext").isEmpty())
            QSKIP("pdftotext (poppler-utils) is not installed");
        QStringList channels;
        for (int i = 1; i <= 40; ++i)
            channels << QString("SET CHANNEL,%1A,ON,OFF,1,0,0,23,").arg(i, 3, 10, QChar('0'));
        channels << "SET CHANNEL,999A," + QString("LONG").repeated(60);
        addInstrument(*tree, "07", channels);
        picker->choose = 0;
        const QString pdf = dir->filePath("listing.pdf");
        files->printer().setOutputFormat(QPrinter::PdfFormat);
        files->printer().setOutputFileName(pdf);
        files->printer().setPageSize(QPageSize(QPageSize::A6));
        files->FilePrint();
        QCOMPARE(picker->caption, QString("Print Instrument Configuration"));
        QCOMPARE(picker->helpContext, 2006);
        QVERIFY(dialogs.errors.isEmpty());
        QProcess p;
        p.start("pdftotext", {"-layout", pdf, "-"});
        QVERIFY(p.waitForFinished(20000));
        const QString text = QString::fromLatin1(p.readAllStandardOutput());
        QVERIFY(text.contains("Instrument Address 07 (917 Version 1.01)"));
        QVERIFY(!text.contains("Channel Configuration"));
        QVERIFY(!text.contains("Data Logging Parameters"));
        QVERIFY(text.indexOf("SET CHANNEL,001A") < text.indexOf("SET CHANNEL,040A"));
        QVERIFY(text.indexOf("SET CHANNEL,040A") < text.indexOf("SET HYSTERISES,0"));
        QVERIFY(text.indexOf("SET LOGSPEC") < text.indexOf("SET PASS"));
        // The long record was broken over several printed lines, and the listing over several pages.
        const QStringList printed = text.split('\n');
        int longPieces = 0;
        for (const QString& l : printed)
            if (l.contains("LONGLONG"))
                ++longPieces;
        QVERIFY(longPieces >= 2);
        QVERIFY(text.count('\f') >= 2);
    }

    void printWithoutPrinterSaysSo() {
        addInstrument(*tree, "01", {});
        files->printer().setOutputFormat(QPrinter::PdfFormat);
        files->printer().setOutputFileName(QString());
        files->FilePrint();
        QCOMPARE(dialogs.errors.size(), 1);
        QVERIFY(dialogs.errors.first().contains("Print Setup"));
        picker->result = mrCancel;
        dialogs.errors.clear();
        files->FilePrint();
        QVERIFY(dialogs.errors.isEmpty());
    }
};

QTEST_MAIN(TestFileCommands)
#include "test_filecommands.moc"
