#include "Unit7.h"

#include "ui_Unit7.h"

#include "FieldEvents.h"
#include "TimedBackup.h"
#include "Unit0.h"

#include <QLineEdit>

TForm7::TForm7(SharedSettings& settings, QWidget* parent)
    : QDialog(parent), ui(std::make_unique<Ui::TForm7>()), settings(settings) {
    ui->setupUi(this);
    setWindowFlags(Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowStaysOnTopHint |
                   Qt::WindowTitleHint | Qt::WindowCloseButtonHint);
    // The dialog's own font where the machine has it, else the nearest sans-serif.
    QFont f(QStringLiteral("MS Sans Serif"));
    f.setStyleHint(QFont::SansSerif);
    f.setPixelSize(11);
    setFont(f);
    ui->Edit2->findChild<QLineEdit*>()->setMaxLength(2);
    focusOnLabelClick(ui->Label2, ui->Edit2);
    connect(ui->Button1, &QPushButton::clicked, this, &QDialog::accept);
    connect(ui->Button2, &QPushButton::clicked, this, &QDialog::reject);
}

TForm7::~TForm7() = default;

void TForm7::showEvent(QShowEvent* event) {
    FormShow();
    QDialog::showEvent(event);
}

void TForm7::FormShow() {
    ui->Edit1->setChecked(settings.TimedBackupEnabled);
    ui->Edit2->setValue(timedbackup::minutesForDialog(settings.TimedBackupMinutes));
    ui->Edit1->setFocus();
}

bool TForm7::enabledChecked() const {
    return ui->Edit1->isChecked();
}

int TForm7::minutes() const {
    // The spin box keeps its last valid value when its text is cleared or half-typed; the text is
    // what the user confirmed.
    return timedbackup::minutesFromText(ui->Edit2->text());
}

void TimedBackup1Click(TForm7& dialog, SharedSettings& settings, BackupTimer& timer) {
    if (dialog.exec() != QDialog::Accepted)
        return;
    timedbackup::confirm(settings, dialog.enabledChecked(), dialog.minutes(), timer);
}
