#include "TerminalScreen.h"

#include "ui_TerminalScreen.h"

#include "FieldEvents.h"
#include "HexView.h"

#include <QKeyEvent>
#include <QTextCursor>

namespace {

QFont pixelFont(const QString& family, QFont::StyleHint hint, int pixels) {
    QFont f(family);
    f.setStyleHint(hint); // "Courier" and "Arial" fall back to the machine's fixed and sans fonts
    f.setPixelSize(pixels);
    return f;
}

} // namespace

TerminalScreen::TerminalScreen(QWidget* parent)
    : QWidget(parent), ui(std::make_unique<Ui::TerminalScreen>()) {
    ui->setupUi(this);
    const QFont header = pixelFont(QStringLiteral("Arial"), QFont::SansSerif, 12);
    const QFont fixed = pixelFont(QStringLiteral("Courier"), QFont::TypeWriter, 13);
    ui->TermRXLabel->setFont(header);
    ui->TermTXLabel->setFont(header);
    ui->TermRX->setFont(fixed);
    ui->TermTX->setFont(fixed);

    hex = new HexView(this);
    hex->setObjectName(QStringLiteral("TermHex"));
    hex->setAccessibleName(tr("Receive Window in hex"));
    hex->setFont(fixed);
    hex->setFixedHeight(ui->TermRX->minimumHeight());
    hex->setEnabled(false);
    hex->hide();
    ui->TerminalContentLayout->insertWidget(ui->TerminalContentLayout->indexOf(ui->TermRX) + 1, hex);
    setTabOrder(ui->TermRX, hex);

    focusOnLabelClick(ui->TermRXLabel, ui->TermRX);
    focusOnLabelClick(ui->TermTXLabel, ui->TermTX);
    focusOnLabelClick(ui->TerminalLabel, ui->TerminalList);
    ui->TermTX->installEventFilter(this);
}

TerminalScreen::~TerminalScreen() = default;

bool TerminalScreen::eventFilter(QObject* watched, QEvent* event) {
    if (watched == ui->TermTX && event->type() == QEvent::KeyPress) {
        auto* key = static_cast<QKeyEvent*>(event);
        const QString text = key->text();
        if (onTransmitKey)
            for (const QChar c : text)
                onTransmitKey(c);
        // Shift+Enter would insert a soft break inside the line; every Enter starts a new line.
        const bool enter = key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter;
        if (enter && (key->modifiers() & Qt::ShiftModifier)) {
            ui->TermTX->textCursor().insertBlock();
            ui->TermTX->ensureCursorVisible();
            return true;
        }
    }
    return QWidget::eventFilter(watched, event);
}

QLabel* TerminalScreen::TermRXLabel() const {
    return ui->TermRXLabel;
}
QPushButton* TerminalScreen::TermRXClear() const {
    return ui->TermRXClear;
}
QPlainTextEdit* TerminalScreen::TermRX() const {
    return ui->TermRX;
}
QLabel* TerminalScreen::TermTXLabel() const {
    return ui->TermTXLabel;
}
QLabel* TerminalScreen::TerminalLabel() const {
    return ui->TerminalLabel;
}
QComboBox* TerminalScreen::TerminalList() const {
    return ui->TerminalList;
}
QPushButton* TerminalScreen::TerminalLog() const {
    return ui->TerminalLog;
}
QPushButton* TerminalScreen::TerminalScan() const {
    return ui->TerminalScan;
}
QPushButton* TerminalScreen::TermTXClear() const {
    return ui->TermTXClear;
}
QPlainTextEdit* TerminalScreen::TermTX() const {
    return ui->TermTX;
}
