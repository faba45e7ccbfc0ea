#include "CommandLine.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QLibraryInfo>
#include <QSet>

#include <cstdio>
#include <cstring>
#include <limits>

#ifdef Q_OS_UNIX
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>
#endif

namespace cli {

namespace {

// Options QGuiApplication and QApplication take out of the command line themselves.
const QSet<QString>& guiOptionsWithValue() {
    static const QSet<QString> names = {
        "platform",        "platformpluginpath", "platformtheme", "plugin",
        "qwindowgeometry", "qwindowicon",        "qwindowtitle",  "session",
        "display",         "geometry",           "style",         "stylesheet"};
    return names;
}
const QSet<QString>& guiFlags() {
    static const QSet<QString> names = {"reverse", "widgetcount", "nograb", "dograb", "sync"};
    return names;
}

QStringList withoutGuiOptions(const QStringList& arguments) {
    QStringList kept;
    for (qsizetype i = 0; i < arguments.size(); ++i) {
        const QString& a = arguments[i];
        if (a == QLatin1String("--")) {
            kept += arguments.mid(i);
            break;
        }
        if (i > 0 && a.startsWith(QLatin1Char('-'))) {
            QString name = a.mid(a.startsWith(QLatin1String("--")) ? 2 : 1);
            const qsizetype eq = name.indexOf(QLatin1Char('='));
            const bool inlineValue = eq >= 0;
            if (inlineValue)
                name.truncate(eq);
            if (guiOptionsWithValue().contains(name)) {
                if (!inlineValue)
                    ++i;
                continue;
            }
            if (!inlineValue && guiFlags().contains(name))
                continue;
        }
        kept += a;
    }
    return kept;
}

} // namespace

// The command line is read before the application object exists, so before any translator is
// installed: its texts stay in English.
Outcome read(QCommandLineParser& parser, const QStringList& arguments, int maxPositional, bool guiOptions) {
    const QString name = QCoreApplication::applicationName();
    const QCommandLineOption help = parser.addHelpOption();
    const QCommandLineOption version = parser.addVersionOption();
    Outcome o;
    const QString tryHelp = QStringLiteral("Try '%1 --help' for more information.\n").arg(name);
    if (!parser.parse(guiOptions ? withoutGuiOptions(arguments) : arguments)) {
        o = {true, 2, {}, QStringLiteral("%1: %2\n").arg(name, parser.errorText()) + tryHelp};
    } else if (parser.isSet(help) || parser.isSet(QStringLiteral("help-all"))) {
        // Without an application object Qt does not know the program's name.
        QString text = parser.helpText();
        text.replace(QLatin1String("<executable_name>"), name);
        o = {true, 0, text, {}};
    } else if (parser.isSet(version)) {
        o = {true, 0, QStringLiteral("%1 %2\n").arg(name, QCoreApplication::applicationVersion()), {}};
    } else if (parser.positionalArguments().size() > maxPositional) {
        o = {true,
             2,
             {},
             QStringLiteral("%1: unexpected argument '%2'\n")
                     .arg(name, parser.positionalArguments().value(maxPositional)) +
                 tryHelp};
    }
    return o;
}

void print(const Outcome& outcome) {
    std::fputs(outcome.out.toLocal8Bit().constData(), stdout);
    std::fputs(outcome.err.toLocal8Bit().constData(), stderr);
    std::fflush(stdout);
}

QStringList fromArgv(int argc, char* argv[]) {
    QStringList list;
    for (int i = 0; i < argc; ++i)
        list += QFile::decodeName(argv[i]);
    return list;
}

bool fileNameIntact(const QString& decoded, int argc, char* argv[]) {
    for (int i = 1; i < argc; ++i) {
        const QByteArray bytes(argv[i]);
        if (QFile::decodeName(bytes) == decoded && QFile::encodeName(decoded) != bytes)
            return false;
    }
    return true;
}

namespace {

Outcome usage(const QString& message) {
    const QString name = QCoreApplication::applicationName();
    return {true,
            exitcode::Usage,
            {},
            QStringLiteral("%1: %2\nTry '%1 --help' for more information.\n").arg(name, message)};
}

} // namespace

Outcome readAppOptions(const QStringList& arguments, AppOptions& options) {
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral(
        "V917 Configuration Software: configures model 917 data-logging instruments on a serial network.\n"
        "\n"
        "Without --validate, --program or --scan it opens its window. With one of them it does that work\n"
        "without a window or a display, and ends with one of these exit codes:\n"
        "  0  success (also a scan where nothing answers)\n"
        "  2  a wrong command line, or an --address that is not in the file\n"
        "  3  the file could not be read, its reading stopped (\"Invalid level\"), or --validate found a\n"
        "     problem\n"
        "  4  the port could not be opened\n"
        "  5  an instrument or its identity check failed, or the run was stopped (SIGINT, SIGTERM)\n"
        "  6  the report could not be written"));
    // COM1 and COM2 stand for devices of this machine: chosen in the link settings dialog and
    // remembered per user; a start option overrides one for this run only.
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
    const QCommandLineOption validateOption(
        QStringLiteral("validate"),
        QStringLiteral("Check a configuration file: its layout and every record, by the wizard's rules. "
                       "Prints FILE:LINE: message for each problem."),
        QStringLiteral("file"));
    const QCommandLineOption programOption(
        QStringLiteral("program"),
        QStringLiteral("Program the instruments of a configuration file (with --address or --all) over the "
                       "port of its Communication Settings. Progress on standard error, the summary on "
                       "standard output."),
        QStringLiteral("file"));
    const QCommandLineOption addressOption(
        QStringLiteral("address"),
        QStringLiteral("--program: the instrument at this address (repeat it, or list several: 01,05)."),
        QStringLiteral("HH"));
    const QCommandLineOption allOption(
        QStringLiteral("all"), QStringLiteral("--program: every instrument of the file, in its order."));
    const QCommandLineOption checkIdentityOption(
        QStringLiteral("check-identity"),
        QStringLiteral("--program: ask each instrument whether it is a 917 before programming it."));
    const QCommandLineOption stopOnFailureOption(
        QStringLiteral("stop-on-failure"),
        QStringLiteral("--program: stop at the first instrument that fails, instead of carrying on."));
    const QCommandLineOption reportOption(
        QStringLiteral("report"),
        QStringLiteral("--program: write the programming report to this file; a name ending in .pdf gives "
                       "PDF, any other the text report."),
        QStringLiteral("out"));
    const QCommandLineOption scanOption(
        QStringLiteral("scan"),
        QStringLiteral("List the addresses that answer the presence query, 00 up to --last, one line each: "
                       "the address, a TAB, the instrument's reply."));
    const QCommandLineOption deviceOption(
        QStringLiteral("device"),
        QStringLiteral("--program, --scan: use this device for this run (default: the device COM1 or COM2 "
                       "stands for)."),
        QStringLiteral("path"));
    const QCommandLineOption lastOption(QStringLiteral("last"),
                                        QStringLiteral("--scan: the last address to ask (default FF)."),
                                        QStringLiteral("HH"));
    const QCommandLineOption speedOption(QStringLiteral("speed"),
                                         QStringLiteral("--scan: baud rate, 600 to 57600 (default 9600)."),
                                         QStringLiteral("baud"));
    const QCommandLineOption protocolOption(QStringLiteral("protocol"),
                                            QStringLiteral("--scan: RS232, RS422 or RS485 (default RS232)."),
                                            QStringLiteral("mode"));
    const QCommandLineOption prefixOption(QStringLiteral("prefix"),
                                          QStringLiteral("--scan: the command prefix (default #)."),
                                          QStringLiteral("C"));
    for (const QCommandLineOption* o :
         {&demoOption, &validateOption, &programOption, &addressOption, &allOption, &checkIdentityOption,
          &stopOnFailureOption, &reportOption, &scanOption, &deviceOption, &lastOption, &speedOption,
          &protocolOption, &prefixOption})
        parser.addOption(*o);
    parser.addPositionalArgument(QStringLiteral("file"), QStringLiteral("Configuration file to open."),
                                 QStringLiteral("[file.917]"));

    Outcome o = read(parser, arguments, std::numeric_limits<int>::max(), true);
    if (o.exit)
        return o;
    for (int i = 0; i < comOptions.size(); ++i)
        if (parser.isSet(comOptions[i]))
            options.comDevices.insert(QStringLiteral("COM%1").arg(i + 1), parser.value(comOptions[i]));
    options.demo = parser.isSet(demoOption);
    QStringList positional = parser.positionalArguments();

    const int commands =
        int(parser.isSet(validateOption)) + int(parser.isSet(programOption)) + int(parser.isSet(scanOption));
    if (commands > 1 || parser.values(validateOption).size() > 1 || parser.values(programOption).size() > 1)
        return usage(QStringLiteral("give one of --validate, --program and --scan, once"));
    if (parser.isSet(validateOption))
        options.command = Command::Validate;
    else if (parser.isSet(programOption))
        options.command = Command::Program;
    else if (parser.isSet(scanOption))
        options.command = Command::Scan;

    // An option meant for another command is a mistake worth saying, not something to ignore.
    const auto onlyWith = [](const QCommandLineOption& option, const QString& commandName) {
        return usage(QStringLiteral("--%1 goes with %2").arg(option.names().constFirst(), commandName));
    };
    const bool program = options.command == Command::Program;
    const bool scan = options.command == Command::Scan;
    for (const QCommandLineOption* opt :
         {&addressOption, &allOption, &checkIdentityOption, &stopOnFailureOption, &reportOption})
        if (!program && parser.isSet(*opt))
            return onlyWith(*opt, QStringLiteral("--program"));
    for (const QCommandLineOption* opt : {&lastOption, &speedOption, &protocolOption, &prefixOption})
        if (!scan && parser.isSet(*opt))
            return onlyWith(*opt, QStringLiteral("--scan"));
    if (!program && !scan && parser.isSet(deviceOption))
        return onlyWith(deviceOption, QStringLiteral("--program or --scan"));
    if (options.command != Command::Window && options.demo)
        return usage(QStringLiteral("--demo opens the window; it does not go with --validate, --program or "
                                    "--scan"));

    switch (options.command) {
    case Command::Window:
        if (positional.size() > 1)
            return usage(QStringLiteral("unexpected argument '%1'").arg(positional.at(1)));
        if (!positional.isEmpty())
            options.file = positional.constFirst();
        return o;
    case Command::Validate:
        options.file = parser.value(validateOption);
        break;
    case Command::Program: {
        options.file = parser.value(programOption);
        for (const QString& value : parser.values(addressOption))
            options.addresses += value.split(QLatin1Char(','), Qt::SkipEmptyParts);
        // "--address 01 05 07": the addresses after the first arrive as plain arguments.
        if (parser.isSet(addressOption)) {
            options.addresses += positional;
            positional.clear();
        }
        options.all = parser.isSet(allOption);
        if (options.all == parser.isSet(addressOption))
            return usage(QStringLiteral("--program needs either --address or --all"));
        if (parser.isSet(addressOption) && options.addresses.isEmpty())
            return usage(QStringLiteral("--address needs an address"));
        options.checkIdentity = parser.isSet(checkIdentityOption);
        options.stopOnFailure = parser.isSet(stopOnFailureOption);
        options.report = parser.value(reportOption);
        break;
    }
    case Command::Scan:
        if (parser.isSet(lastOption))
            options.last = parser.value(lastOption);
        if (parser.isSet(speedOption))
            options.speed = parser.value(speedOption);
        if (parser.isSet(protocolOption))
            options.protocol = parser.value(protocolOption);
        if (parser.isSet(prefixOption))
            options.prefix = parser.value(prefixOption);
        break;
    }
    if (!positional.isEmpty())
        return usage(QStringLiteral("unexpected argument '%1'").arg(positional.constFirst()));
    options.device = parser.value(deviceOption);
    return o;
}

namespace {

// The platform plugins Qt will try, in order, as it chooses them itself: the -platform option, else
// QT_QPA_PLATFORM, else the session type with X11 as the fallback.
QStringList platformsToTry(const QStringList& arguments) {
    QString names = QStringLiteral("xcb");
    const QByteArray session = qgetenv("XDG_SESSION_TYPE");
    if (session == "wayland") {
        const QByteArray desktops =
            qgetenv("XDG_CURRENT_DESKTOP").toLower() + ' ' + qgetenv("XDG_SESSION_DESKTOP").toLower();
        if (!desktops.contains("gnome"))
            names = QStringLiteral("wayland;xcb");
    }
    if (!qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        names = qEnvironmentVariable("QT_QPA_PLATFORM");
    for (qsizetype i = 1; i < arguments.size(); ++i) {
        const QString& a = arguments[i];
        if ((a == QLatin1String("-platform") || a == QLatin1String("--platform")) && i + 1 < arguments.size())
            names = arguments[i + 1];
        else if (a.startsWith(QLatin1String("-platform=")) || a.startsWith(QLatin1String("--platform=")))
            names = a.mid(a.indexOf(QLatin1Char('=')) + 1);
    }
    QStringList list;
    for (const QString& entry : names.split(QLatin1Char(';'), Qt::SkipEmptyParts))
        list += entry.section(QLatin1Char(':'), 0, 0).trimmed(); // without the plugin's own arguments
    return list;
}

bool hasArgument(const QStringList& arguments, const QString& name) {
    for (qsizetype i = 1; i < arguments.size(); ++i)
        if (arguments[i] == QLatin1Char('-') + name || arguments[i] == QStringLiteral("--") + name ||
            arguments[i].startsWith(QLatin1Char('-') + name + QLatin1Char('=')) ||
            arguments[i].startsWith(QStringLiteral("--") + name + QLatin1Char('=')))
            return true;
    return false;
}

bool platformPluginInstalled(const QString& name) {
    const QString file = name == QLatin1String("wayland") ? QStringLiteral("libqwayland-generic.so")
                                                          : QStringLiteral("libq%1.so").arg(name);
    QStringList folders{QLibraryInfo::path(QLibraryInfo::PluginsPath) + QStringLiteral("/platforms")};
    if (!qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM_PLUGIN_PATH"))
        folders += qEnvironmentVariable("QT_QPA_PLATFORM_PLUGIN_PATH");
    for (const QString& path :
         qEnvironmentVariable("QT_PLUGIN_PATH").split(QLatin1Char(':'), Qt::SkipEmptyParts))
        folders += path + QStringLiteral("/platforms");
    for (const QString& folder : folders)
        if (QFileInfo::exists(folder + QLatin1Char('/') + file))
            return true;
    return false;
}

// Where a Wayland client connects, as the Wayland library finds it; empty when it cannot be found.
QString waylandSocketPath() {
    QString name = qEnvironmentVariable("WAYLAND_DISPLAY", QStringLiteral("wayland-0"));
    if (name.startsWith(QLatin1Char('/')))
        return name;
    const QString runtime = qEnvironmentVariable("XDG_RUNTIME_DIR");
    return runtime.isEmpty() ? QString() : runtime + QLatin1Char('/') + name;
}

bool compositorAnswers(const QString& socketPath) {
#ifdef Q_OS_UNIX
    const QByteArray path = QFile::encodeName(socketPath);
    sockaddr_un address{};
    if (path.isEmpty() || size_t(path.size()) >= sizeof address.sun_path)
        return false;
    address.sun_family = AF_UNIX;
    std::memcpy(address.sun_path, path.constData(), size_t(path.size()));
    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0)
        return false;
    const bool answered = ::connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0;
    ::close(fd);
    return answered;
#else
    return QFileInfo::exists(socketPath);
#endif
}

} // namespace

Outcome checkDisplay(const QStringList& arguments) {
    const QString program = QCoreApplication::applicationName();
    const bool waylandSession = !qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY");
    QStringList missing;
    for (const QString& name : platformsToTry(arguments)) {
        if (name == QLatin1String("xcb")) {
            if (!qEnvironmentVariableIsEmpty("DISPLAY") || hasArgument(arguments, QStringLiteral("display")))
                return {};
            missing += waylandSession ? QStringLiteral("no X display (DISPLAY is not set; to run on Wayland "
                                                       "itself, install the qt6-wayland package and set "
                                                       "QT_QPA_PLATFORM=wayland)")
                                      : QStringLiteral("no X display (DISPLAY is not set)");
        } else if (name.startsWith(QLatin1String("wayland"))) {
            if (!platformPluginInstalled(name)) {
                missing += QStringLiteral("Qt's Wayland platform plugin is not installed (install the "
                                          "qt6-wayland package)");
                continue;
            }
            if (!qEnvironmentVariableIsEmpty("WAYLAND_SOCKET"))
                return {};
            const QString socket = waylandSocketPath();
            if (compositorAnswers(socket))
                return {};
            missing +=
                socket.isEmpty()
                    ? QStringLiteral("no Wayland compositor running (XDG_RUNTIME_DIR is not set)")
                    : QStringLiteral("no Wayland compositor running (nothing answers at %1)").arg(socket);
        } else {
            return {}; // offscreen, vnc, eglfs ...: Qt's own business
        }
    }
    if (missing.size() == 1 && missing.first() == QLatin1String("no X display (DISPLAY is not set)") &&
        !waylandSession)
        return {true,
                1,
                {},
                QStringLiteral("%1: no display to open a window on (neither DISPLAY nor WAYLAND_DISPLAY is "
                               "set); start it in a desktop session\n")
                    .arg(program)};
    return {
        true,
        1,
        {},
        QStringLiteral("%1: cannot open a window: %2\n").arg(program, missing.join(QStringLiteral("; ")))};
}

} // namespace cli
