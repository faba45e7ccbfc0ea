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

// Exit codes of v917config, the same for every command of its command line.
namespace exitcode {
enum : int {
    Success = 0,
    NoDisplay = 1,
    Usage = 2,      // a wrong command line, or an --address that is not in the file
    File = 3,       // the file could not be read, its reading stopped early, or --validate found a problem
    Port = 4,       // the port could not be opened
    Instrument = 5, // an instrument or its identity check failed, or the run was stopped
    Report = 6,     // the report could not be written
};
}

// What v917config is asked to do: open its window, or do one piece of work without one.
enum class Command { Window, Validate, Program, Scan };

struct AppOptions {
    QMap<QString, QString> comDevices; // "COM1" -> device
    bool demo = false;
    // The window: a configuration file to open instead of the welcome dialog's choice.
    // --validate and --program: the configuration file.
    QString file;
    Command command = Command::Window;

    // --program and --scan: a device to use for this run in place of the COM port's.
    QString device;
    // --program
    QStringList addresses; // as typed
    bool all = false;
    bool checkIdentity = false;
    bool stopOnFailure = false;
    QString report;
    // --scan, as typed; checked by the command itself
    QString last = QStringLiteral("FF");
    QString speed = QStringLiteral("9600");
    QString protocol = QStringLiteral("RS232");
    QString prefix = QStringLiteral("#");
};

Outcome readAppOptions(const QStringList& arguments, AppOptions& options);

// Qt aborts with a message about platform plugins when none of the ones it tries can start; this
// says what is missing instead (an X display, the Wayland plugin, a Wayland compositor). Empty when
// one of them can start, or a platform of Qt's own choosing (offscreen, vnc ...) is asked for.
Outcome checkDisplay(const QStringList& arguments);

} // namespace cli
