#pragma once

#include <QDialog>
#include <QList>

#include <memory>

namespace Ui {
class TForm2;
}
class QComboBox;
class QLabel;
class QPlainTextEdit;
class QPushButton;

// The link settings dialog: port, line mode and baud rate of the host side. It edits the three shared
// indexes it is given (list position = index) and writes them back only on OK.
class TForm2 : public QDialog {
    Q_OBJECT
public:
    TForm2(int& HostComPort, int& HostComProtocol, int& HostComSpeed, QWidget* parent = nullptr);
    ~TForm2() override;

    // Every show: the lists select the current shared values.
    void FormShow();
    // OK: the list positions become the shared values; the dialog closes with OK.
    void Button1Click();

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

protected:
    void showEvent(QShowEvent* event) override;

private:
    std::unique_ptr<Ui::TForm2> ui;
    int& hostComPort;
    int& hostComProtocol;
    int& hostComSpeed;
};
