#include "ScriptCommands.h"

#include "ConfigCheck.h"
#include "KovComms.h"
#include "LinkState.h"
#include "LongOperation.h"
#include "NetworkScan.h"
#include "PortDiscovery.h"
#include "QuitSignals.h"
#include "SetupCommands.h"
#include "Translations.h"
#include "Unit0.h"

#include <QCoreApplication>
#include <QGuiApplication>
#include <QPointer>
#include <QScopeGuard>

#include <memory>

namespace {

// Text from a file or an instrument may hold control characters; on a terminal they would act, and
// a TAB would shift the columns a script reads. They are shown as \xNN.
QString plain(const QString& text) {
    QString shown;
    shown.reserve(text.size());
    for (const QChar c : text) {
        const ushort u = c.unicode();
        if (u < 0x20 || (u >= 0x7f && u < 0xa0))
            shown += QStringLiteral("\\x%1").arg(u, 2, 16, QLatin1Char('0'));
        else
            shown += c;
    }
    return shown;
}

int indexOfText(const QString& text, QString (*name)(int), int count) {
    for (int i = 0; i < count; ++i)
        if (text == name(i))
            return i;
    return -1;
}

} // namespace

ScriptCommands::ScriptCommands(std::FILE* out, std::FILE* err) : out(out), err(err) {}

void ScriptCommands::print(std::FILE* to, const QString& line) {
    std::fputs((line + QLatin1Char('\n')).toLocal8Bit().constData(), to);
    std::fflush(to);
}

void ScriptCommands::fail(const QString& message) {
    print(err, QCoreApplication::applicationName() + QStringLiteral(": ") + message);
}

void ScriptCommands::stop() {
    stopAsked = true;
    if (stopRun)
        stopRun();
}

int ScriptCommands::validate(const QString& file) {
    const ConfigFileCheck check = checkConfigFile(file);
    if (!check.readable) {
        fail(plain(check.problems.value(0).message));
        return cli::exitcode::File;
    }
    for (const ConfigProblem& p : check.problems)
        print(out, plain(QStringLiteral("%1:%2: %3").arg(file).arg(p.line).arg(p.message)));
    return check.clean() ? cli::exitcode::Success : cli::exitcode::File;
}

int ScriptCommands::scan(const cli::AppOptions& options, platform::PortMap map) {
    const int last = setup::addressValue(options.last.toUpper());
    const int speed = indexOfText(options.speed, comSpeedText, 8);
    const int protocol = indexOfText(options.protocol.toUpper(), comProtocolText, 3);
    const QString& prefix = options.prefix;
    const auto usage = [this](const QString& message) {
        fail(message);
        return cli::exitcode::Usage;
    };
    if (last < 0)
        return usage(tr("--last takes an address of two hexadecimal digits, 00 to FF"));
    if (speed < 0)
        return usage(tr("--speed takes 600, 1200, 2400, 4800, 9600, 19200, 38400 or 57600"));
    if (protocol < 0)
        return usage(tr("--protocol takes RS232, RS422 or RS485"));
    if (prefix.size() != 1 || prefix[0].unicode() <= 0x20 || prefix[0].unicode() >= 0x7f)
        return usage(tr("--prefix takes one printable character"));

    const QString comName = comPortText(0);
    if (!options.device.isEmpty())
        map.setDevice(comName, options.device);
    TKovComms comms(std::make_unique<platform::QtSerialPort>(map));
    comms.setComPort(TComPort::Com1);
    comms.setComMode(TComMode(protocol));
    comms.setComSpeed(TComSpeed(speed));
    if (!comms.Open()) {
        fail(linkFailureMessage(comms.state()));
        return cli::exitcode::Port;
    }
    if (stopped())
        return cli::exitcode::Instrument;

    bool stoppedEarly = false;
    {
        LongOperation operation(comms, nullptr, nullptr);
        QPointer<LongOperation> running(&operation);
        stopRun = [running] {
            if (running)
                running->requestStop();
        };
        const auto forget = qScopeGuard([this] { stopRun = nullptr; });
        scanNetwork(
            comms, prefix, last, {},
            [this](const ScanHit& hit) { print(out, hit.address + QLatin1Char('\t') + plain(hit.reply)); },
            [&operation, &stoppedEarly] { return stoppedEarly = operation.stopRequested(); });
    }
    return stoppedEarly ? cli::exitcode::Instrument : cli::exitcode::Success;
}

int ScriptCommands::program(const cli::AppOptions& options, platform::PortMap map) {
    Q_UNUSED(options);
    Q_UNUSED(map);
    fail(tr("--program is not available in this build"));
    return cli::exitcode::Usage;
}

int runScriptCommand(const cli::AppOptions& options, int argc, char* argv[]) {
    // A PDF is drawn with fonts, which need a GUI application object; the offscreen platform gives
    // one without a display. Everything else needs only the core.
    const bool pdf = options.command == cli::Command::Program &&
                     options.report.endsWith(QLatin1String(".pdf"), Qt::CaseInsensitive);
    std::unique_ptr<QCoreApplication> app;
    if (pdf) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
        app = std::make_unique<QGuiApplication>(argc, argv);
    } else {
        app = std::make_unique<QCoreApplication>(argc, argv);
    }
    installTranslators(*app);

    ScriptCommands commands(stdout, stderr);
    platform::quitOnTerminationSignals([&commands] { commands.stop(); });
    const auto portMap = [&options] {
        return platform::startupPortMap(platform::SystemPortSource(), platform::rememberedPortMapFile(),
                                        options.comDevices);
    };
    switch (options.command) {
    case cli::Command::Validate:
        return commands.validate(options.file);
    case cli::Command::Scan:
        return commands.scan(options, portMap());
    case cli::Command::Program:
        return commands.program(options, portMap());
    case cli::Command::Window:
        break;
    }
    return cli::exitcode::Usage;
}
