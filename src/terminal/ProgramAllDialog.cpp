#include "ProgramAllDialog.h"

#include "ui_ProgramAllDialog.h"

#include "Dialogs.h"
#include "FieldEvents.h"
#include "HelpBoxColours.h"
#include "LongOperation.h"
#include "Placement.h"
#include "ProgramReports.h"
#include "Sound.h"

#include <QHeaderView>
#include <QShowEvent>

namespace {

enum Column { AddressColumn, IdentificationColumn, LinesColumn, StatusColumn };

// Help topics of the dialog's controls in the context help file.
enum HelpTopic {
    InstrumentsHelp = 63,
    CarryOnHelp,
    CheckFirstHelp,
    StartHelp,
    RetryHelp,
    SaveReportHelp,
    PrintReportHelp,
    CloseHelp
};

QTableWidgetItem* plainItem(const QString& text) {
    auto* item = new QTableWidgetItem(text);
    item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable);
    return item;
}

} // namespace

ProgramAllDialog::ProgramAllDialog(Services& services, const ConfigTree& tree, StatusReporter& status,
                                   ProgramReports& reports, QWidget* parent)
    : QDialog(parent), ui(std::make_unique<Ui::ProgramAllDialog>()), svc(services), tree(tree),
      status(status), reports(reports), transcript(services.comms().linkClock()) {
    ui->setupUi(this);
    platform::setHelpBoxColours(ui->Memo1);
    ui->Instruments->horizontalHeader()->setStretchLastSection(true);
    const TForm0& form0 = svc.form0;
    showHelpOnEnter(ui->Instruments, form0, ui->Memo1, InstrumentsHelp);
    showHelpOnEnter(ui->CarryOn, form0, ui->Memo1, CarryOnHelp);
    showHelpOnEnter(ui->CheckFirst, form0, ui->Memo1, CheckFirstHelp);
    showHelpOnEnter(ui->StartBtn, form0, ui->Memo1, StartHelp);
    showHelpOnEnter(ui->RetryBtn, form0, ui->Memo1, RetryHelp);
    showHelpOnEnter(ui->SaveReportBtn, form0, ui->Memo1, SaveReportHelp);
    showHelpOnEnter(ui->PrintReportBtn, form0, ui->Memo1, PrintReportHelp);
    showHelpOnEnter(ui->CloseBtn, form0, ui->Memo1, CloseHelp);
    connect(ui->StartBtn, &QPushButton::clicked, this, &ProgramAllDialog::StartClick);
    connect(ui->RetryBtn, &QPushButton::clicked, this, &ProgramAllDialog::RetryClick);
    connect(ui->SaveReportBtn, &QPushButton::clicked, this,
            [this] { this->reports.FileSaveReportClick(this); });
    connect(ui->PrintReportBtn, &QPushButton::clicked, this,
            [this] { this->reports.FilePrintReportClick(this); });
    connect(ui->CloseBtn, &QPushButton::clicked, this, &QDialog::accept);
}

ProgramAllDialog::~ProgramAllDialog() = default;

void ProgramAllDialog::CommsProgramAllClick() {
    exec();
}

void ProgramAllDialog::showEvent(QShowEvent* event) {
    if (!event->spontaneous()) {
        platform::centreOnScreenOf(this, parentWidget());
        FormShow();
    }
    QDialog::showEvent(event);
}

void ProgramAllDialog::FormShow() {
    programRun =
        std::make_unique<ProgramRun>(svc.comms(), programTargets(tree, svc.settings().HostCommandPrefix));
    QTableWidget* table = ui->Instruments;
    table->setRowCount(programRun->size());
    for (int row = 0; row < programRun->size(); ++row) {
        const ProgramTarget& t = programRun->target(row);
        auto* address = new QTableWidgetItem(t.address);
        address->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsUserCheckable);
        address->setCheckState(Qt::Checked);
        table->setItem(row, AddressColumn, address);
        // The identification as the node holds it, between the brackets of the list entry.
        const QString entry = t.listEntry;
        const qsizetype open = entry.indexOf(QStringLiteral(" ("));
        QString identification = open < 0 ? entry.mid(2) : entry.mid(open + 2);
        if (identification.endsWith(QLatin1Char(')')))
            identification.chop(1);
        table->setItem(row, IdentificationColumn, plainItem(identification));
        table->setItem(row, LinesColumn, plainItem(QString::number(t.plan.progressMaximum)));
        table->setItem(row, StatusColumn, plainItem(QString()));
    }
    // Sized once here: sizing to the contents on every change would measure every row at each line
    // of a run. The status column takes the rest.
    for (int column = AddressColumn; column < StatusColumn; ++column)
        table->resizeColumnToContents(column);
    if (programRun->size() > 0)
        table->setCurrentCell(0, AddressColumn);
    ui->Summary->clear();
    ui->Summary->setAccessibleDescription(QString());
    ui->ProgressBar->setVisible(false);
    updateButtons(false);
    ui->Instruments->setFocus();
}

void ProgramAllDialog::updateButtons(bool running) {
    const bool anyRun = programRun && !transcript.isEmpty();
    ui->StartBtn->setEnabled(!running && programRun && programRun->size() > 0);
    ui->RetryBtn->setEnabled(!running && anyRun && !programRun->unsuccessfulRows().isEmpty());
    ui->SaveReportBtn->setEnabled(!running && reports.hasReport());
    ui->PrintReportBtn->setEnabled(!running && reports.hasReport());
    ui->CloseBtn->setEnabled(!running);
    ui->CarryOn->setEnabled(!running);
    ui->CheckFirst->setEnabled(!running);
}

void ProgramAllDialog::StartClick() {
    QList<int> rows;
    for (int row = 0; row < ui->Instruments->rowCount(); ++row)
        if (ui->Instruments->item(row, AddressColumn)->checkState() == Qt::Checked)
            rows.append(row);
    if (rows.isEmpty()) {
        svc.dialogs.error(this, tr("Tick at least one instrument to program."));
        return;
    }
    runRows(rows, false);
}

void ProgramAllDialog::RetryClick() {
    runRows({}, true);
}

void ProgramAllDialog::rowChanged(int row) {
    if (!changedRows.contains(row))
        changedRows.append(row);
    // The next line of a row is shown with its progress; anything else at once.
    const InstrumentStatus::State state = programRun->status(row).state;
    if (state != InstrumentStatus::Programming)
        flush(true, state == InstrumentStatus::Checking);
}

void ProgramAllDialog::setProgress(int row, int line, int count) {
    const bool starting = row != progressRow;
    progressRow = row;
    progressLine = line;
    progressCount = count;
    flush(starting, starting);
}

void ProgramAllDialog::flush(bool force, bool paintNow) {
    constexpr qint64 kFrameMs = 100;
    if (!force && lastShown.isValid() && lastShown.elapsed() < kFrameMs)
        return;
    lastShown.start();
    QTableWidget* table = ui->Instruments;
    for (int row : std::as_const(changedRows))
        table->item(row, StatusColumn)->setText(programRun->status(row).text());
    if (progressRow >= 0) {
        // The bar counts instruments, so it is painted once an instrument; the line under way is in
        // the table, and in the bar's description for a screen reader.
        const int done = int(runOrder.indexOf(progressRow));
        const QString bar = tr("instrument %1 of %2").arg(done + 1).arg(runOrder.size());
        if (ui->ProgressBar->maximum() != runOrder.size())
            ui->ProgressBar->setRange(0, int(runOrder.size()));
        ui->ProgressBar->setValue(done);
        if (ui->ProgressBar->format() != bar)
            ui->ProgressBar->setFormat(bar);
        ui->ProgressBar->setAccessibleDescription(tr("instrument %1 of %2, address %3: line %4 of %5")
                                                      .arg(done + 1)
                                                      .arg(runOrder.size())
                                                      .arg(programRun->target(progressRow).address)
                                                      .arg(progressLine)
                                                      .arg(progressCount));
    }
    // What changed is painted when the run next looks for Cancel, right after this exchange. A row
    // that starts is painted now: its first reply may take the whole time-out.
    if (paintNow && !changedRows.isEmpty()) {
        QTableWidgetItem* item = table->item(changedRows.last(), StatusColumn);
        table->scrollToItem(item);
        table->viewport()->repaint(table->visualItemRect(item));
        ui->ProgressBar->repaint();
    }
    changedRows.clear();
}

void ProgramAllDialog::runRows(const QList<int>& rows, bool again) {
    ProgramRun& run = *programRun;
    run.options.carryOn = ui->CarryOn->isChecked();
    run.options.checkFirst = ui->CheckFirst->isChecked();
    if (again) {
        transcript.startAgain(tr("Retry of the instruments not saved"));
    } else {
        QList<ReportField> header = programReportHeader(tree, svc.settings(), svc.comms().state());
        header += run.reportFields(rows);
        transcript.start(header);
    }
    updateButtons(true);
    ui->Summary->setText(tr("Programming..."));
    ui->ProgressBar->setValue(0);
    ui->ProgressBar->setVisible(true);
    status.setStatusText(tr("Please Wait - Programming Instruments"));
    repaint();
    changedRows.clear();
    progressRow = -1;
    runOrder = again ? run.unsuccessfulRows() : rows;
    lastShown.invalidate();
    run.clearCancel();
    run.rowChanged = [this](int row) { rowChanged(row); };
    run.progress = [this](int row, int line, int count) { setProgress(row, line, count); };
    {
        LongOperation operation(svc.comms(), this, ui->CancelBtn);
        run.pollStop = [&operation] { return operation.stopRequested(); };
        if (again)
            run.retry(&transcript);
        else
            run.run(rows, &transcript);
        run.pollStop = nullptr;
    }
    flush(true, false);
    run.rowChanged = nullptr;
    run.progress = nullptr;
    ui->ProgressBar->setVisible(false);
    reports.setReport(transcript);
    const QString summary = run.summary();
    ui->Summary->setText(summary);
    // Its name says what the label is; a screen reader reads the summary itself from here.
    ui->Summary->setAccessibleDescription(summary);
    updateButtons(false);
    status.showTemporaryMessage(summary);
    // One tone for the whole run, however many failed: nobody may be watching.
    if (!run.allSaved())
        svc.sound.tone(500, 100);
}
