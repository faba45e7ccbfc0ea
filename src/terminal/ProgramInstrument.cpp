#include "ProgramInstrument.h"

#include "ConfigTree.h"
#include "Dialogs.h"
#include "InstrumentChoice.h"
#include "LongOperation.h"
#include "Positional.h"
#include "Sound.h"

#include <QCoreApplication>

namespace {

QString lineOf(int line, int count) {
    return QCoreApplication::translate("ProgramInstrument", "line %1 of %2").arg(line).arg(count);
}

} // namespace

ProgramInstrument::ProgramInstrument(Services& services, const ConfigTree& tree, InstrumentPicker& picker,
                                     StatusReporter& status, QWidget* window, QObject* parent)
    : QObject(parent), svc(services), tree(tree), picker(picker), status(status), window(window),
      lastTranscript(services.comms().linkClock()) {}

void ProgramInstrument::CommsProgramInstrumentClick() {
    const InstrumentChoiceResult choice = chooseInstrument(picker, tree, tr("Program Instrument"), 4003);
    if (!choice.node)
        return;
    ProgramRun run(svc.comms(), {programTarget(choice.node, svc.settings().HostCommandPrefix)});
    const ProgramPlan& plan = run.target(0).plan;
    status.setProgressRange(plan.progressMaximum);
    status.setProgressPosition(0);
    status.setProgressText(lineOf(0, plan.progressMaximum));
    status.setStatusText(tr("Please Wait - Programming Instrument"));
    status.setProgressVisible(true);
    lastTranscript.start(programReportHeader(tree, svc.settings(), svc.comms().state()));
    {
        LongOperation operation(svc.comms(), window, status.cancelButton());
        run.progress = [this](int, int line, int count) {
            status.setProgressPosition(line);
            status.setProgressText(lineOf(line, count));
        };
        run.pollStop = [&operation] { return operation.stopRequested(); };
        run.run({}, &lastTranscript);
    }
    if (finished)
        finished(lastTranscript);
    const InstrumentStatus& outcome = run.status(0);
    const QString instrument = positional::listEntry(choice.node);
    switch (outcome.state) {
    case InstrumentStatus::Failed:
        svc.sound.tone(500, 100);
        svc.dialogs.error(window, tr("Serial Communications Error"));
        break;
    case InstrumentStatus::Stopped:
        svc.dialogs.information(
            window, tr("Programming of instrument %1 was cancelled after %2. The instrument holds a "
                       "partial, unsaved configuration: program it again before relying on it.")
                        .arg(instrument, lineOf(outcome.line, plan.progressMaximum)));
        break;
    default:
        break;
    }
    status.setStatusText(QString());
    status.setProgressVisible(false);
    if (outcome.state == InstrumentStatus::Saved)
        status.showTemporaryMessage(tr("Instrument %1 programmed: %2 lines sent and saved")
                                        .arg(instrument)
                                        .arg(plan.progressMaximum));
}
