#include "Unit1.h"

#include "ui_Unit1.h"

#include "Main.h"
#include "Placement.h"

#include <QLabel>

TForm1::TForm1(QWidget* parent) : QDialog(parent), ui(std::make_unique<Ui::TForm1>()) {
    ui->setupUi(this);
    setWindowFlags(Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowTitleHint |
                   Qt::WindowCloseButtonHint);
    QWidget* maker = makeMakerPanel(ui->Panel1);
    // The box is a little narrower than the splash: let the maker's lines wrap rather than clip.
    for (QLabel* line : maker->findChildren<QLabel*>())
        line->setWordWrap(true);
    ui->Panel1Layout->insertWidget(0, maker, 1);
    for (QLabel* line : {ui->PartNumber, ui->ProductName, ui->Version}) {
        QFont f = line->font();
        f.setBold(true);
        f.setPixelSize(14);
        line->setFont(f);
    }
    connect(ui->OKButton, &QPushButton::clicked, this, &QDialog::accept);
}

TForm1::~TForm1() = default;

void TForm1::showEvent(QShowEvent* event) {
    platform::centreOnScreenOf(this, parentWidget());
    ui->OKButton->setFocus();
    QDialog::showEvent(event);
}
