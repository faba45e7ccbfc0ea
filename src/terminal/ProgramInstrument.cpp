#include "ProgramInstrument.h"

#include "ConfigTree.h"
#include "Dialogs.h"
#include "InstrumentChoice.h"
#include "Positional.h"
#include "Sound.h"

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

bool runProgram(TKovComms& comms, const ProgramPlan& plan, StatusReporter& status) {
    for (int i = 0; i < plan.lines.size(); ++i) {
        if (i < plan.progressMaximum)
            status.setProgressPosition(i + 1);
        comms.SendText(plan.lines.at(i) + QStringLiteral("\r\n"));
        if (comms.ReadReply().isEmpty())
            return false;
    }
    return true;
}

ProgramInstrument::ProgramInstrument(Services& services, const ConfigTree& tree, InstrumentPicker& picker,
                                     StatusReporter& status, QWidget* window, QObject* parent)
    : QObject(parent), svc(services), tree(tree), picker(picker), status(status), window(window) {}

void ProgramInstrument::CommsProgramInstrumentClick() {
    const InstrumentChoiceResult choice =
        chooseInstrument(picker, tree, QStringLiteral("Program Instrument"), 4003);
    if (!choice.node)
        return;
    const ProgramPlan plan = programPlan(choice.node, svc.settings().HostCommandPrefix);
    status.setProgressRange(plan.progressMaximum);
    status.setProgressPosition(0);
    status.setStatusText(QStringLiteral("Please Wait - Programming Instrument"));
    status.setProgressVisible(true);
    if (!runProgram(svc.comms(), plan, status)) {
        svc.sound.tone(500, 100);
        svc.dialogs.error(window, QStringLiteral("Serial Communications Error"));
    }
    status.setStatusText(QString());
    status.setProgressVisible(false);
}
