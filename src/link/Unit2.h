#pragma once

#include "PortDiscovery.h"

#include <QDialog>
#include <QList>

#include <memory>

namespace Ui {
class TForm2;
}
class QComboBox;
class QFileSystemWatcher;
class QLabel;
class QPlainTextEdit;
class QPushButton;

// The link settings dialog: port, line mode and baud rate of the host side. It edits the three shared
// indexes it is given (list position = index) and writes them back only on OK. Its device chooser
// edits which device COM1 and COM2 stand for, also only on OK.
class TForm2 : public QDialog {
    Q_OBJECT
public:
    TForm2(int& HostComPort, int& HostComProtocol, int& HostComSpeed, QWidget* parent = nullptr);
    ~TForm2() override;

    // Every show: the lists select the current shared values.
    void FormShow();
    // OK: the list positions become the shared values and the chosen devices the port map's;
    // the dialog closes with OK.
    void Button1Click();

    // The port map the chooser edits, the devices it offers, and the file in which a changed choice
    // is remembered (empty: not remembered). Without a map the chooser is disabled.
    void setDeviceChoice(platform::PortMap* map, const platform::PortSource* source,
                         const QString& rememberFile);
    // Lists the devices present again, keeping what is typed.
    void refreshDevices();
    // The device chosen for COM1 (0) or COM2 (1) so far in this showing.
    QString chosenDevice(int comIndex) const;

    // The fields with their context-help topics and the labels with their fields, for the program's
    // one focus-help mechanism, which lives above this floor.
    struct FieldTopic {
        QWidget* field;
        int topic;
    };
    QList<FieldTopic> helpTopics() const;
    QList<std::pair<QLabel*, QWidget*>> labelFields() const;

    QComboBox* Edit1() const;
    QComboBox* Edit2() const;
    QComboBox* Edit3() const;
    QPushButton* Button1() const;
    QPushButton* Button2() const;
    QPlainTextEdit* Memo1() const;
    QComboBox* Edit4() const;
    QLabel* DeviceDetails() const;

protected:
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;

private:
    void Edit1Change();
    void showDeviceDetails();
    QString typedDevice() const;
    void watchDevices(bool on);

    std::unique_ptr<Ui::TForm2> ui;
    int& hostComPort;
    int& hostComProtocol;
    int& hostComSpeed;
    platform::PortMap* portMap = nullptr;
    const platform::PortSource* portSource = nullptr;
    QString rememberFile;
    QList<platform::PortInfo> present;
    QString chosen[2];
    int shownPort = -1;
    QFileSystemWatcher* deviceWatch = nullptr;
};
