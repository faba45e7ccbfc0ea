#include "CommandLine.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QFile>
#include <QSet>

#include <cstdio>

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

Outcome checkDisplay(const QStringList& arguments) {
    for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"})
        if (!qEnvironmentVariableIsEmpty(name))
            return {};
    for (const QString& a : arguments)
        if (a == QLatin1String("-platform") || a == QLatin1String("--platform") ||
            a.startsWith(QLatin1String("-platform=")) || a.startsWith(QLatin1String("--platform=")))
            return {};
    return {true,
            1,
            {},
            QStringLiteral("%1: no display to open a window on (neither DISPLAY nor WAYLAND_DISPLAY is set); "
                           "start it in a desktop session\n")
                .arg(QCoreApplication::applicationName())};
}

} // namespace cli
