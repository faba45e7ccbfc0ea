#include "Unit3.h"

#include "ui_Unit3.h"

#include "Dialogs.h"
#include "FieldEvents.h"
#include "HelpBoxColours.h"
#include "Placement.h"
#include "Sound.h"

#include <QFontDatabase>
#include <QGroupBox>
#include <QKeyEvent>
#include <QShowEvent>
#include <QValidator>

namespace {

class UpperCaseValidator : public QValidator {
public:
    using QValidator::QValidator;
    State validate(QString& input, int&) const override {
        input = input.toUpper();
        return Acceptable;
    }
};

// Under themes whose buttons press on Enter too (GTK), Qt's group box takes Enter for its check box
// even when it has none, so Enter in a field inside it never reached the dialog's default button.
// Ignored here, the key goes on up to the dialog as it does under other themes.
class GroupBoxEnter : public QObject {
public:
    using QObject::QObject;
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::KeyPress && !static_cast<QGroupBox*>(watched)->isCheckable()) {
            const int key = static_cast<QKeyEvent*>(event)->key();
            if (key == Qt::Key_Return || key == Qt::Key_Enter) {
                event->ignore();
                return true;
            }
        }
        return QObject::eventFilter(watched, event);
    }
};

} // namespace

void capitaliseAsTyped(QLineEdit* field) {
    field->setValidator(new UpperCaseValidator(field));
}

TForm3::TForm3(Services& svc, QWidget* parent)
    : QDialog(parent), ui(std::make_unique<Ui::TForm3>()), svc(svc) {
    ui->setupUi(this);
    setWindowFlags(Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowStaysOnTopHint |
                   Qt::WindowTitleHint | Qt::WindowCloseButtonHint);
    comLabelText = ui->Instruction2->text();
    auto* groupBoxEnter = new GroupBoxEnter(this);
    for (QGroupBox* box : findChildren<QGroupBox*>())
        box->installEventFilter(groupBoxEnter);

    QFont fixed = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    ui->Memo1->setFont(fixed);
    platform::setHelpBoxColours(ui->Memo1);

    for (QLineEdit* e : {ui->Edit2a, ui->Edit2b, ui->Edit2c, ui->Edit4})
        capitaliseAsTyped(e);
    ui->Edit2b->setAccessibleName(tr("Current Settings mode"));
    ui->Edit2c->setAccessibleName(tr("Current Settings baud rate"));

    focusOnLabelClick(ui->Label1, ui->Edit2a);
    focusOnLabelClick(ui->Label2, ui->Edit4);
    const TForm0& form0 = svc.form0;
    for (QWidget* w : {ui->Edit2a, ui->Edit2b, ui->Edit2c})
        showHelpOnEnter(w, form0, ui->Memo1, 10);
    showHelpOnEnter(ui->Edit4, form0, ui->Memo1, 13);
    showHelpOnEnter(ui->Button1, form0, ui->Memo1, 14);
    showHelpOnEnter(ui->OKBtn, form0, ui->Memo1, 15);
    showHelpOnEnter(ui->CancelBtn, form0, ui->Memo1, 16);

    for (QLineEdit* e : {ui->Edit2a, ui->Edit2b, ui->Edit2c})
        connect(e, &QLineEdit::textChanged, this, &TForm3::DisableOK);
    connect(ui->Button1, &QPushButton::clicked, this, &TForm3::Button1Click);
    connect(ui->OKBtn, &QPushButton::clicked, this, &TForm3::OKBtnClick);
    connect(ui->CancelBtn, &QPushButton::clicked, this, &QDialog::reject);
}

TForm3::~TForm3() = default;

void TForm3::showEvent(QShowEvent* event) {
    if (!event->spontaneous()) {
        platform::centreOnScreenOf(this, parentWidget());
        FormShow();
    }
    QDialog::showEvent(event);
}

void TForm3::FormShow() {
    ui->Edit2a->setText(QStringLiteral("00"));
    ui->Edit2b->setText(QStringLiteral("0"));
    ui->Edit2c->setText(QStringLiteral("4"));
    ui->Edit4->setText(QStringLiteral("01"));
    DisableOK();
    svc.settings().InstrumentIdentification.clear();
    QString com = comLabelText;
    com.chop(1);
    ui->Instruction2->setText(com + QString::number(1 + svc.settings().HostComPort));
    ui->Memo1->clear();
    ui->Edit2a->setFocus();
}

// Until a find succeeds Enter means "Find Instrument"; after it, OK.
void TForm3::DisableOK() {
    ui->OKBtn->setEnabled(false);
    ui->Button1->setDefault(true);
}

void TForm3::Button1Click() {
    DisableOK();
    if (findInstrument(svc, this, fields()) != FindOutcome::Located)
        return;
    ui->OKBtn->setEnabled(true);
    ui->OKBtn->setDefault(true);
    // Some desktops press the focused button on Enter whatever the default is: the focus goes on too.
    if (focusWidget() == ui->Button1)
        ui->OKBtn->setFocus(Qt::OtherFocusReason);
}

void TForm3::OKBtnClick() {
    if (!isValidNewAddress(ui->Edit4->text())) {
        svc.sound.beep();
        svc.dialogs.error(this, fieldErrorMessage(FieldError::NewAddress));
        ui->Edit4->setFocus();
        ui->Edit4->selectAll();
        return;
    }
    accept();
}

int TForm3::showModal() {
    return exec() == QDialog::Accepted ? mrOk : mrCancel;
}

InstrumentFields TForm3::fields() const {
    return {ui->Edit2a->text(), ui->Edit2b->text(), ui->Edit2c->text(), ui->Edit4->text()};
}
