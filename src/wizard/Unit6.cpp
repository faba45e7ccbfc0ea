#include "Unit6.h"

#include "ui_Unit6.h"

#include "Dialogs.h"
#include "FieldEvents.h"
#include "Placement.h"
#include "Records.h"
#include "Sound.h"
#include "Unit6Detail.h"
#include "WorkingLists.h"

#include <QApplication>
#include <QFocusEvent>
#include <QFontDatabase>
#include <QFontInfo>
#include <QLineEdit>
#include <QScopedValueRollback>
#include <QValidator>

using namespace records;
using namespace wizardui;

void MatchComboItem(QComboBox* box, const QString& field) {
    if (box->count() > 0)
        box->setCurrentIndex(matchChoice(comboItems(box), field));
}

// Sits behind the exit handlers of every field. A focus-out whose check put the focus back never
// reaches the widget (it would stop the caret of a field that has the focus again), and a click whose
// focus change was refused does not press the control.
class FieldGuard final : public QObject {
public:
    explicit FieldGuard(TForm6& form) : QObject(&form), form(form) {}

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        switch (event->type()) {
        case QEvent::FocusOut: {
            const auto reason = static_cast<QFocusEvent*>(event)->reason();
            if (form.keepFocusOut == watched && reason != Qt::ActiveWindowFocusReason &&
                reason != Qt::PopupFocusReason) {
                form.keepFocusOut = nullptr;
                return true;
            }
            break;
        }
        case QEvent::MouseButtonPress:
        case QEvent::MouseButtonDblClick: {
            auto* widget = static_cast<QWidget*>(watched);
            if (form.refusedTarget == widget && !widget->hasFocus())
                return true;
            break;
        }
        default:
            break;
        }
        return QObject::eventFilter(watched, event);
    }

private:
    TForm6& form;
};

// Entry handlers run when the user brings the focus to a field, not when the window gets it back
// from a message box or a drop-down list, nor while the form moves the focus itself.
class EntryWatcher final : public QObject {
public:
    EntryWatcher(QWidget* field, TForm6& form, std::function<void()> handler)
        : QObject(field), form(form), handler(std::move(handler)) {}

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::FocusIn && !form.refocusing) {
            const auto reason = static_cast<QFocusEvent*>(event)->reason();
            if (reason != Qt::ActiveWindowFocusReason && reason != Qt::PopupFocusReason)
                handler();
        }
        return QObject::eventFilter(watched, event);
    }

private:
    TForm6& form;
    std::function<void()> handler;
};

TForm6::TForm6(Services& services, QWidget* parent)
    : QDialog(parent), svc(services), ui(std::make_unique<Ui::TForm6>()) {
    ui->setupUi(this);
    setWindowFlags(Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowTitleHint |
                   Qt::WindowCloseButtonHint);
    setFixedSize(530, 500);
    QFont font(QStringLiteral("Arial"));
    font.setStyleHint(QFont::SansSerif);
    font.setPixelSize(12);
    setFont(font);
    QFont fixed(QStringLiteral("Courier"));
    fixed.setStyleHint(QFont::TypeWriter);
    fixed.setFixedPitch(true);
    if (!QFontInfo(fixed).fixedPitch())
        fixed = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    fixed.setPixelSize(13);
    ui->Memo1->setFont(fixed);

    // The guard goes on before any exit handler, so it sees each focus-out after them.
    auto* guard = new FieldGuard(*this);
    for (QWidget* panel : {static_cast<QWidget*>(ui->Panel1), static_cast<QWidget*>(ui->Panel2),
                           static_cast<QWidget*>(ui->Panel3)})
        for (QWidget* w : panel->findChildren<QWidget*>())
            if (w->focusPolicy() != Qt::NoFocus)
                w->installEventFilter(guard);

    setupChannelPage();
    setupParametersPage();
    setupStagePage();
    showPage(1);
}

TForm6::~TForm6() {
    // Hiding moves the focus out of the fields; their handlers must not run on a form being destroyed.
    refocusing = true;
    hide();
    // The fields' focus filters read this form's members. The base class destroys the fields (and
    // sends the last focus-out) only after those members are gone, so the fields go first, here.
    qDeleteAll(findChildren<QWidget*>(Qt::FindDirectChildrenOnly));
}

void TForm6::watchExit(QWidget* field, void (TForm6::*handler)()) {
    onFieldExit(field, [this, field, handler] {
        if (refocusing)
            return;
        QScopedValueRollback<QWidget*> running(exiting, field);
        (this->*handler)();
    });
}

void TForm6::watchEntry(QWidget* field, std::function<void()> handler) {
    field->installEventFilter(new EntryWatcher(field, *this, std::move(handler)));
}

void TForm6::putFocus(QWidget* field) {
    QScopedValueRollback<bool> quiet(refocusing, true);
    if (field->isEnabled())
        field->setFocus(Qt::OtherFocusReason);
}

void TForm6::refuse(QWidget* field, const QString& message, bool beep, bool moveFocus) {
    if (beep)
        svc.sound.beep();
    if (field == exiting) {
        // The focus is on its way to another control: take it back before it arrives, so that
        // control runs none of its entry handlers and its click is dropped.
        QWidget* heading = QApplication::focusWidget();
        if (heading && heading != field)
            refusedTarget = heading;
        keepFocusOut = field;
    }
    if (moveFocus)
        putFocus(field);
    svc.dialogs.error(this, message);
}

void TForm6::helpTopic(int topic) {
    svc.form0.ReadUserHelp(ui->Memo1, topic);
}

int TForm6::currentPage() const {
    if (ui->Panel2->isVisibleTo(this))
        return 2;
    if (ui->Panel3->isVisibleTo(this))
        return 3;
    return 1;
}

void TForm6::showPage(int page) {
    QWidget* panels[] = {ui->Panel1, ui->Panel2, ui->Panel3};
    QScopedValueRollback<bool> quiet(refocusing, true);
    // A page hidden with the focus inside would hand the focus along its tab chain and run the
    // handlers of fields nobody entered.
    if (QWidget* f = focusWidget())
        for (int i = 0; i < 3; ++i)
            if (i + 1 != page && panels[i]->isAncestorOf(f))
                f->clearFocus();
    panels[page - 1]->show();
    for (int i = 0; i < 3; ++i)
        if (i + 1 != page)
            panels[i]->hide();
    // A spin box resets its text to its value when shown, which would lose a field the record holds
    // as text (empty, or not a whole number); the page always matches its record, so show it again.
    if (page == 2)
        UpdateScreen(3, LoggingRecords.value(1));
}

void TForm6::setButton3dCaption(const QString& caption) {
    ui->Button3d->setText(caption);
}

void TForm6::reject() {
    done(mrCancel);
}

void TForm6::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    if (event->spontaneous())
        return;
    platform::centreOnScreenOf(this, parentWidget());
    FormShow();
}

void TForm6::LoadChannelNumberBox() {
    ui->Edit1a->clear();
    ui->Edit1a->addItems(wizardlists::channelNumberItems(ChannelRecords));
    ui->Edit1a->setEditText(ui->Edit1a->count() > 0 ? ui->Edit1a->itemText(0) : kFirstChannel);
}

void TForm6::FormShow() {
    wizardlists::completeLogging(LoggingRecords);
    showPage(1);
    ChannelEdited = false;
    QString address = ui->Edit1a->currentText();
    if (CheckChannel(address)) {
        showChannel(address);
    } else {
        // A hand-edited address: show defaults under it; the box cannot be left until it is valid.
        CurrentChannelIndex = -1;
        UpdateScreen(1, defaultChannelRecord(ui->Edit1a->currentText()));
    }
    putFocus(ui->Edit1a);
    ChannelNumberEntry();
    helpTopic(17);
    UpdateScreen(2, LoggingRecords.value(0));
    UpdateScreen(3, LoggingRecords.value(1));
    UpdateScreen(4, LoggingRecords.value(2), 1);
}

void TForm6::UpdateScreen(int kind, const QString& record, int stage) {
    switch (kind) {
    case 1: {
        const ChannelFields f = readChannelRecord(record);
        setComboEditText(ui->Edit1a, f.address);
        ui->Edit1d->setChecked(f.enabled);
        ui->Edit1e->setChecked(f.zeroScan);
        ui->Edit1f->setText(f.scaling);
        ui->Edit1g->setText(f.offset);
        setBoxText(ui->Edit1h, f.format, 2);
        FullScaleText = f.fullScale;
        TarePointText = f.tare;
        setBoxText(ui->Edit1b, FullScaleText, 9);
        ui->Edit1c->setText(TarePointText);
        break;
    }
    case 2:
        ui->Edit2a->setText(readHysteresisRecord(record));
        break;
    case 3: {
        const LogSpecFields f = readLogSpecRecord(record);
        setSpinText(ui->Edit2b, f.passes, 1);
        setSpinText(ui->Edit2c, f.iterations, 2);
        ui->Edit2d->setChecked(f.timeAndDate);
        ui->Edit2e->setChecked(f.elapsedTime);
        MatchComboItem(ui->Edit2f, f.medium);
        MatchComboItem(ui->Edit2g, f.format);
        ui->Edit2h->setChecked(f.serialReception);
        ui->Edit2i->setChecked(f.autoRun);
        break;
    }
    case 4: {
        const PassFields f = readPassRecord(record);
        // The stage's position decides, whatever pass number a hand-edited record claims.
        ui->Edit3a->setValue(stage);
        ui->Edit3b->setText(f.field[PassFields::Interval]);
        ui->Edit3c->setText(f.field[PassFields::Function]);
        MatchComboItem(ui->Edit3d, f.field[PassFields::Start]);
        ui->Edit3e->setText(f.field[PassFields::Start1]);
        ui->Edit3f->setText(f.field[PassFields::Start2]);
        ui->Edit3g->setText(f.field[PassFields::Start3]);
        applyStartCondition();
        MatchComboItem(ui->Edit3h, f.field[PassFields::Stop]);
        ui->Edit3i->setText(f.field[PassFields::Stop1]);
        ui->Edit3j->setText(f.field[PassFields::Stop2]);
        ui->Edit3k->setText(f.field[PassFields::Stop3]);
        applyStopCondition();
        CurrentPass = stage;
        ui->Button3a->setText(CurrentPass == 1
                                  ? tr("Edit Data Logging Parameters")
                                  : tr("Edit Data Logging Stage (Pass) %1").arg(CurrentPass - 1));
        const bool last = CurrentPass >= wizardlists::stageCount(LoggingRecords);
        ui->Button3b->setVisible(!last);
        ui->Button3d->setVisible(last);
        if (!last)
            //: %1 is the number of the logging stage
            ui->Button3b->setText(tr("Edit Data Logging Stage (Pass) %1").arg(CurrentPass + 1));
        break;
    }
    default:
        break;
    }
}
