#include "Main.h"

#include "Dialogs.h"
#include "PortDiscovery.h"
#include "QuitSignals.h"
#include "SerialPort.h"
#include "SimOptions.h"
#include "SimPtyServer.h"
#include "Sound.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QScreen>

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("V917ConfigurationSoftware"));
    QApplication::setApplicationVersion(QStringLiteral("1.01"));

    // COM1 and COM2 stand for devices of this machine: chosen in the link settings dialog and
    // remembered per user; a start option overrides one for this run only.
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral("V917 Configuration Software"));
    parser.addHelpOption();
    parser.addVersionOption();
    QList<QCommandLineOption> comOptions;
    for (int i = 1; i <= 2; ++i) {
        comOptions.append(QCommandLineOption(
            QStringLiteral("com%1").arg(i),
            QStringLiteral("Device used as COM%1 for this run (default: the one chosen before, else the "
                           "%2 serial device present).")
                .arg(i)
                .arg(i == 1 ? QStringLiteral("first") : QStringLiteral("second")),
            QStringLiteral("device")));
        parser.addOption(comOptions.last());
    }
    const QCommandLineOption demoOption(
        QStringLiteral("demo"),
        QStringLiteral("Try the program without hardware: COM1 is a simulated network with a new instrument "
                       "at address 00 and a configured one at 05 (RS232, 9600 baud)."));
    parser.addOption(demoOption);
    parser.process(app);

    QMap<QString, QString> overrides;
    for (int i = 0; i < comOptions.size(); ++i)
        if (parser.isSet(comOptions[i]))
            overrides.insert(QStringLiteral("COM%1").arg(i + 1), parser.value(comOptions[i]));
    platform::PortMap map =
        platform::startupPortMap(platform::SystemPortSource(), platform::rememberedPortMapFile(), overrides);

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
    deps.portMapFile = platform::rememberedPortMapFile();

    TMainForm mainForm(std::move(deps));
    if (const QScreen* screen = QGuiApplication::primaryScreen())
        mainForm.move(screen->availableGeometry().center() - mainForm.rect().center());
    mainForm.show();
    platform::quitOnTerminationSignals([&mainForm] {
        mainForm.close();
        QCoreApplication::quit(); // also leaves a modal dialog that is open
    });
    return app.exec();
}
