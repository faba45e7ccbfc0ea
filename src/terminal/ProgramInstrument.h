#pragma once

#include "Unit0.h"

#include <QObject>
#include <QStringList>

#include <functional>

class ConfigTree;
struct ConfigNode;
class InstrumentPicker;
class QWidget;

// The record as the instrument takes it: the final field and its comma cut off (a channel line's
// full-scale value never reaches the instrument). A line without a comma is kept whole.
QString cutFinalField(const QString& record);

// What one run sends, framed with the header (prefix, address, blank) and without CR LF: the
// channel lines cut, the logging lines unchanged, then SAVE. The progress counts all but SAVE.
// A missing group (a hand-edited file) counts as empty.
struct ProgramPlan {
    QStringList lines;
    int progressMaximum = 0;
};
ProgramPlan programPlan(const ConfigNode* instrument, const QString& prefix);

// How a run ended, and how many lines of the plan were acknowledged.
struct ProgramOutcome {
    enum Result { Programmed, NoReply, Cancelled } result = Programmed;
    int linesDone = 0;
};

// Sends the plan line by line, each acknowledged by a reply line before the next goes out; the first
// empty reply stops the run. stop() is asked after each acknowledged line but the last: true ends the
// run there, before SAVE. Shows the progress but leaves the status bar to the caller.
ProgramOutcome runProgram(TKovComms& comms, const ProgramPlan& plan, StatusReporter& status,
                          const std::function<bool()>& stop = {});

// "Program &Instrument": the instrument choice, the run with its status display and the error report.
class ProgramInstrument : public QObject {
    Q_OBJECT
public:
    ProgramInstrument(Services& services, const ConfigTree& tree, InstrumentPicker& picker,
                      StatusReporter& status, QWidget* window, QObject* parent = nullptr);

    void CommsProgramInstrumentClick();

private:
    Services& svc;
    const ConfigTree& tree;
    InstrumentPicker& picker;
    StatusReporter& status;
    QWidget* window;
};
