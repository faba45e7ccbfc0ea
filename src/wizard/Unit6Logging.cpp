// The wizard's logging parameters page and logging stage page.
#include "Unit6.h"

#include "ui_Unit6.h"

#include "Dialogs.h"
#include "FieldEvents.h"
#include "Records.h"
#include "TypedText.h"
#include "Unit6Detail.h"
#include "WorkingLists.h"

#include <QScopedValueRollback>

#include <algorithm>
#include <cmath>

using namespace records;
using namespace wizardui;

void TForm6::setupParametersPage() {
    ui->Edit2a->setValidator(new UpperCaseValidator(ui->Edit2a));
    spinEdit(ui->Edit2b)->setMaxLength(1);
    spinEdit(ui->Edit2c)->setMaxLength(2);

    watchExit(ui->Edit2a, &TForm6::SetHysteresis);
    for (QWidget* w : {static_cast<QWidget*>(ui->Edit2b), static_cast<QWidget*>(ui->Edit2c),
                       static_cast<QWidget*>(ui->Edit2d), static_cast<QWidget*>(ui->Edit2e),
                       static_cast<QWidget*>(ui->Edit2f), static_cast<QWidget*>(ui->Edit2g),
                       static_cast<QWidget*>(ui->Edit2h), static_cast<QWidget*>(ui->Edit2i)})
        onFieldExit(w, [this, w] {
            if (refocusing)
                return;
            QScopedValueRollback<QWidget*> running(exiting, w);
            SetLogSpec(w);
        });

    const std::pair<QWidget*, int> topics[] = {
        {ui->Edit2a, 29},   {ui->Edit2b, 30},   {ui->Edit2c, 31},  {ui->Edit2d, 32}, {ui->Edit2e, 33},
        {ui->Edit2f, 34},   {ui->Edit2g, 35},   {ui->Edit2h, 36},  {ui->Edit2i, 37}, {ui->Button2a, 38},
        {ui->Button2b, 39}, {ui->Button2d, 40}, {ui->Button2c, 62}};
    for (const auto& [w, topic] : topics)
        showHelpOnEnter(w, svc.form0, ui->Memo1, topic);

    focusOnLabelClick(ui->Label2a, ui->Edit2a);
    focusOnLabelClick(ui->Label2b, ui->Edit2b);
    focusOnLabelClick(ui->Label2c, ui->Edit2c);
    focusOnLabelClick(ui->Label2f, ui->Edit2f);
    focusOnLabelClick(ui->Label2g, ui->Edit2g);

    connect(ui->Button2a, &QPushButton::clicked, this, [this] { FormShow(); });
    connect(ui->Button2b, &QPushButton::clicked, this, [this] { Button2bClick(); });
    connect(ui->Button2c, &QPushButton::clicked, this, [this] { done(mrAbort); });
    connect(ui->Button2d, &QPushButton::clicked, this, [this] { reject(); });
}

void TForm6::SetHysteresis() {
    const QString text = ui->Edit2a->text().toUpper();
    if (!fieldPasses(FieldCheck::LimitHysteresis, text)) {
        refuse(ui->Edit2a, fieldMessage(FieldCheck::LimitHysteresis), false);
        return;
    }
    wizardlists::completeLogging(LoggingRecords);
    LoggingRecords[0] = writeHysteresisRecord(text);
}

bool TForm6::checkSpinBox(QSpinBox* box, FieldCheck check) {
    const QString text = box->text();
    const QString message = fieldMessage(check);
    if (text.isEmpty()) {
        // Refilled, so that leaving the box again stores 1.
        box->setValue(1);
        refuse(box, message, false);
        return false;
    }
    if (!fieldPasses(check, text)) {
        refuse(box, message, false);
        return false;
    }
    // Whole numbers the box holds are stored as typed ("08", "2.0"); any other number, from a
    // hand-edited record ("12", "2.5"), becomes the nearest one the box holds.
    const double value = text.trimmed().toDouble();
    const double whole = std::clamp(std::round(value), double(box->minimum()), double(box->maximum()));
    if (whole == value)
        return true;
    const int v = int(whole);
    box->setValue(v);
    if (box->text() != QString::number(v))
        spinEdit(box)->setText(QString::number(v));
    return true;
}

void TForm6::SetLogSpec(QWidget* left) {
    if (left == ui->Edit2b && !checkSpinBox(ui->Edit2b, FieldCheck::NumberOfPasses))
        return;
    if (left == ui->Edit2c && !checkSpinBox(ui->Edit2c, FieldCheck::NumberOfIterations))
        return;
    LogSpecFields f;
    f.passes = ui->Edit2b->text();
    f.iterations = ui->Edit2c->text();
    f.timeAndDate = ui->Edit2d->isChecked();
    f.elapsedTime = ui->Edit2e->isChecked();
    f.medium = ui->Edit2f->currentText();
    f.format = ui->Edit2g->currentText();
    f.serialReception = ui->Edit2h->isChecked();
    f.autoRun = ui->Edit2i->isChecked();
    wizardlists::completeLogging(LoggingRecords);
    LoggingRecords[1] = writeLogSpecRecord(f);
}

void TForm6::Button2bClick() {
    showPage(3);
    wizardlists::setStageCount(LoggingRecords, wizardlists::passesFromText(ui->Edit2b->text()));
    showStage(1);
    putFocus(ui->Edit3b);
    helpTopic(41);
}

void TForm6::setupStagePage() {
    for (QLineEdit* e :
         {ui->Edit3b, ui->Edit3c, ui->Edit3e, ui->Edit3f, ui->Edit3g, ui->Edit3i, ui->Edit3j, ui->Edit3k})
        e->setValidator(new typedtext::Validator(e, false, isFreeTextField));

    connect(ui->Edit3d, &QComboBox::activated, this, [this] { Edit3dChange(); });
    connect(ui->Edit3h, &QComboBox::activated, this, [this] { Edit3hChange(); });

    const std::pair<QWidget*, int> topics[] = {{ui->Edit3b, 41},   {ui->Edit3c, 42},   {ui->Edit3d, 43},
                                               {ui->Edit3h, 50},   {ui->Button3b, 57}, {ui->Button3d, 58},
                                               {ui->Button3e, 59}, {ui->Button3c, 62}};
    for (const auto& [w, topic] : topics)
        showHelpOnEnter(w, svc.form0, ui->Memo1, topic);
    QLineEdit* starts[] = {ui->Edit3e, ui->Edit3f, ui->Edit3g};
    QLineEdit* stops[] = {ui->Edit3i, ui->Edit3j, ui->Edit3k};
    for (int i = 0; i < 3; ++i) {
        showHelpOnEnter(starts[i], svc.form0, ui->Memo1,
                        [this, i] { return startParameterTopic(i, ui->Edit3d->currentText()); });
        showHelpOnEnter(stops[i], svc.form0, ui->Memo1,
                        [this, i] { return stopParameterTopic(i, ui->Edit3h->currentText()); });
    }
    showHelpOnEnter(ui->Button3a, svc.form0, ui->Memo1, [this] { return CurrentPass == 1 ? 56 : 57; });

    focusOnLabelClick(ui->Label3a, ui->Edit3a);
    focusOnLabelClick(ui->Label3b, ui->Edit3b);
    focusOnLabelClick(ui->Label3c, ui->Edit3c);
    focusOnLabelClick(ui->Label3d, ui->Edit3d);
    focusOnLabelClick(ui->Label3h, ui->Edit3h);

    connect(ui->Button3a, &QPushButton::clicked, this, [this] { Button3aClick(); });
    connect(ui->Button3b, &QPushButton::clicked, this, [this] { Button3bClick(); });
    connect(ui->Button3d, &QPushButton::clicked, this, [this] { Button3dClick(); });
    connect(ui->Button3c, &QPushButton::clicked, this, [this] { Button3cClick(); });
    connect(ui->Button3e, &QPushButton::clicked, this, [this] { reject(); });
}

void TForm6::applyStartCondition() {
    const int used = startParametersUsed(ui->Edit3d->currentText());
    QLineEdit* boxes[] = {ui->Edit3e, ui->Edit3f, ui->Edit3g};
    for (int i = 0; i < 3; ++i) {
        boxes[i]->setEnabled(i < used);
        if (i >= used)
            boxes[i]->clear();
    }
}

void TForm6::applyStopCondition() {
    const int used = stopParametersUsed(ui->Edit3h->currentText());
    QLineEdit* boxes[] = {ui->Edit3i, ui->Edit3j, ui->Edit3k};
    for (int i = 0; i < 3; ++i) {
        boxes[i]->setEnabled(i < used);
        if (i >= used)
            boxes[i]->clear();
    }
}

void TForm6::Edit3dChange() {
    applyStartCondition();
}

void TForm6::Edit3hChange() {
    applyStopCondition();
}

void TForm6::showStage(int stage) {
    UpdateScreen(4, LoggingRecords.value(stage + 1), stage);
}

void TForm6::SavePass() {
    PassFields f;
    f.field = {ui->Edit3a->text(), ui->Edit3b->text(), ui->Edit3c->text(), ui->Edit3d->currentText(),
               ui->Edit3e->text(), ui->Edit3f->text(), ui->Edit3g->text(), ui->Edit3h->currentText(),
               ui->Edit3i->text(), ui->Edit3j->text(), ui->Edit3k->text()};
    wizardlists::storeStage(LoggingRecords, CurrentPass, writePassRecord(f));
}

void TForm6::Button3aClick() {
    SavePass();
    if (CurrentPass >= 2) {
        showStage(CurrentPass - 1);
        return;
    }
    showPage(2);
    putFocus(ui->Edit2a);
    helpTopic(29);
}

void TForm6::Button3bClick() {
    SavePass();
    // The focus moves first: the forward button may hide under it on the last stage.
    ui->Edit3b->setFocus(Qt::OtherFocusReason);
    showStage(CurrentPass + 1);
}

void TForm6::Button3dClick() {
    SavePass();
    done(mrOk);
}

void TForm6::Button3cClick() {
    SavePass();
    done(mrAbort);
}
