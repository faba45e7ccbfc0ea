#pragma once

#include <QDialog>

#include <memory>

namespace Ui {
class TForm1;
}

// The About box: the maker's panel (shared with the splash) and the part number and version.
class TForm1 : public QDialog {
    Q_OBJECT
public:
    explicit TForm1(QWidget* parent = nullptr);
    ~TForm1() override;

protected:
    void showEvent(QShowEvent* event) override;

private:
    std::unique_ptr<Ui::TForm1> ui;
};
