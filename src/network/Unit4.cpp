#include "Unit4.h"

#include "ui_Unit4.h"

#include "Dialogs.h"
#include "FieldEvents.h"
#include "LongOperation.h"
#include "Placement.h"
#include "Positional.h"
#include "SetupCommands.h"
#include "Sound.h"
#include "Unit3.h"

#include <QFontDatabase>
#include <QShowEvent>

TForm4::TForm4(Services& svc, QWidget* parent)
    : QDialog(parent), ui(std::make_unique<Ui::TForm4>()), svc(svc) {
    ui->setupUi(this);
    setWindowFlags(Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowStaysOnTopHint |
                   Qt::WindowTitleHint | Qt::WindowCloseButtonHint);
    ui->Memo1->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    capitaliseAsTyped(ui->Edit1);
    focusOnLabelClick(ui->Label1, ui->Edit1);
    connect(ui->Button3, &QPushButton::clicked, this, &TForm4::Button3Click);
    connect(ui->OKBtn, &QPushButton::clicked, this, &QDialog::accept);
}

TForm4::~TForm4() = default;

void TForm4::showEvent(QShowEvent* event) {
    if (!event->spontaneous()) {
        platform::centreOnScreenOf(this, parentWidget());
        FormShow();
    }
    QDialog::showEvent(event);
}

void TForm4::FormShow() {
    ui->Memo1->clear();
    ui->Memo1->appendPlainText(tr("No instruments found"));
    ui->Label2->setText(tr("Click the [Scan Network] button to scan for connected instruments"));
    ui->ProgressBar1->setValue(0);
    ui->Edit1->setFocus();
}

void TForm4::Button3Click() {
    const int last = setup::addressValue(ui->Edit1->text());
    if (last < 0) {
        svc.sound.beep();
        svc.dialogs.error(this, tr("Invalid Channel Address"));
        ui->Edit1->setFocus();
        return;
    }

    ui->Memo1->clear();
    ui->Label2->setText(tr("Please wait - Scanning the network"));
    // A range of 0 to 0 would show the bar's busy animation; one address is an empty bar.
    ui->ProgressBar1->setRange(0, qMax(1, last));
    ui->ProgressBar1->setVisible(true);
    ui->ProgressBar1->setTextVisible(true);
    // The scan holds the thread between exchanges: nothing repaints unless asked to.
    repaint();

    const QString lastText = setup::addressText(last);
    int lastAsked = 0;
    bool stopped = false;
    bool lost = false;
    {
        LongOperation operation(svc.comms(), this, ui->CancelBtn);
        scanNetwork(
            svc.comms(), svc.settings().HostCommandPrefix, last,
            [this, &lastText](int n) {
                ui->ProgressBar1->setValue(n);
                //: Progress of a scan: two hexadecimal network addresses, such as "address 3F of FF"
                const QString where = tr("address %1 of %2").arg(setup::addressText(n), lastText);
                ui->ProgressBar1->setFormat(where);
                // A screen reader reads the bar's value as a number only: the description says where.
                ui->ProgressBar1->setAccessibleDescription(where);
                ui->ProgressBar1->repaint();
            },
            [this](const ScanHit& hit) {
                ui->Memo1->appendPlainText(scanResultLine(hit));
                ui->Memo1->repaint();
            },
            [&operation, &stopped] { return stopped = operation.stopRequested(); }, &lastAsked, &lost);
    }
    // Ended by the system: the program goes away, with nobody there to hear the beep.
    if (LongOperation::endingProgram())
        return;
    stopped = stopped || lost;

    ui->ProgressBar1->setVisible(false);
    //: Both are hexadecimal network addresses
    ui->Label2->setText(stopped ? tr("Scan stopped after address %1 of %2 - the following "
                                     "instruments have been found")
                                      .arg(setup::addressText(lastAsked), lastText)
                                : tr("The following instruments have been found"));
    repaint();
    if (lost) {
        // The device went away: the same tone and message as any other run the link fails.
        svc.sound.tone(500, 100);
        svc.dialogs.error(this, tr("Serial Communications Error"));
        return;
    }
    svc.sound.beep();
}

void ScanNetworkClick(TForm4& form) {
    form.exec();
}
