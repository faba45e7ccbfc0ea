#include "ProgramInstrument.h"

#include "ConfigTree.h"
#include "Dialogs.h"
#include "InstrumentChoice.h"
#include "LongOperation.h"
#include "Positional.h"
#include "Sound.h"

#include <QCoreApplication>

QString cutFinalField(const QString& record) {
    const qsizetype comma = record.lastIndexOf(QLatin1Char(','));
    return comma < 0 ? record : record.left(comma);
}

ProgramPlan programPlan(const ConfigNode* instrument, const QString& prefix) {
    ProgramPlan plan;
    if (!instrument)
        return plan;
    const QString header = prefix + positional::instrumentAddress(instrument) + QLatin1Char(' ');
    for (const QString& record : positional::childTexts(positional::channelGroup(instrument)))
        plan.lines.append(header + cutFinalField(record));
    for (const QString& record : positional::childTexts(positional::loggingGroup(instrument)))
        plan.lines.append(header + record);
    plan.progressMaximum = int(plan.lines.size());
    plan.lines.append(header + QStringLiteral("SAVE"));
    return plan;
}

namespace {

QString lineOf(int line, int count) {
    //: Progress of a programming run: the line being sent, of how many
    return QCoreApplication::translate("ProgramInstrument", "line %1 of %n", nullptr, count).arg(line);
}

} // namespace

ProgramOutcome runProgram(TKovComms& comms, const ProgramPlan& plan, StatusReporter& status,
                          const std::function<bool()>& stop) {
    ProgramOutcome outcome;
    for (int i = 0; i < plan.lines.size(); ++i) {
        // SAVE is the last line; a stop asked before it leaves the instrument unsaved.
        if (i > 0 && stop && stop()) {
            outcome.result = ProgramOutcome::Cancelled;
            return outcome;
        }
        if (i < plan.progressMaximum) {
            status.setProgressPosition(i + 1);
            status.setProgressText(lineOf(i + 1, plan.progressMaximum));
        }
        comms.SendText(plan.lines.at(i) + QStringLiteral("\r\n"));
        if (comms.ReadReply().isEmpty()) {
            outcome.result = ProgramOutcome::NoReply;
            return outcome;
        }
        outcome.linesDone = i + 1;
    }
    return outcome;
}

ProgramInstrument::ProgramInstrument(Services& services, const ConfigTree& tree, InstrumentPicker& picker,
                                     StatusReporter& status, QWidget* window, QObject* parent)
    : QObject(parent), svc(services), tree(tree), picker(picker), status(status), window(window) {}

void ProgramInstrument::CommsProgramInstrumentClick() {
    const InstrumentChoiceResult choice = chooseInstrument(picker, tree, tr("Program Instrument"), 4003);
    if (!choice.node)
        return;
    const ProgramPlan plan = programPlan(choice.node, svc.settings().HostCommandPrefix);
    status.setProgressRange(plan.progressMaximum);
    status.setProgressPosition(0);
    status.setProgressText(lineOf(0, plan.progressMaximum));
    status.setStatusText(tr("Please Wait - Programming Instrument"));
    status.setProgressVisible(true);
    ProgramOutcome outcome;
    {
        LongOperation operation(svc.comms(), window, status.cancelButton());
        outcome = runProgram(svc.comms(), plan, status, [&operation] { return operation.stopRequested(); });
    }
    if (LongOperation::endingProgram()) {
        // Ended by the system: the program goes away, and a box would keep it from doing so.
        status.setStatusText(QString());
        status.setProgressVisible(false);
        return;
    }
    const QString instrument = positional::listEntry(choice.node);
    switch (outcome.result) {
    case ProgramOutcome::NoReply:
        svc.sound.tone(500, 100);
        svc.dialogs.error(window, tr("Serial Communications Error"));
        break;
    case ProgramOutcome::Cancelled:
        svc.dialogs.information(
            window, tr("Programming of instrument %1 was cancelled after %2. The instrument holds a "
                       "partial, unsaved configuration: program it again before relying on it.")
                        .arg(instrument, lineOf(outcome.linesDone, plan.progressMaximum)));
        break;
    case ProgramOutcome::Programmed:
        break;
    }
    status.setStatusText(QString());
    status.setProgressVisible(false);
    if (outcome.result == ProgramOutcome::Programmed)
        //: %1 is the instrument's list entry, such as "05 (917 Version 1.01)"
        status.showTemporaryMessage(
            tr("Instrument %1 programmed: %n lines sent and saved", nullptr, plan.progressMaximum)
                .arg(instrument));
}
