#pragma once

#include <QDialog>

#include <memory>

namespace Ui {
class TForm7;
}
class BackupTimer;
struct SharedSettings;

// "Timed Backup": whether the configuration is written to its file at an interval, and how often.
class TForm7 : public QDialog {
    Q_OBJECT
public:
    explicit TForm7(SharedSettings& settings, QWidget* parent = nullptr);
    ~TForm7() override;

    bool enabledChecked() const;
    // What the spin box stands for, also when its text is not a number.
    int minutes() const;

    void FormShow();

protected:
    void showEvent(QShowEvent* event) override;

private:
    std::unique_ptr<Ui::TForm7> ui;
    SharedSettings& settings;
};

// The menu command "&Timed Backup": shows the dialog and applies what the user confirms to the
// shared values and to Timer1. Cancel and the close box change nothing.
void TimedBackup1Click(TForm7& dialog, SharedSettings& settings, BackupTimer& timer);
