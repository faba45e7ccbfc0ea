#include "Dialogs.h"

#include "HelpViewer.h"

#include <QApplication>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QFileSystemModel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPrintDialog>
#include <QPrinter>
#include <QPushButton>
#include <QRegularExpression>
#include <QSortFilterProxyModel>

namespace platform {

namespace {

void showBox(QWidget* parent, QMessageBox::Icon icon, const QString& title, const QString& text) {
    QMessageBox box(icon, title, text, QMessageBox::Ok, parent ? parent : QApplication::activeWindow());
    // Texts carry file names, file contents and instrument replies: never rendered as markup.
    box.setTextFormat(Qt::PlainText);
    box.exec();
}

bool isMask(const QString& text) {
    return text.contains(QLatin1Char('*')) || text.contains(QLatin1Char('?'));
}

// A mask typed in the name field lists only the files it matches, on top of the chosen file type;
// folders always show, so the user can still move around.
class MaskFilter final : public QSortFilterProxyModel {
public:
    using QSortFilterProxyModel::QSortFilterProxyModel;
    void setMask(const QString& mask) {
        pattern = QRegularExpression(QRegularExpression::wildcardToRegularExpression(mask),
                                     QRegularExpression::CaseInsensitiveOption);
        invalidateFilter();
    }

protected:
    bool filterAcceptsRow(int row, const QModelIndex& parent) const override {
        const auto* files = qobject_cast<const QFileSystemModel*>(sourceModel());
        if (!files || !pattern.isValid() || pattern.pattern().isEmpty())
            return true;
        const QModelIndex index = files->index(row, 0, parent);
        return files->isDir(index) || pattern.match(files->fileName(index)).hasMatch();
    }

private:
    QRegularExpression pattern;
};

class FileDialog final : public QFileDialog {
public:
    using QFileDialog::QFileDialog;
    MaskFilter* mask = nullptr;
    QLineEdit* nameField = nullptr;

    void accept() override {
        // As on the platform the patterns come from: a mask and Enter filter the list, they choose nothing.
        if (nameField && mask && isMask(nameField->text())) {
            mask->setMask(nameField->text());
            return;
        }
        QFileDialog::accept();
    }
};

std::optional<QString> runFileDialog(QWidget* parent, const FileDialogOptions& o, bool save) {
    FileDialog dialog(parent ? parent : QApplication::activeWindow());
    if (!o.title.isEmpty())
        dialog.setWindowTitle(o.title);
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    dialog.setAcceptMode(save ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
    dialog.setFileMode(save ? QFileDialog::AnyFile : QFileDialog::ExistingFile);
    dialog.mask = new MaskFilter(&dialog);
    dialog.setProxyModel(dialog.mask);
    dialog.setNameFilters(o.filters);
    if (o.filterIndex >= 0 && o.filterIndex < o.filters.size())
        dialog.selectNameFilter(o.filters.at(o.filterIndex));
    if (!o.directory.isEmpty())
        dialog.setDirectory(o.directory);
    dialog.setDefaultSuffix(o.defaultSuffix);
    dialog.setProperty("helpContext", o.helpContext);
    dialog.nameField = dialog.findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
    if (!o.fileName.isEmpty()) {
        dialog.selectFile(o.fileName);
        if (isMask(o.fileName)) {
            dialog.mask->setMask(o.fileName);
            if (dialog.nameField)
                dialog.nameField->setText(o.fileName);
        }
    }
    if (dialog.nameField) {
        // Enter with a mask must filter even while the open button is disabled for want of a file.
        QObject::connect(dialog.nameField, &QLineEdit::returnPressed, &dialog, [&dialog] {
            if (isMask(dialog.nameField->text()))
                dialog.mask->setMask(dialog.nameField->text());
        });
    }
    if (auto* buttons = dialog.findChild<QDialogButtonBox*>(QStringLiteral("buttonBox"))) {
        buttons->addButton(QDialogButtonBox::Help);
        // The same help as F1 in this dialog: its help context.
        QObject::connect(buttons, &QDialogButtonBox::helpRequested, &dialog,
                         [&dialog] { requestHelpFor(&dialog); });
    }
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return std::nullopt;
    return dialog.selectedFiles().constFirst();
}

} // namespace

void QtDialogService::error(QWidget* parent, const QString& text) {
    showBox(parent, QMessageBox::Critical, QCoreApplication::translate("Dialogs", "Error"), text);
}

void QtDialogService::information(QWidget* parent, const QString& text) {
    showBox(parent, QMessageBox::Information, QCoreApplication::translate("Dialogs", "Information"), text);
}

std::optional<QString> QtDialogService::openFileName(QWidget* parent, const FileDialogOptions& options) {
    return runFileDialog(parent, options, false);
}

std::optional<QString> QtDialogService::saveFileName(QWidget* parent, const FileDialogOptions& options) {
    return runFileDialog(parent, options, true);
}

bool QtDialogService::printerSetup(QWidget* parent, QPrinter& printer) {
    // Qt's print dialog chooses the printer and its options but prints nothing itself; as a set-up
    // dialog it confirms with OK and offers nothing that only concerns one print job.
    QPrintDialog dialog(&printer, parent ? parent : QApplication::activeWindow());
    dialog.setWindowTitle(QCoreApplication::translate("Dialogs", "Print Setup"));
    dialog.setOption(QAbstractPrintDialog::PrintPageRange, false);
    dialog.setOption(QAbstractPrintDialog::PrintSelection, false);
    dialog.setOption(QAbstractPrintDialog::PrintCurrentPage, false);
    dialog.setOption(QAbstractPrintDialog::PrintToFile, true);
    for (auto* buttons : dialog.findChildren<QDialogButtonBox*>())
        if (QPushButton* ok = buttons->button(QDialogButtonBox::Ok))
            ok->setText(QCoreApplication::translate("Dialogs", "OK"));
    return dialog.exec() == QDialog::Accepted;
}

SaveChoice QtDialogService::askSaveChanges(QWidget* parent, const QString& text) {
    QMessageBox box(QMessageBox::Warning, QCoreApplication::translate("Dialogs", "Save Changes"), text,
                    QMessageBox::Save | QMessageBox::Discard | QMessageBox::Cancel,
                    parent ? parent : QApplication::activeWindow());
    box.setTextFormat(Qt::PlainText);
    box.setDefaultButton(QMessageBox::Save);
    box.setEscapeButton(QMessageBox::Cancel);
    switch (box.exec()) {
    case QMessageBox::Save:
        return SaveChoice::Save;
    case QMessageBox::Discard:
        return SaveChoice::Discard;
    default:
        return SaveChoice::Cancel;
    }
}

} // namespace platform
