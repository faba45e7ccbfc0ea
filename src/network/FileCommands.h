#pragma once

#include "Unit0.h"

#include <QObject>
#include <QStringList>

#include <functional>
#include <memory>

class ConfigTree;
class InstrumentPicker;
class QPrinter;
class QWidget;

// The file types of the open and save dialogs; the fifth ("Data File") is offered only when saving,
// and data logging selects it.
QStringList configFileFilters();
inline constexpr int kDataFileFilterIndex = 4;

// The folder part of a path without its trailing separator, and the name part after it.
QString folderPart(const QString& path);
QString namePart(const QString& path);

// The File menu: new configuration, open, save, print one instrument, print set-up.
class FileCommands : public QObject {
    Q_OBJECT
public:
    FileCommands(Services& services, ConfigTree& tree, InstrumentPicker& picker, QWidget* window,
                 QObject* parent = nullptr);
    ~FileCommands() override;

    void FileNew();
    void FileOpen();
    // True when it wrote the file.
    bool FileSave();
    // The New and Open menu commands: they ask before an edited configuration is replaced.
    void FileNewClick();
    void FileOpenClick();
    // Opens the file named at start-up as Open does after its dialog, so also without asking.
    void openFile(const QString& path);

    // Whether the configuration differs from what was last created, opened or saved.
    bool isModified() const { return modified; }
    // Asks Save, Discard or Cancel when the configuration was changed; true when the caller may go
    // on (nothing changed, discarded, or saved).
    bool maybeSave();
    // The configuration now matches its file (after a backup to that file, for example).
    void markSaved();
    void FilePrint();
    void FilePrintSetup();
    // Prints the lines on the printer chosen in Print Setup, or says why it cannot. On success the
    // status bar gets done(where), where being "on <printer>" or "to the file <name>".
    bool printLines(QWidget* parent, const QStringList& lines,
                    const std::function<QString(const QString&)>& done);
    // The same writer as Save, without a dialog; reports "Cannot create file %s" on failure.
    bool writeTo(const QString& path);

    QPrinter& printer() { return *printerDevice; }

    // Steps of the new-configuration sequence that other commands own.
    std::function<void()> showCommSettings;               // the link settings dialog (Form2Show)
    std::function<void()> addInstrument;                  // the add-instrument command (EditAddItemClick)
    std::function<void(const QString&)> setFinishCaption; // caption of the wizard's last OK button
    std::function<void(const QString&)> showMessage;      // a short status-bar note of what was done

signals:
    // The modified state or the file name may have changed.
    void documentChanged();

private:
    void rebuildSettingsGroup();
    void treeChanged();

    Services& svc;
    ConfigTree& tree;
    InstrumentPicker& picker;
    QWidget* window;
    std::unique_ptr<QPrinter> printerDevice;
    QByteArray savedContent;
    bool modified = false;
};
