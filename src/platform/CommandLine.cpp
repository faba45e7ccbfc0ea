#include "CommandLine.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QLibraryInfo>
#include <QSet>

#include <cstdio>
#include <cstring>

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

Outcome readAppOptions(const QStringList& arguments, AppOptions& options) {
    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral("V917 Configuration Software: configures model 917 data-logging instruments on a "
                       "serial network."));
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
    parser.addOption(demoOption);
    parser.addPositionalArgument(QStringLiteral("file"), QStringLiteral("Configuration file to open."),
                                 QStringLiteral("[file.917]"));

    Outcome o = read(parser, arguments, 1, true);
    if (o.exit)
        return o;
    for (int i = 0; i < comOptions.size(); ++i)
        if (parser.isSet(comOptions[i]))
            options.comDevices.insert(QStringLiteral("COM%1").arg(i + 1), parser.value(comOptions[i]));
    options.demo = parser.isSet(demoOption);
    if (!parser.positionalArguments().isEmpty())
        options.file = parser.positionalArguments().constFirst();
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
