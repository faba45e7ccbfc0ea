#pragma once

#include "InstrumentChoice.h"

#include <QDialog>

#include <memory>

namespace Ui {
class TForm5;
}
class QComboBox;
class QPushButton;

// The instrument-choice dialog, one instance reused by delete, print, modify and program; each
// caller gives it its caption and help context.
class TForm5 : public QDialog, public InstrumentPicker {
    Q_OBJECT
public:
    explicit TForm5(QWidget* parent = nullptr);
    ~TForm5() override;

    int pick(const QString& caption, int helpContext, const QStringList& entries, QString& selected) override;

    QComboBox* Edit1() const;
    QPushButton* BitBtn1() const;
    QPushButton* BitBtn2() const;

protected:
    void showEvent(QShowEvent* event) override;

private:
    std::unique_ptr<Ui::TForm5> ui;
};
