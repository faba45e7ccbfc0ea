#pragma once

#include "CommandLine.h"
#include "SerialPort.h"

#include <QCoreApplication>
#include <QString>

#include <QList>

#include <cstdio>
#include <functional>

class ConfigTree;
class TForm0;
struct ConfigNode;

// The program's work without a window, for scripts and CI jobs: --validate, --program and --scan.
// Each drives the same classes as the window (the reader and the wizard's rules, the programming
// run and its report, the scan) and answers with the exit codes of cli::exitcode. No widget is
// created and no display is needed.
class ScriptCommands {
    Q_DECLARE_TR_FUNCTIONS(ScriptCommands)

public:
    // out and err: where the results and the progress and messages go (standard output and error).
    ScriptCommands(std::FILE* out, std::FILE* err);

    int validate(const QString& file);
    // map: what COM1 and COM2 stand for; --device replaces the entry the command uses.
    int scan(const cli::AppOptions& options, platform::PortMap map);
    int program(const cli::AppOptions& options, platform::PortMap map);

    // Stops the run under way after its current exchange, as its Cancel button does; a run not yet
    // started does not start. Called from the event loop, where a termination signal arrives.
    void stop();

private:
    int runProgramming(TForm0& form0, const ConfigTree& tree, const QList<const ConfigNode*>& chosen,
                       const cli::AppOptions& options);
    void print(std::FILE* to, const QString& line);
    void fail(const QString& message);
    bool stopped() const { return stopAsked; }

    std::FILE* out;
    std::FILE* err;
    bool stopAsked = false;
    std::function<void()> stopRun; // the run under way's own stop
};

// The command line's work in a process of its own: creates the application object (a GUI one on the
// offscreen platform only where a PDF is written), makes SIGINT and SIGTERM stop the run, and
// returns the exit code.
int runScriptCommand(const cli::AppOptions& options, int argc, char* argv[]);
