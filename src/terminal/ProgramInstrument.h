#pragma once

#include "ProgramRun.h"
#include "ProgramTranscript.h"
#include "Unit0.h"

#include <QObject>

#include <functional>

class ConfigTree;
class InstrumentPicker;
class QWidget;

// "Program &Instrument": the instrument choice, the run with its status display and the error report.
// The run keeps a transcript like every programming run.
class ProgramInstrument : public QObject {
    Q_OBJECT
public:
    ProgramInstrument(Services& services, const ConfigTree& tree, InstrumentPicker& picker,
                      StatusReporter& status, QWidget* window, QObject* parent = nullptr);

    void CommsProgramInstrumentClick();

    // The transcript of the last run; empty before the first.
    const ProgramTranscript& transcript() const { return lastTranscript; }
    // Runs after every run, with its transcript.
    std::function<void(const ProgramTranscript&)> finished;

private:
    Services& svc;
    const ConfigTree& tree;
    InstrumentPicker& picker;
    StatusReporter& status;
    QWidget* window;
    ProgramTranscript lastTranscript;
};
