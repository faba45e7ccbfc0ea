// The wizard's channel page.
#include "Unit6.h"

#include "ui_Unit6.h"

#include "Dialogs.h"
#include "FieldEvents.h"
#include "Records.h"
#include "Sound.h"
#include "Unit6Detail.h"
#include "WorkingLists.h"

#include <QLineEdit>
#include <QValidator>

using namespace records;
using namespace wizardui;

void TForm6::setupChannelPage() {
    QComboBox* box = ui->Edit1a;
    // Typing names a channel; the list only offers the configured ones and never completes.
    box->setCompleter(nullptr);
    box->setInsertPolicy(QComboBox::NoInsert);
    box->setValidator(new UpperCaseValidator(box));
    ui->Edit1b->setValidator(new UpperCaseValidator(ui->Edit1b));

    connect(box->lineEdit(), &QLineEdit::textEdited, this, [this] { ChannelNumberChange(); });
    connect(box, &QComboBox::activated, this, [this] { ChannelNumberChange(); });

    watchEntry(box, [this] { ChannelNumberEntry(); });
    watchExit(box, &TForm6::ChannelNumberExit);
    watchExit(ui->Edit1b, &TForm6::FullScaleValueExit);
    watchExit(ui->Edit1c, &TForm6::TarePointExit);
    for (QWidget* w : {static_cast<QWidget*>(ui->Edit1b), static_cast<QWidget*>(ui->Edit1c),
                       static_cast<QWidget*>(ui->Edit1d), static_cast<QWidget*>(ui->Edit1e),
                       static_cast<QWidget*>(ui->Edit1f), static_cast<QWidget*>(ui->Edit1g),
                       static_cast<QWidget*>(ui->Edit1h)})
        watchEntry(w, [this] { ChannelEdited = true; });

    const std::pair<QWidget*, int> topics[] = {
        {box, 17},          {ui->Edit1b, 18},   {ui->Edit1c, 19},   {ui->Edit1d, 20},   {ui->Edit1e, 21},
        {ui->Edit1f, 22},   {ui->Edit1g, 23},   {ui->Edit1h, 24},   {ui->Button1a, 25}, {ui->Button1c, 26},
        {ui->Button1e, 27}, {ui->Button1f, 28}, {ui->Button1b, 60}, {ui->Button1d, 61}};
    for (const auto& [w, topic] : topics)
        showHelpOnEnter(w, svc.form0, ui->Memo1, topic);

    focusOnLabelClick(ui->Label1a, box);
    focusOnLabelClick(ui->Label1b, ui->Edit1b);
    focusOnLabelClick(ui->Label1c, ui->Edit1c);
    focusOnLabelClick(ui->Label1f, ui->Edit1f);
    focusOnLabelClick(ui->Label1g, ui->Edit1g);
    focusOnLabelClick(ui->Label1h, ui->Edit1h);

    connect(ui->Button1a, &QCheckBox::clicked, this, [this] { Button1aClick(); });
    connect(ui->Button1b, &QPushButton::clicked, this, [this] { Button1bClick(); });
    connect(ui->Button1c, &QPushButton::clicked, this, [this] { Button1cClick(); });
    connect(ui->Button1e, &QPushButton::clicked, this, [this] { Button1eClick(); });
    connect(ui->Button1d, &QPushButton::clicked, this, [this] { Button1dClick(); });
    connect(ui->Button1f, &QPushButton::clicked, this, [this] { reject(); });
    setChannelFieldsEnabled(false);
}

void TForm6::setChannelFieldsEnabled(bool enabled) {
    for (QWidget* w : {static_cast<QWidget*>(ui->Edit1d), static_cast<QWidget*>(ui->Edit1e),
                       static_cast<QWidget*>(ui->Label1f), static_cast<QWidget*>(ui->Edit1f),
                       static_cast<QWidget*>(ui->Label1g), static_cast<QWidget*>(ui->Edit1g),
                       static_cast<QWidget*>(ui->Label1h), static_cast<QWidget*>(ui->Edit1h)})
        w->setEnabled(enabled);
}

void TForm6::showChannel(const QString& address) {
    CurrentChannelIndex = wizardlists::findChannel(ChannelRecords, address);
    UpdateScreen(1, CurrentChannelIndex >= 0 ? ChannelRecords[CurrentChannelIndex]
                                             : defaultChannelRecord(address));
}

void TForm6::ChannelNumberChange() {
    QString address = ui->Edit1a->currentText();
    const bool valid = CheckChannel(address);
    setComboEditText(ui->Edit1a, address);
    if (valid)
        showChannel(address);
}

void TForm6::ChannelNumberEntry() {
    // Saving from here must not move the focus: the fields are disabled next, and the user is in
    // the channel number box.
    if (ChannelEdited)
        SetChannel(false);
    setChannelFieldsEnabled(false);
    ui->Button1a->setChecked(false);
    ModifyMode = false;
    helpTopic(17);
}

void TForm6::ChannelNumberExit() {
    QString address = ui->Edit1a->currentText();
    if (!CheckChannel(address))
        refuse(ui->Edit1a, fieldMessage(FieldCheck::ChannelAddress), true);
}

void TForm6::FullScaleValueExit() {
    const QString text = ui->Edit1b->text().toUpper();
    if (!fieldPasses(FieldCheck::FullScale, text)) {
        refuse(ui->Edit1b, fieldMessage(FieldCheck::FullScale), true);
        return;
    }
    if (text != FullScaleText && !ModifyMode) {
        if (!text.isEmpty()) {
            const auto derived = deriveFromFullScale(text);
            if (!derived) {
                // Beyond the range of the arithmetic ("9E999"): nothing sensible can be derived.
                refuse(ui->Edit1b, fieldMessage(FieldCheck::FullScale), true);
                return;
            }
            ui->Edit1d->setChecked(true);
            ui->Edit1f->setText(derived->scaling);
            ui->Edit1g->setText(derived->offset);
            // A full scale value longer than the box allows (from a file) derives a format of more
            // than two digits: shown whole, the save refuses it, rather than storing a cut one.
            setBoxText(ui->Edit1h, derived->format, 2);
        } else {
            ui->Edit1d->setChecked(false);
        }
    }
    FullScaleText = text;
}

void TForm6::TarePointExit() {
    const QString text = ui->Edit1c->text().toUpper();
    if (!fieldPasses(FieldCheck::TarePoint, text)) {
        refuse(ui->Edit1c, fieldMessage(FieldCheck::TarePoint), true);
        return;
    }
    if (text != TarePointText && !ModifyMode)
        ui->Edit1e->setChecked(!text.isEmpty());
    TarePointText = text;
}

void TForm6::Button1aClick() {
    QString address = ui->Edit1a->currentText();
    if (!CheckChannel(address)) {
        refuse(ui->Edit1a, fieldMessage(FieldCheck::ChannelAddress), false);
        return;
    }
    if (ui->Button1a->isChecked()) {
        setChannelFieldsEnabled(true);
        ModifyMode = true;
        ui->Edit1b->setFocus(Qt::OtherFocusReason);
    } else {
        setChannelFieldsEnabled(false);
        ModifyMode = false;
        ui->Edit1a->setFocus(Qt::OtherFocusReason);
    }
}

bool TForm6::SetChannel(bool focusOnError) {
    const std::pair<QLineEdit*, FieldCheck> checks[] = {
        {ui->Edit1f, FieldCheck::ScalingFactor},
        {ui->Edit1g, FieldCheck::ZeroOffset},
        {ui->Edit1h, FieldCheck::DataFormat},
    };
    for (const auto& [box, check] : checks) {
        if (!fieldPasses(check, box->text())) {
            // A disabled box (a bad value from the file while modify mode is off) keeps no focus.
            refuse(box, fieldMessage(check), true, focusOnError && box->isEnabled());
            return false;
        }
    }
    ChannelFields f;
    f.address = ui->Edit1a->currentText();
    f.enabled = ui->Edit1d->isChecked();
    f.zeroScan = ui->Edit1e->isChecked();
    f.scaling = ui->Edit1f->text();
    f.offset = ui->Edit1g->text();
    f.tare = ui->Edit1c->text();
    f.format = ui->Edit1h->text();
    f.fullScale = ui->Edit1b->text();
    const QString record = writeChannelRecord(f);
    if (CurrentChannelIndex == -1) {
        CurrentChannelIndex = wizardlists::storeChannel(ChannelRecords, -1, record);
        QComboBox* box = ui->Edit1a;
        if (box->findText(f.address, Qt::MatchExactly) < 0) {
            // Adding to an empty list would make the new item current and rewrite the box.
            const QString shown = box->currentText();
            box->insertItem(wizardlists::sortedInsertPosition(comboItems(box), f.address), f.address);
            setComboEditText(box, shown);
        }
    } else {
        wizardlists::storeChannel(ChannelRecords, CurrentChannelIndex, record);
    }
    ChannelEdited = false;
    return true;
}

void TForm6::Button1bClick() {
    ChannelNumberEntry();
    const QString current = ui->Edit1a->currentText().left(4);
    if (current != kLastChannel) {
        ui->Edit1a->lineEdit()->setText(nextChannelAddress(current));
        ChannelNumberChange();
    }
    putFocus(ui->Edit1a);
}

void TForm6::Button1cClick() {
    if (CurrentChannelIndex >= 0 && CurrentChannelIndex < ChannelRecords.size()) {
        const QString address = readChannelRecord(ChannelRecords[CurrentChannelIndex]).address;
        ChannelRecords.removeAt(CurrentChannelIndex);
        const QString shown = ui->Edit1a->currentText();
        const int item = ui->Edit1a->findText(address, Qt::MatchExactly);
        if (item >= 0)
            ui->Edit1a->removeItem(item);
        setComboEditText(ui->Edit1a, shown);
        if (ChannelRecords.isEmpty()) {
            CurrentChannelIndex = -1;
            UpdateScreen(1, defaultChannelRecord(kFirstChannel));
        } else {
            if (CurrentChannelIndex > 0)
                --CurrentChannelIndex;
            UpdateScreen(1, ChannelRecords[CurrentChannelIndex]);
        }
    } else if (ChannelRecords.isEmpty()) {
        CurrentChannelIndex = -1;
        UpdateScreen(1, defaultChannelRecord(kFirstChannel));
    } else {
        // Nothing to delete: the shown channel has no record. Its unsaved edits go, as with a delete.
        UpdateScreen(1, defaultChannelRecord(ui->Edit1a->currentText()));
    }
    ChannelEdited = false;
    ui->Edit1a->setFocus(Qt::OtherFocusReason);
    helpTopic(17);
}

void TForm6::Button1eClick() {
    if (ChannelEdited)
        SetChannel(true);
    showPage(2);
    putFocus(ui->Edit2a);
    helpTopic(29);
}

void TForm6::Button1dClick() {
    ChannelNumberEntry();
    done(mrAbort);
}
