#include "Dialogs.h"

#include <QApplication>
#include <QFileDialog>
#include <QMessageBox>
#include <QPrintDialog>
#include <QPrinter>

namespace platform {

namespace {

void showBox(QWidget* parent, QMessageBox::Icon icon, const QString& title, const QString& text) {
    QMessageBox box(icon, title, text, QMessageBox::Ok, parent ? parent : QApplication::activeWindow());
    // Texts carry file names, file contents and instrument replies: never rendered as markup.
    box.setTextFormat(Qt::PlainText);
    box.exec();
}

std::optional<QString> runFileDialog(QWidget* parent, const FileDialogOptions& o, bool save) {
    QFileDialog dialog(parent ? parent : QApplication::activeWindow());
    if (!o.title.isEmpty())
        dialog.setWindowTitle(o.title);
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    dialog.setAcceptMode(save ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
    dialog.setFileMode(save ? QFileDialog::AnyFile : QFileDialog::ExistingFile);
    dialog.setNameFilters(o.filters);
    if (o.filterIndex >= 0 && o.filterIndex < o.filters.size())
        dialog.selectNameFilter(o.filters.at(o.filterIndex));
    if (!o.directory.isEmpty())
        dialog.setDirectory(o.directory);
    dialog.setDefaultSuffix(o.defaultSuffix);
    dialog.setProperty("helpContext", o.helpContext);
    if (!o.fileName.isEmpty() && !o.fileName.contains(QLatin1Char('*')))
        dialog.selectFile(o.fileName);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return std::nullopt;
    return dialog.selectedFiles().constFirst();
}

} // namespace

void QtDialogService::error(QWidget* parent, const QString& text) {
    showBox(parent, QMessageBox::Critical, QStringLiteral("Error"), text);
}

void QtDialogService::information(QWidget* parent, const QString& text) {
    showBox(parent, QMessageBox::Information, QStringLiteral("Information"), text);
}

std::optional<QString> QtDialogService::openFileName(QWidget* parent, const FileDialogOptions& options) {
    return runFileDialog(parent, options, false);
}

std::optional<QString> QtDialogService::saveFileName(QWidget* parent, const FileDialogOptions& options) {
    return runFileDialog(parent, options, true);
}

bool QtDialogService::printerSetup(QWidget* parent, QPrinter& printer) {
    QPrintDialog dialog(&printer, parent ? parent : QApplication::activeWindow());
    dialog.setWindowTitle(QStringLiteral("Print Setup"));
    return dialog.exec() == QDialog::Accepted;
}

} // namespace platform
