#pragma once

#include <QMap>
#include <QString>
#include <QStringList>

class QCommandLineParser;

// Command lines are read before any window exists, so --help, --version and a mistyped option work
// without a display.
namespace cli {

struct Outcome {
    bool exit = false; // end the program now with exitCode, after printing out and err
    int exitCode = 0;
    QString out;
    QString err;
};

// Adds --help and --version to parser and reads arguments (program path first). Exit codes: 0 after
// help or version, 2 for an unknown option, a missing value or more than maxPositional arguments.
// With guiOptions, the window system's own options (-platform xcb, -style Fusion ...) are passed over
// here and left for QApplication.
Outcome read(QCommandLineParser& parser, const QStringList& arguments, int maxPositional, bool guiOptions);

// Prints the outcome's texts to standard output and standard error.
void print(const Outcome& outcome);

QStringList fromArgv(int argc, char* argv[]);

// Whether the file name the command line gave came from bytes that the system's encoding holds. Qt
// decodes other bytes to replacement characters, and the name it keeps then names another file.
bool fileNameIntact(const QString& decoded, int argc, char* argv[]);

// What v917config is asked to do.
struct AppOptions {
    QMap<QString, QString> comDevices; // "COM1" -> device
    bool demo = false;
    QString file; // a configuration file to open instead of the welcome dialog's choice
};

Outcome readAppOptions(const QStringList& arguments, AppOptions& options);

// Qt aborts with a message about platform plugins when none of the ones it tries can start; this
// says what is missing instead (an X display, the Wayland plugin, a Wayland compositor). Empty when
// one of them can start, or a platform of Qt's own choosing (offscreen, vnc ...) is asked for.
Outcome checkDisplay(const QStringList& arguments);

} // namespace cli
