#include "Unit2.h"

#include "ui_Unit2.h"

#include "HelpBoxColours.h"
#include "Placement.h"

#include <QDir>
#include <QFileInfo>
#include <QFileSystemWatcher>
#include <QFontDatabase>
#include <QLineEdit>
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

    ui->Edit4->setEnabled(false);
    ui->Edit4->lineEdit()->setMaxLength(4096);
    deviceWatch = new QFileSystemWatcher(this);
    connect(deviceWatch, &QFileSystemWatcher::directoryChanged, this, [this] {
        refreshDevices();
        watchDevices(true); // /dev/serial/by-id comes with the first USB adapter and goes with the last
    });
    connect(ui->Edit1, &QComboBox::currentIndexChanged, this, &TForm2::Edit1Change);
    connect(ui->Edit4, &QComboBox::currentTextChanged, this, &TForm2::showDeviceDetails);
    // An entry shows the device's description too; the field keeps only its name.
    connect(ui->Edit4, &QComboBox::activated, this,
            [this](int i) { ui->Edit4->setEditText(ui->Edit4->itemData(i).toString()); });
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

void TForm2::hideEvent(QHideEvent* event) {
    watchDevices(false);
    QDialog::hideEvent(event);
}

void TForm2::setDeviceChoice(platform::PortMap* map, const platform::PortSource* source,
                             const QString& file) {
    portMap = map;
    portSource = source;
    rememberFile = file;
    ui->Edit4->setEnabled(portMap != nullptr);
}

void TForm2::watchDevices(bool on) {
    if (!deviceWatch->directories().isEmpty())
        deviceWatch->removePaths(deviceWatch->directories());
    if (!on || !portSource)
        return;
    for (const QString& folder : {QStringLiteral("/dev"), QStringLiteral("/dev/serial/by-id")})
        if (QFileInfo(folder).isDir())
            deviceWatch->addPath(folder);
}

void TForm2::refreshDevices() {
    const QString typed = ui->Edit4->currentText();
    present = portSource ? portSource->ports() : QList<platform::PortInfo>();
    {
        const QSignalBlocker quiet(ui->Edit4);
        ui->Edit4->clear();
        for (const platform::PortInfo& p : present) {
            const QString text = p.description.isEmpty()
                                     ? p.name()
                                     : p.name() + QStringLiteral("  (") + p.description + QLatin1Char(')');
            ui->Edit4->addItem(text, p.name());
        }
        ui->Edit4->setCurrentIndex(-1);
        ui->Edit4->setEditText(typed);
    }
    showDeviceDetails();
}

QString TForm2::typedDevice() const {
    const QString text = ui->Edit4->currentText().trimmed();
    const int i = ui->Edit4->findText(text);
    return i >= 0 ? ui->Edit4->itemData(i).toString() : text;
}

QString TForm2::chosenDevice(int comIndex) const {
    if (comIndex < 0 || comIndex > 1)
        return QString();
    return comIndex == shownPort ? typedDevice() : chosen[comIndex];
}

void TForm2::Edit1Change() {
    if (shownPort >= 0 && shownPort < 2)
        chosen[shownPort] = typedDevice();
    shownPort = ui->Edit1->currentIndex();
    const QSignalBlocker quiet(ui->Edit4);
    ui->Edit4->setCurrentIndex(-1);
    ui->Edit4->setEditText(shownPort >= 0 && shownPort < 2 ? chosen[shownPort] : QString());
    showDeviceDetails();
}

void TForm2::showDeviceDetails() {
    const QString path = typedDevice();
    QString text;
    if (const platform::PortInfo* p = platform::findPort(present, path))
        text = p->details();
    else if (path.isEmpty())
        text.clear();
    else if (QFileInfo::exists(path))
        text = tr("Not listed as a serial port");
    else
        text = tr("Not present");
    ui->DeviceDetails->setText(text);
}

void TForm2::FormShow() {
    // A value no list holds (a hand-edited file) selects nothing rather than a wrong entry.
    const auto select = [](QComboBox* list, int index) {
        list->setCurrentIndex(index >= 0 && index < list->count() ? index : -1);
    };
    select(ui->Edit1, hostComPort);
    select(ui->Edit2, hostComProtocol);
    select(ui->Edit3, hostComSpeed);
    for (int i = 0; i < 2; ++i)
        chosen[i] = portMap ? portMap->device(QStringLiteral("COM%1").arg(i + 1)) : QString();
    refreshDevices();
    watchDevices(true);
    shownPort = -1;
    Edit1Change();
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
    if (portMap) {
        if (shownPort >= 0 && shownPort < 2)
            chosen[shownPort] = typedDevice();
        // Only a changed choice is remembered, so a device given for one run stays for that run.
        for (int i = 0; i < 2; ++i) {
            const QString com = QStringLiteral("COM%1").arg(i + 1);
            if (chosen[i].isEmpty() || chosen[i] == portMap->device(com))
                continue;
            portMap->setDevice(com, chosen[i]);
            platform::rememberDevice(rememberFile, com, chosen[i]);
        }
    }
    accept();
}

QList<TForm2::FieldTopic> TForm2::helpTopics() const {
    return {{ui->Edit1, 0}, {ui->Edit2, 1}, {ui->Edit3, 2}, {ui->Button1, 7}, {ui->Button2, 8}};
}

QList<std::pair<QLabel*, QWidget*>> TForm2::labelFields() const {
    return {
        {ui->Label1, ui->Edit1}, {ui->Label2, ui->Edit2}, {ui->Label3, ui->Edit3}, {ui->Label4, ui->Edit4}};
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
QComboBox* TForm2::Edit4() const {
    return ui->Edit4;
}
QLabel* TForm2::DeviceDetails() const {
    return ui->DeviceDetails;
}
