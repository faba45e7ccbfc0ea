#pragma once

#include "AddInstrument.h"

#include <QDialog>

#include <memory>

namespace Ui {
class TForm3;
}
class QLineEdit;

// Letters typed into the field become capitals as they are typed (also when pasted).
void capitaliseAsTyped(QLineEdit* field);

// "Add a new instrument": the present settings of a single connected instrument, its new address, and
// "Find Instrument", which must succeed before OK can be pressed.
class TForm3 : public QDialog, public AddInstrumentDialog {
    Q_OBJECT
public:
    explicit TForm3(Services& svc, QWidget* parent = nullptr);
    ~TForm3() override;

    void FormShow();
    void DisableOK();
    void Button1Click();
    // The new address may have been edited since the find; it is checked once more before closing.
    void OKBtnClick();

    // AddInstrumentDialog
    int showModal() override;
    InstrumentFields fields() const override;

protected:
    void showEvent(QShowEvent* event) override;

private:
    std::unique_ptr<Ui::TForm3> ui;
    Services& svc;
    QString comLabelText;
};
