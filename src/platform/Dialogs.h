#pragma once

#include <QString>
#include <QStringList>

#include <optional>

class QWidget;
class QPrinter;

namespace platform {

struct FileDialogOptions {
    QString title;         // empty: the toolkit's own
    QStringList filters;   // "917 Configuration File (*.917)", ...
    int filterIndex = 0;   // selected entry
    QString directory;     // initial folder; empty: the dialog's default
    QString fileName;      // preset name, or a mask such as "*.917" that lists only matching files
    QString defaultSuffix; // "917", "TXT"
    int helpContext = 0;   // F1 topic, also shown by the dialog's Help button
};

enum class SaveChoice { Save, Discard, Cancel };

// Every message box, file dialog and printer set-up goes through here, so tests can answer them.
class DialogService {
public:
    virtual ~DialogService() = default;
    virtual void error(QWidget* parent, const QString& text) = 0;
    virtual void information(QWidget* parent, const QString& text) = 0;
    // Open: the folder and the file must exist.
    virtual std::optional<QString> openFileName(QWidget* parent, const FileDialogOptions& options) = 0;
    // Save: asks before replacing an existing file.
    virtual std::optional<QString> saveFileName(QWidget* parent, const FileDialogOptions& options) = 0;
    // The printer set-up dialog; true when confirmed.
    virtual bool printerSetup(QWidget* parent, QPrinter& printer) = 0;
    // Before an edited configuration is replaced or the program ends.
    virtual SaveChoice askSaveChanges(QWidget* parent, const QString& text) = 0;
};

class QtDialogService final : public DialogService {
public:
    void error(QWidget* parent, const QString& text) override;
    void information(QWidget* parent, const QString& text) override;
    std::optional<QString> openFileName(QWidget* parent, const FileDialogOptions& options) override;
    std::optional<QString> saveFileName(QWidget* parent, const FileDialogOptions& options) override;
    bool printerSetup(QWidget* parent, QPrinter& printer) override;
    SaveChoice askSaveChanges(QWidget* parent, const QString& text) override;
};

} // namespace platform
