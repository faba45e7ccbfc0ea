#include "FileCommands.h"

#include "ConfigFile.h"
#include "ConfigTree.h"
#include "Dialogs.h"
#include "InstrumentChoice.h"
#include "Positional.h"
#include "PrintListing.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QPrinter>
#include <QPrinterInfo>

QStringList configFileFilters() {
    // Only the names are offered for translation: the patterns are what the dialog matches.
    const auto filter = [](const char* name, const char* pattern) {
        return QCoreApplication::translate("FileCommands", name) + QLatin1String(" (") +
               QLatin1String(pattern) + QLatin1Char(')');
    };
    return {filter(QT_TRANSLATE_NOOP("FileCommands", "917 Configuration File"), "*.917"),
            filter(QT_TRANSLATE_NOOP("FileCommands", "W586 Configuration File"), "*.586"),
            filter(QT_TRANSLATE_NOOP("FileCommands", "Instrumentation Text File"), "*.TXT"),
            filter(QT_TRANSLATE_NOOP("FileCommands", "Kov Configuration File"), "*.CFG"),
            filter(QT_TRANSLATE_NOOP("FileCommands", "Data File"), "*.TXT")};
}

QString folderPart(const QString& path) {
    const qsizetype slash = path.lastIndexOf(QLatin1Char('/'));
    if (slash < 0)
        return QString();
    return slash == 0 ? QStringLiteral("/") : path.left(slash);
}

QString namePart(const QString& path) {
    return path.mid(path.lastIndexOf(QLatin1Char('/')) + 1);
}

FileCommands::FileCommands(Services& services, ConfigTree& tree, InstrumentPicker& picker, QWidget* window,
                           QObject* parent)
    : QObject(parent), svc(services), tree(tree), picker(picker), window(window),
      printerDevice(std::make_unique<QPrinter>(QPrinter::HighResolution)) {
    // Compared by content, so lines rewritten with the same text (the link settings confirmed
    // unchanged, the wizard left without edits) are no change.
    connect(&tree, &ConfigTree::rowsInserted, this, &FileCommands::treeChanged);
    connect(&tree, &ConfigTree::rowsRemoved, this, &FileCommands::treeChanged);
    connect(&tree, &ConfigTree::rowsMoved, this, &FileCommands::treeChanged);
    connect(&tree, &ConfigTree::dataChanged, this, &FileCommands::treeChanged);
    connect(&tree, &ConfigTree::modelReset, this, &FileCommands::treeChanged);
    connect(&tree, &ConfigTree::layoutChanged, this, &FileCommands::treeChanged);
    markSaved();
    // Without any printer on the machine the listing still goes somewhere useful.
    if (QPrinterInfo::availablePrinters().isEmpty()) {
        printerDevice->setOutputFormat(QPrinter::PdfFormat);
        printerDevice->setOutputFileName(QString());
    }
}

FileCommands::~FileCommands() = default;

void FileCommands::treeChanged() {
    // Once changed it stays so until saved: a large tree is not written out again on every edit.
    if (modified || serializeConfig(tree) == savedContent)
        return;
    modified = true;
    emit documentChanged();
}

void FileCommands::markSaved() {
    savedContent = serializeConfig(tree);
    modified = false;
    emit documentChanged();
}

bool FileCommands::maybeSave() {
    if (!modified)
        return true;
    switch (svc.dialogs.askSaveChanges(
        window, tr("The configuration has been changed. Do you want to save the changes?"))) {
    case platform::SaveChoice::Save:
        return FileSave();
    case platform::SaveChoice::Discard:
        return true;
    case platform::SaveChoice::Cancel:
        break;
    }
    return false;
}

void FileCommands::FileNewClick() {
    if (maybeSave())
        FileNew();
}

void FileCommands::FileOpenClick() {
    if (maybeSave())
        FileOpen();
}

void FileCommands::rebuildSettingsGroup() {
    const SharedSettings& s = svc.settings();
    tree.beginBulkChange();
    ConfigNode* group = tree.appendRoot(QStringLiteral("Communication Settings"));
    tree.appendChild(group, comPortText(s.HostComPort) + QLatin1Char(',') +
                                comProtocolText(s.HostComProtocol) + QLatin1Char(',') +
                                comSpeedText(s.HostComSpeed));
    tree.appendChild(group, QStringLiteral("Command Prefix,") + s.HostCommandPrefix);
    tree.appendChild(group, QStringLiteral("Data Separator,") + s.HostDataSeparator.Name);
    tree.endBulkChange();
}

void FileCommands::FileNew() {
    tree.clear();
    rebuildSettingsGroup();
    markSaved();
    if (showCommSettings)
        showCommSettings();
    if (setFinishCaption)
        setFinishCaption(tr("Update and step to next instrument"));
    if (addInstrument) {
        do {
            svc.settings().LastModalResult = mrCancel;
            addInstrument();
        } while (svc.settings().LastModalResult == mrOk);
    }
    FileSave();
    if (setFinishCaption)
        setFinishCaption(tr("Exit Configuration wizard"));
}

void FileCommands::FileOpen() {
    SharedSettings& s = svc.settings();
    platform::FileDialogOptions o;
    o.title = tr("Open Configuration File");
    o.filters = configFileFilters().mid(0, 4);
    o.filterIndex = 0;
    o.directory = folderPart(s.ConfigFileName);
    o.fileName = QStringLiteral("*.917");
    o.defaultSuffix = QStringLiteral("917");
    o.helpContext = 2002;
    const std::optional<QString> chosen = svc.dialogs.openFileName(window, o);
    if (chosen)
        openFile(*chosen);
}

void FileCommands::openFile(const QString& path) {
    SharedSettings& s = svc.settings();
    s.ConfigFileName = path;
    s.ConfigFileIncomplete = false;
    if (!QFileInfo::exists(path)) {
        FileNew();
        return;
    }
    tree.clear();
    const ConfigReadResult r = readConfigFile(tree, path);
    // What is shown now is what the file holds, or as much of it as could be read.
    markSaved();
    if (!r.wholeFileRead()) {
        // The tree is not the file: a backup now would overwrite the file with the part read.
        s.ConfigFileIncomplete = true;
        svc.dialogs.error(window, r.errorMessage + tr("\nThe timed backup will not write to this file "
                                                      "until you save the configuration."));
    }
    if (r.ok)
        takeLinkSettings(tree, s);
}

bool FileCommands::FileSave() {
    SharedSettings& s = svc.settings();
    platform::FileDialogOptions o;
    o.filters = configFileFilters();
    o.filterIndex = 0;
    o.directory = folderPart(s.ConfigFileName);
    o.fileName = namePart(s.ConfigFileName);
    if (o.fileName.isEmpty())
        o.fileName = QStringLiteral("*.917");
    o.defaultSuffix = QStringLiteral("917");
    o.helpContext = 2003;
    const std::optional<QString> chosen = svc.dialogs.saveFileName(window, o);
    if (!chosen || !writeTo(*chosen))
        return false;
    s.ConfigFileName = *chosen;
    s.ConfigFileIncomplete = false;
    markSaved();
    return true;
}

bool FileCommands::writeTo(const QString& path) {
    QString message;
    if (writeConfigFile(tree, path, &message))
        return true;
    svc.dialogs.error(window, message);
    return false;
}

void FileCommands::FilePrint() {
    const InstrumentChoiceResult choice =
        chooseInstrument(picker, tree, tr("Print Instrument Configuration"), 2006);
    if (!choice.node)
        return;
    const QString instrument = positional::listEntry(choice.node);
    printLines(window, listingLines(choice.node), [&instrument](const QString& where) {
        return tr("Instrument %1 printed %2").arg(instrument, where);
    });
}

bool FileCommands::printLines(QWidget* parent, const QStringList& lines,
                              const std::function<QString(const QString&)>& done) {
    QPrinter& p = *printerDevice;
    if (p.outputFormat() == QPrinter::PdfFormat && p.outputFileName().isEmpty()) {
        svc.dialogs.error(parent, tr("No printer is available. Choose a printer, or printing to a PDF "
                                     "file, in Print Setup."));
        return false;
    }
    QString message;
    if (!printListing(p, lines, &message)) {
        svc.dialogs.error(parent, message);
        return false;
    }
    if (showMessage && done) {
        const QString where = p.outputFormat() == QPrinter::PdfFormat
                                  ? tr("to the file %1").arg(p.outputFileName())
                                  : tr("on %1").arg(p.printerName());
        showMessage(done(where));
    }
    return true;
}

void FileCommands::FilePrintSetup() {
    svc.dialogs.printerSetup(window, *printerDevice);
}
