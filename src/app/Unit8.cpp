#include "Unit8.h"

#include "ui_Unit8.h"

#include "Placement.h"

TForm8::TForm8(QWidget* parent) : QDialog(parent), ui(std::make_unique<Ui::TForm8>()) {
    ui->setupUi(this);
    setWindowFlags(Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowStaysOnTopHint |
                   Qt::WindowTitleHint | Qt::WindowCloseButtonHint);
    for (QLabel* text : {ui->Label1, ui->Label2, ui->Label3}) {
        QFont f = text->font();
        f.setBold(true);
        f.setPixelSize(16);
        text->setFont(f);
    }
    connect(ui->Button1, &QPushButton::clicked, this, [this] { done(NewConfiguration); });
    connect(ui->Button2, &QPushButton::clicked, this, [this] { done(LoadExisting); });
    connect(ui->Button3, &QPushButton::clicked, this, [this] { done(TerminalMode); });
}

TForm8::~TForm8() = default;

void TForm8::showEvent(QShowEvent* event) {
    platform::centreOnScreenOf(this, parentWidget());
    ui->Button1->setFocus();
    QDialog::showEvent(event);
}

void TForm8::reject() {
    done(LoadExisting);
}

int TForm8::choose() {
    const int result = exec();
    return result == NewConfiguration || result == TerminalMode ? result : LoadExisting;
}

void actOnWelcomeChoice(int choice, const WelcomeCommands& commands) {
    const auto run = [](const std::function<void()>& command) {
        if (command)
            command();
    };
    switch (choice) {
    case TForm8::NewConfiguration:
        run(commands.FileNew);
        break;
    case TForm8::TerminalMode:
        run(commands.TerminalSelect);
        break;
    default:
        run(commands.FileOpen);
        run(commands.Form2Show);
        break;
    }
}
