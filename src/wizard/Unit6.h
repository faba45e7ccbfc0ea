#pragma once

#include "Unit0.h"

#include <QDialog>
#include <QPointer>
#include <QStringList>

#include <functional>
#include <memory>

namespace Ui {
class TForm6;
}

class QComboBox;
class QSpinBox;
namespace records {
enum class FieldCheck;
}

// Selects the item equal to the field ignoring case, or the first item when none is.
void MatchComboItem(QComboBox* box, const QString& field);

// The configuration wizard: channel page (Panel1), logging parameters page (Panel2) and logging
// stage page (Panel3) above the help box Memo1. It edits the working lists that the modify command
// fills before showing it and reads back afterwards; the result is mrOk, mrAbort or mrCancel.
class TForm6 : public QDialog {
    Q_OBJECT
public:
    explicit TForm6(Services& services, QWidget* parent = nullptr);
    ~TForm6() override;

    // The working lists while the wizard is open.
    QStringList ChannelRecords;
    QStringList LoggingRecords;

    // Page state.
    int CurrentChannelIndex = -1;
    bool ChannelEdited = false;
    bool ModifyMode = false;
    QString FullScaleText;
    QString TarePointText;
    int CurrentPass = 1;

    // Fills the channel number box from ChannelRecords and names its first channel (or 001A).
    void LoadChannelNumberBox();
    // The finishing button's caption, set by the sequences that open the wizard.
    void setButton3dCaption(const QString& caption);

    // The opening routine: runs on every show and from "Edit Channel Configuration".
    void FormShow();
    // 1 channel record, 2 hysteresis, 3 LOGSPEC, 4 stage `stage` (1-based position).
    void UpdateScreen(int kind, const QString& record, int stage = 1);

    // Channel page.
    void ChannelNumberChange();
    void ChannelNumberEntry();
    void ChannelNumberExit();
    void FullScaleValueExit();
    void TarePointExit();
    void Button1aClick();
    bool SetChannel(bool focusOnError = true);
    void Button1bClick();
    void Button1cClick();
    void Button1eClick();
    void Button1dClick();

    // Logging parameters page.
    void SetHysteresis();
    void SetLogSpec(QWidget* left);
    void Button2bClick();

    // Logging stage page.
    void Edit3dChange();
    void Edit3hChange();
    void SavePass();
    void Button3aClick();
    void Button3bClick();
    void Button3dClick();
    void Button3cClick();

    // Which page is showing: 1, 2 or 3.
    int currentPage() const;

public slots:
    void reject() override;

protected:
    void showEvent(QShowEvent* event) override;

private:
    void setupChannelPage();
    void setupParametersPage();
    void setupStagePage();
    void showPage(int page);
    void setChannelFieldsEnabled(bool enabled);
    void showChannel(const QString& address);
    void showStage(int stage);
    void applyStartCondition();
    void applyStopCondition();
    bool checkSpinBox(QSpinBox* box, records::FieldCheck check);
    void helpTopic(int topic);

    // Focus handling shared by every checked field (see Unit6.cpp).
    friend class FieldGuard;
    friend class EntryWatcher;
    void watchExit(QWidget* field, void (TForm6::*handler)());
    void watchEntry(QWidget* field, std::function<void()> handler);
    void refuse(QWidget* field, const QString& message, bool beep, bool moveFocus = true);
    void putFocus(QWidget* field);

    Services& svc;
    std::unique_ptr<Ui::TForm6> ui;
    // Set while the form moves the focus itself: entry and exit handlers stay quiet.
    bool refocusing = false;
    // The field whose exit check is running.
    QWidget* exiting = nullptr;
    // The field whose pending focus-out must not reach the widget (its check put the focus back).
    QPointer<QWidget> keepFocusOut;
    // The control that a refused focus change was heading for; its click is dropped.
    QPointer<QWidget> refusedTarget;
};
