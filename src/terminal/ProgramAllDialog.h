#pragma once

#include "ProgramRun.h"
#include "ProgramTranscript.h"
#include "Unit0.h"

#include <QDialog>
#include <QElapsedTimer>

#include <memory>

namespace Ui {
class ProgramAllDialog;
}
class ConfigTree;
class ProgramReports;

// "Program &All Instruments...": a table of the tree's instruments with a tick and a status each,
// the run's two options, Start, Cancel and Retry Failed, and the report's Save and Print buttons.
// The run itself is ProgramRun; this form only shows it.
class ProgramAllDialog : public QDialog {
    Q_OBJECT
public:
    ProgramAllDialog(Services& services, const ConfigTree& tree, StatusReporter& status,
                     ProgramReports& reports, QWidget* parent = nullptr);
    ~ProgramAllDialog() override;

    // The Comms menu command: shows the dialog for the tree as it is now.
    void CommsProgramAllClick();
    void StartClick();
    void RetryClick();

    // The run of the dialog as it stands; null until it is shown.
    const ProgramRun* run() const { return programRun.get(); }

protected:
    void showEvent(QShowEvent* event) override;

private:
    void FormShow();
    void runRows(const QList<int>& rows, bool again);
    void rowChanged(int row);
    void setProgress(int row, int line, int count);
    // Shows what changed; line by line progress only once a frame, so that the display costs the
    // run next to nothing however fast the instruments answer.
    void flush(bool force, bool paintNow);
    void updateButtons(bool running);

    std::unique_ptr<Ui::ProgramAllDialog> ui;
    Services& svc;
    const ConfigTree& tree;
    StatusReporter& status;
    ProgramReports& reports;
    std::unique_ptr<ProgramRun> programRun;
    ProgramTranscript transcript;
    QList<int> changedRows;
    QList<int> runOrder;
    int progressRow = -1;
    int progressLine = 0;
    int progressCount = 0;
    QElapsedTimer lastShown;
};
