#include "ProgramReports.h"

#include "Dialogs.h"
#include "FileCommands.h"

#include <QFileInfo>

ProgramReports::ProgramReports(Services& services, QWidget* window, QObject* parent)
    : QObject(parent), svc(services), window(window) {}

void ProgramReports::setReport(const ProgramTranscript& transcript) {
    last.reset();
    last.emplace(transcript);
    emit reportChanged();
}

bool ProgramReports::FileSaveReportClick(QWidget* parent) {
    if (!last)
        return false;
    QWidget* owner = parent ? parent : window;
    const QString config = svc.settings().ConfigFileName;
    const QString base = QFileInfo(namePart(config)).completeBaseName();
    platform::FileDialogOptions o;
    o.title = tr("Save Programming Report");
    o.filters = {tr("Programming Report") + QStringLiteral(" (*.TXT)")};
    o.directory = folderPart(config);
    // Beside the configuration and named after it; a mask such as "*.917" names nothing.
    o.fileName = (base.isEmpty() || base.contains(QLatin1Char('*')) ? tr("programming-report")
                                                                    : base + tr("-report")) +
                 QStringLiteral(".TXT");
    o.defaultSuffix = QStringLiteral("TXT");
    o.helpContext = 4005;
    const std::optional<QString> chosen = svc.dialogs.saveFileName(owner, o);
    if (!chosen)
        return false;
    QString message;
    if (!writeReport(*last, *chosen, &message)) {
        svc.dialogs.error(owner, message);
        return false;
    }
    if (showMessage)
        showMessage(tr("Programming report saved to %1").arg(*chosen));
    return true;
}

bool ProgramReports::FilePrintReportClick(QWidget* parent) {
    if (!last || !print)
        return false;
    return print(parent ? parent : window, printableReportLines(*last),
                 [](const QString& where) { return tr("Programming report printed %1").arg(where); });
}
