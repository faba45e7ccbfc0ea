#include "Main.h"

#include "CommandLine.h"

#include "Dialogs.h"
#include "LongOperation.h"
#include "PortDiscovery.h"
#include "ScriptCommands.h"
#include "SerialPort.h"
#include "SimOptions.h"
#include "SimPtyServer.h"
#include "Sound.h"
#include "Translations.h"
#include "UserFolders.h"
#include "V917Version.h"

#include <QApplication>
#include <QIcon>
#include <QScreen>

int main(int argc, char* argv[]) {
    QCoreApplication::setApplicationName(QStringLiteral("v917config"));
    QCoreApplication::setApplicationVersion(QStringLiteral(V917_VERSION));
    cli::AppOptions options;
    const QStringList arguments = cli::fromArgv(argc, argv);
    cli::Outcome o = cli::readAppOptions(arguments, options);
    if (!o.exit && options.command != cli::Command::Window)
        return runScriptCommand(options, argc, argv);
    if (!o.exit)
        o = cli::checkDisplay(arguments);
    if (o.exit) {
        cli::print(o);
        return o.exitCode;
    }

    QApplication app(argc, argv);
    installTranslators(app);
    QGuiApplication::setDesktopFileName(QStringLiteral("v917config"));
    QIcon icon;
    for (int size : {16, 24, 32, 48, 64, 128, 256})
        icon.addFile(QStringLiteral(":/icons/%1/v917config.png").arg(size));
    QApplication::setWindowIcon(icon);

    // COM1 and COM2 stand for devices of this machine: chosen in the link settings dialog and
    // remembered per user; a start option overrides one for this run only.
    platform::PortMap map = platform::startupPortMap(platform::SystemPortSource(),
                                                     platform::rememberedPortMapFile(), options.comDevices);

    // Declared before the main window, so it outlives the link that talks to it.
    std::unique_ptr<sim::SimPtyServer> demo;
    if (options.demo) {
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
    deps.folderMemoryFile = platform::rememberedFolderFile();

    TMainForm mainForm(std::move(deps));
    if (!options.file.isEmpty())
        mainForm.openFileAtStart(options.file, cli::fileNameIntact(options.file, argc, argv));
    if (const QScreen* screen = QGuiApplication::primaryScreen())
        mainForm.move(screen->availableGeometry().center() - mainForm.rect().center());
    mainForm.show();
    // A scan or programming run under way stops after its exchange and ends without its boxes first.
    LongOperation::endProgramOnTerminationSignals([&mainForm] {
        mainForm.closeUnattended();
        QCoreApplication::quit(); // also leaves a modal dialog that is open
    });
    return app.exec();
}
