#include "Unit5.h"

#include "ui_Unit5.h"

#include "FieldEvents.h"
#include "Placement.h"

#include <QShowEvent>

TForm5::TForm5(QWidget* parent) : QDialog(parent), ui(std::make_unique<Ui::TForm5>()) {
    ui->setupUi(this);
    QFont f = font();
    f.setPixelSize(12);
    setFont(f);
    setFixedSize(300, 70);
    setWindowFlag(Qt::WindowStaysOnTopHint);
    setWindowFlag(Qt::WindowContextHelpButtonHint, false);
    focusOnLabelClick(ui->Label1, ui->Edit1);
    connect(ui->BitBtn1, &QPushButton::clicked, this, &QDialog::accept);
    connect(ui->BitBtn2, &QPushButton::clicked, this, &QDialog::reject);
}

TForm5::~TForm5() = default;

void TForm5::showEvent(QShowEvent* event) {
    if (!event->spontaneous()) {
        platform::centreOnScreenOf(this, parentWidget());
        ui->Edit1->setFocus(Qt::TabFocusReason);
    }
    QDialog::showEvent(event);
}

int TForm5::pick(const QString& caption, int helpContext, const QStringList& entries, QString& selected) {
    setWindowTitle(caption);
    setProperty("helpContext", helpContext);
    ui->Edit1->clear();
    ui->Edit1->addItems(entries);
    ui->Edit1->setCurrentIndex(entries.isEmpty() ? -1 : 0);
    const int result = exec();
    // Nothing selected (no instruments) gives the empty text, which the caller takes as no choice.
    selected = ui->Edit1->currentIndex() >= 0 ? ui->Edit1->currentText() : QString();
    return result == QDialog::Accepted ? mrOk : mrCancel;
}

QComboBox* TForm5::Edit1() const {
    return ui->Edit1;
}
QPushButton* TForm5::BitBtn1() const {
    return ui->BitBtn1;
}
QPushButton* TForm5::BitBtn2() const {
    return ui->BitBtn2;
}
