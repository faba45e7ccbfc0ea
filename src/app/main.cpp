#include "Main.h"

#include "Dialogs.h"
#include "QuitSignals.h"
#include "SerialPort.h"
#include "SimOptions.h"
#include "SimPtyServer.h"
#include "Sound.h"
#include "Translations.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QScreen>

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    installTranslators(app);
    QApplication::setApplicationName(QStringLiteral("V917ConfigurationSoftware"));
    QApplication::setApplicationVersion(QStringLiteral("1.01"));

    // COM1..COM4 name Windows ports; on this machine they map to devices. A USB adapter's name is
    // only known where the program runs, so the mapping is a start option, not a setting.
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral("V917 Configuration Software"));
    parser.addHelpOption();
    parser.addVersionOption();
    QList<QCommandLineOption> comOptions;
    for (int i = 1; i <= 4; ++i) {
        comOptions.append(QCommandLineOption(
            QStringLiteral("com%1").arg(i),
            QStringLiteral("Device used as COM%1 (default /dev/ttyS%2).").arg(i).arg(i - 1),
            QStringLiteral("device")));
        parser.addOption(comOptions.last());
    }
    const QCommandLineOption demoOption(
        QStringLiteral("demo"),
        QStringLiteral("Try the program without hardware: COM1 is a simulated network with a new instrument "
                       "at address 00 and a configured one at 05 (RS232, 9600 baud)."));
    parser.addOption(demoOption);
    parser.addPositionalArgument(QStringLiteral("file"), QStringLiteral("Configuration file to open."),
                                 QStringLiteral("[file]"));
    parser.process(app);

    platform::PortMap map;
    for (int i = 0; i < 4; ++i)
        if (parser.isSet(comOptions[i]))
            map.setDevice(QStringLiteral("COM%1").arg(i + 1), parser.value(comOptions[i]));

    // Declared before the main window, so it outlives the link that talks to it.
    std::unique_ptr<sim::SimPtyServer> demo;
    if (parser.isSet(demoOption)) {
        QString error;
        demo = sim::startDemoServer(&error);
        if (demo)
            map.setDevice(QStringLiteral("COM1"), demo->slavePath());
        else
            qWarning("Demo mode is not available: %s", qPrintable(error));
    }

    platform::QtDialogService dialogs;
    platform::AlsaSound sound;
    MainFormDeps deps;
    deps.port = std::make_unique<platform::QtSerialPort>(map);
    deps.dialogs = &dialogs;
    deps.sound = &sound;

    TMainForm mainForm(std::move(deps));
    if (!parser.positionalArguments().isEmpty())
        mainForm.openFileAtStart(parser.positionalArguments().constFirst());
    if (const QScreen* screen = QGuiApplication::primaryScreen())
        mainForm.move(screen->availableGeometry().center() - mainForm.rect().center());
    mainForm.show();
    platform::quitOnTerminationSignals([&mainForm] {
        mainForm.closeUnattended();
        QCoreApplication::quit(); // also leaves a modal dialog that is open
    });
    return app.exec();
}
