#pragma once

#include "ProgramTranscript.h"
#include "Unit0.h"

#include <QObject>
#include <QStringList>

#include <functional>
#include <optional>

class QWidget;

// "Save Programming Report..." and "Print Programming Report..." of the File menu: the report of the
// last programming run, single or all, as a text file or on the printer chosen in Print Setup.
class ProgramReports : public QObject {
    Q_OBJECT
public:
    explicit ProgramReports(Services& services, QWidget* window, QObject* parent = nullptr);

    // A run ended: its report is now the one saved and printed.
    void setReport(const ProgramTranscript& transcript);
    bool hasReport() const { return last.has_value(); }
    const ProgramTranscript* report() const { return last ? &*last : nullptr; }

    // parent: the window the dialogs belong to; null for the main window.
    bool FileSaveReportClick(QWidget* parent = nullptr);
    bool FilePrintReportClick(QWidget* parent = nullptr);

    // The program's one printing path (the File menu's): prints the lines, says why it cannot, and
    // puts done(where) in the status bar.
    std::function<bool(QWidget* parent, const QStringList& lines,
                       const std::function<QString(const QString&)>& done)>
        print;
    // A short status-bar note of what was done.
    std::function<void(const QString&)> showMessage;

signals:
    // The first report arrived, or a later one replaced it.
    void reportChanged();

private:
    Services& svc;
    QWidget* window;
    std::optional<ProgramTranscript> last;
};
