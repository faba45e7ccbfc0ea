#include "ScriptCommands.h"

#include "ConfigCheck.h"
#include "ConfigFile.h"
#include "ConfigTree.h"
#include "KovComms.h"
#include "LinkState.h"
#include "LongOperation.h"
#include "NetworkScan.h"
#include "PortDiscovery.h"
#include "Positional.h"
#include "PrintListing.h"
#include "ProgramRun.h"
#include "ProgramTranscript.h"
#include "QuitSignals.h"
#include "SetupCommands.h"
#include "Translations.h"
#include "Unit0.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QGuiApplication>
#include <QPointer>
#include <QPrinter>
#include <QScopeGuard>

#include <algorithm>
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
            [&operation, &stoppedEarly, &comms] {
                // A device that went away answers nothing: the rest of the scan would only pretend.
                return (stoppedEarly = operation.stopRequested()) || !comms.IsOpen();
            });
    }
    if (!comms.IsOpen()) {
        const LinkState& link = comms.state();
        fail(tr("%1 %2 went away during the scan").arg(link.comName, link.device));
        return cli::exitcode::Port;
    }
    return stoppedEarly ? cli::exitcode::Instrument : cli::exitcode::Success;
}

int ScriptCommands::program(const cli::AppOptions& options, platform::PortMap map) {
    QStringList wanted;
    for (const QString& typed : options.addresses) {
        const QString address = typed.trimmed().toUpper();
        if (!setup::isHexAddress(address)) {
            fail(tr("--address takes two hexadecimal digits, 00 to FF, not \"%1\"").arg(plain(typed)));
            return cli::exitcode::Usage;
        }
        if (!wanted.contains(address))
            wanted += address;
    }

    ConfigTree tree;
    const ConfigReadResult read = readConfigFile(tree, options.file);
    if (!read.wholeFileRead()) {
        // Half a file is not programmed: the instruments after the stop would keep their old set-up
        // without anyone noticing.
        const QString line =
            read.stoppedAtLine > 0 ? QString::number(read.stoppedAtLine) + QStringLiteral(": ") : QString();
        fail(plain(read.stoppedAtLine > 0 ? options.file + QLatin1Char(':') + line +
                                                read.errorMessage.section(QLatin1Char('\n'), 0, 0)
                                          : read.errorMessage));
        return cli::exitcode::File;
    }

    QList<const ConfigNode*> chosen;
    const QList<ConfigNode*> instruments = positional::instruments(tree);
    if (options.all) {
        for (const ConfigNode* n : instruments)
            chosen += n;
    } else {
        for (const QString& address : wanted) {
            const auto at =
                std::find_if(instruments.cbegin(), instruments.cend(), [&address](const ConfigNode* n) {
                    return positional::instrumentAddress(n) == address;
                });
            if (at == instruments.cend()) {
                fail(tr("%1 holds no instrument with the address %2").arg(plain(options.file), address));
                return cli::exitcode::Usage;
            }
            chosen += *at;
        }
    }

    // A report is what a plant keeps of the run: a folder it cannot be written to is said before
    // any instrument is touched, not after an hour of programming.
    if (!options.report.isEmpty()) {
        const QFileInfo folder(QFileInfo(options.report).absolutePath());
        if (!folder.isDir() || !folder.isWritable()) {
            fail(plain(tr("Cannot create file %1").arg(options.report)));
            return cli::exitcode::Report;
        }
    }

    // Problems are told, and the records sent as they stand, as the window would send them.
    for (const ConfigProblem& p : checkConfiguration(tree))
        print(err, plain(QStringLiteral("%1:%2: %3").arg(options.file).arg(p.line).arg(p.message)));

    // The port, line mode and speed of the file's Communication Settings, as opening it in the window
    // gives them; --device names the device its COM port stands for in this run.
    SharedSettings fromFile;
    takeLinkSettings(tree, fromFile);
    if (!options.device.isEmpty())
        map.setDevice(comPortText(fromFile.HostComPort), options.device);
    TForm0 form0(std::make_unique<platform::QtSerialPort>(std::move(map)));
    takeLinkSettings(tree, form0.Settings);
    form0.installRXReceive();
    if (!form0.ApplySettings()) {
        fail(linkFailureMessage(form0.Comms.state()));
        return cli::exitcode::Port;
    }
    if (stopped())
        return cli::exitcode::Instrument;
    return runProgramming(form0, tree, chosen, options);
}

int ScriptCommands::runProgramming(TForm0& form0, const ConfigTree& tree,
                                   const QList<const ConfigNode*>& chosen, const cli::AppOptions& options) {
    QList<ProgramTarget> targets;
    for (const ConfigNode* instrument : chosen)
        targets += programTarget(instrument, form0.Settings.HostCommandPrefix);
    ProgramRun run(form0.Comms, targets);
    run.options.carryOn = !options.stopOnFailure;
    run.options.checkFirst = options.checkIdentity;
    const auto tell = [this, &run](int row) {
        print(err, plain(run.target(row).address) + QLatin1Char('\t') + plain(run.status(row).text()));
    };
    // One line per instrument as it ends, so a long run shows where it is.
    run.rowChanged = [&run, &tell](int row) {
        switch (run.status(row).state) {
        case InstrumentStatus::Saved:
        case InstrumentStatus::Failed:
        case InstrumentStatus::Stopped:
        case InstrumentStatus::NotA917:
            tell(row);
            break;
        case InstrumentStatus::NotStarted:
        case InstrumentStatus::Checking:
        case InstrumentStatus::Programming:
            break;
        }
    };

    ProgramTranscript transcript(form0.Comms.linkClock());
    form0.Settings.ConfigFileName = QFileInfo(options.file).absoluteFilePath();
    transcript.start(programReportHeader(tree, form0.Settings, form0.Comms.state()) + run.reportFields());
    {
        LongOperation operation(form0.Comms, nullptr, nullptr);
        // Termination signals arrive through the event loop, which the poll runs between exchanges.
        run.pollStop = [&operation] { return operation.stopRequested(); };
        stopRun = [&run] { run.cancel(); };
        const auto forget = qScopeGuard([this] { stopRun = nullptr; });
        run.run({}, &transcript);
    }
    for (int row = 0; row < run.size(); ++row)
        if (run.status(row).state == InstrumentStatus::NotStarted)
            tell(row);
    print(out, plain(run.summary()));

    int code = run.allSaved() && !run.cancelled() ? cli::exitcode::Success : cli::exitcode::Instrument;
    if (!options.report.isEmpty()) {
        QString error;
        bool written = false;
        if (options.report.endsWith(QLatin1String(".pdf"), Qt::CaseInsensitive)) {
            QPrinter printer(QPrinter::HighResolution);
            printer.setOutputFormat(QPrinter::PdfFormat);
            printer.setOutputFileName(options.report);
            written = printListing(printer, printableReportLines(transcript), &error);
        } else {
            written = writeReport(transcript, options.report, &error);
        }
        if (!written) {
            fail(plain(error));
            if (code == cli::exitcode::Success)
                code = cli::exitcode::Report;
        }
    }
    return code;
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
