#include "Unit2.h"

#include "ui_Unit2.h"

#include "HelpBoxColours.h"
#include "Placement.h"

#include <QFontDatabase>
#include <QShowEvent>

TForm2::TForm2(int& HostComPort, int& HostComProtocol, int& HostComSpeed, QWidget* parent)
    : QDialog(parent), ui(std::make_unique<Ui::TForm2>()), hostComPort(HostComPort),
      hostComProtocol(HostComProtocol), hostComSpeed(HostComSpeed) {
    ui->setupUi(this);
    setFixedSize(530, 366);
    setWindowFlag(Qt::WindowStaysOnTopHint);
    setWindowFlag(Qt::WindowContextHelpButtonHint, false);

    QFont fixed = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    ui->Memo1->setFont(fixed);
    platform::setHelpBoxColours(ui->Memo1);

    connect(ui->Button1, &QPushButton::clicked, this, &TForm2::Button1Click);
    connect(ui->Button2, &QPushButton::clicked, this, &QDialog::reject);
}

TForm2::~TForm2() = default;

void TForm2::showEvent(QShowEvent* event) {
    if (!event->spontaneous()) {
        platform::centreOnScreenOf(this, parentWidget());
        FormShow();
    }
    QDialog::showEvent(event);
}

void TForm2::FormShow() {
    // A value no list holds (a hand-edited file) selects nothing rather than a wrong entry.
    const auto select = [](QComboBox* list, int index) {
        list->setCurrentIndex(index >= 0 && index < list->count() ? index : -1);
    };
    select(ui->Edit1, hostComPort);
    select(ui->Edit2, hostComProtocol);
    select(ui->Edit3, hostComSpeed);
    ui->Memo1->clear();
    // Every showing starts on the port, whose help then shows at once.
    ui->Edit1->setFocus(Qt::TabFocusReason);
}

void TForm2::Button1Click() {
    // A list left without a selection keeps its shared value.
    if (ui->Edit1->currentIndex() >= 0)
        hostComPort = ui->Edit1->currentIndex();
    if (ui->Edit2->currentIndex() >= 0)
        hostComProtocol = ui->Edit2->currentIndex();
    if (ui->Edit3->currentIndex() >= 0)
        hostComSpeed = ui->Edit3->currentIndex();
    accept();
}

QList<TForm2::FieldTopic> TForm2::helpTopics() const {
    return {{ui->Edit1, 0}, {ui->Edit2, 1}, {ui->Edit3, 2}, {ui->Button1, 7}, {ui->Button2, 8}};
}

QList<std::pair<QLabel*, QWidget*>> TForm2::labelFields() const {
    return {{ui->Label1, ui->Edit1}, {ui->Label2, ui->Edit2}, {ui->Label3, ui->Edit3}};
}

QComboBox* TForm2::Edit1() const {
    return ui->Edit1;
}
QComboBox* TForm2::Edit2() const {
    return ui->Edit2;
}
QComboBox* TForm2::Edit3() const {
    return ui->Edit3;
}
QPushButton* TForm2::Button1() const {
    return ui->Button1;
}
QPushButton* TForm2::Button2() const {
    return ui->Button2;
}
QPlainTextEdit* TForm2::Memo1() const {
    return ui->Memo1;
}
