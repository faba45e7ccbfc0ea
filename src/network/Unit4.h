#pragma once

#include "NetworkScan.h"
#include "Unit0.h"

#include <QDialog>
#include <QList>
#include <QString>

#include <functional>
#include <memory>

namespace Ui {
class TForm4;
}

// "Scan Network for Connected Instruments": asks every address up to the one typed and lists those
// that answered. The last address typed is kept from one showing to the next.
class TForm4 : public QDialog {
    Q_OBJECT
public:
    explicit TForm4(Services& svc, QWidget* parent = nullptr);
    ~TForm4() override;

    void FormShow();
    void Button3Click();

protected:
    void showEvent(QShowEvent* event) override;

private:
    std::unique_ptr<Ui::TForm4> ui;
    Services& svc;
};

// The Comms menu's scan command; the dialog's result is not used.
void ScanNetworkClick(TForm4& form);
