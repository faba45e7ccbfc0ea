#include "ProgramRun.h"

#include "ConfigTree.h"
#include "KovComms.h"
#include "Positional.h"
#include "ProgramTranscript.h"
#include "SetupCommands.h"

#include <QCoreApplication>

#include "Clock.h"

const QString ProgramRun::kIdentificationMark = QStringLiteral("917 Version");

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

// One command and its reply, timed on the link's clock.
QString exchange(TKovComms& comms, const QString& line, const ProgramHooks& hooks) {
    if (!comms.IsOpen()) {
        // Nothing would go out, and ReadReply would answer at once with nothing.
        if (hooks.notSent)
            hooks.notSent(line);
        return QString();
    }
    platform::Clock& clock = comms.linkClock();
    const qint64 sentAt = clock.nowMs();
    comms.SendText(line + QStringLiteral("\r\n"));
    const QString reply = comms.ReadReply();
    if (hooks.exchanged)
        hooks.exchanged(line, reply, sentAt, clock.nowMs() - sentAt);
    return reply;
}

} // namespace

ProgramOutcome runProgram(TKovComms& comms, const ProgramPlan& plan, const ProgramHooks& hooks) {
    ProgramOutcome outcome;
    for (int i = 0; i < plan.lines.size(); ++i) {
        // SAVE is the last line; a stop asked before it leaves the instrument unsaved.
        if (i > 0 && hooks.stop && hooks.stop()) {
            outcome.result = ProgramOutcome::Cancelled;
            return outcome;
        }
        if (i < plan.progressMaximum && hooks.progress)
            hooks.progress(i + 1, plan.progressMaximum);
        const bool open = comms.IsOpen();
        if (exchange(comms, plan.lines.at(i), hooks).isEmpty()) {
            outcome.result = ProgramOutcome::NoReply;
            outcome.linkClosed = !open;
            return outcome;
        }
        outcome.linesDone = i + 1;
    }
    return outcome;
}

ProgramTarget programTarget(const ConfigNode* instrument, const QString& prefix) {
    return {positional::instrumentAddress(instrument), positional::listEntry(instrument), prefix,
            programPlan(instrument, prefix)};
}

QList<ProgramTarget> programTargets(const ConfigTree& tree, const QString& prefix) {
    QList<ProgramTarget> out;
    for (const ConfigNode* node : positional::instruments(tree))
        out.append(programTarget(node, prefix));
    return out;
}

QString InstrumentStatus::text() const {
    switch (state) {
    case NotStarted:
        return tr("not started");
    case Checking:
        return tr("asking for a 917");
    case Programming:
        return tr("line %1 of %2").arg(line).arg(count);
    case Saved:
        return tr("saved");
    case Failed:
        if (linkClosed)
            return line > count ? tr("failed at SAVE: the link is not open")
                                : tr("failed at line %1: the link is not open").arg(line);
        return line > count ? tr("failed at SAVE: no reply") : tr("failed at line %1: no reply").arg(line);
    case Stopped:
        return tr("stopped at line %1: not saved").arg(line);
    case NotA917:
        return tr("no 917 at this address");
    }
    return QString();
}

ProgramRun::ProgramRun(TKovComms& comms, QList<ProgramTarget> targets)
    : comms(comms), targets(std::move(targets)), statuses(this->targets.size()) {}

bool ProgramRun::stopNow() {
    // The window's poll runs even when a cancel came from elsewhere: its input is answered either way.
    const bool polled = pollStop && pollStop();
    if (polled)
        cancel();
    return cancelled();
}

void ProgramRun::setStatus(int row, InstrumentStatus::State state, int line) {
    InstrumentStatus& s = statuses[row];
    s.state = state;
    s.line = line;
    if (rowChanged)
        rowChanged(row);
}

void ProgramRun::run(const QList<int>& rows, ProgramTranscript* transcript) {
    chosenRows.clear();
    if (rows.isEmpty()) {
        for (int row = 0; row < size(); ++row)
            chosenRows.append(row);
    } else {
        for (int row : rows)
            if (row >= 0 && row < size() && !chosenRows.contains(row))
                chosenRows.append(row);
    }
    runRows(chosenRows, transcript);
}

void ProgramRun::retry(ProgramTranscript* transcript) {
    runRows(unsuccessfulRows(), transcript);
}

void ProgramRun::runRows(const QList<int>& rows, ProgramTranscript* transcript) {
    for (int row : rows) {
        statuses[row] = InstrumentStatus{};
        statuses[row].count = targets[row].plan.progressMaximum;
        if (rowChanged)
            rowChanged(row);
    }
    bool first = true;
    for (int row : rows) {
        // Between instruments a stop leaves the rest not started; one asked before the run, all.
        if ((!first || cancelled()) && stopNow())
            break;
        programRow(row, first, transcript);
        first = false;
        const InstrumentStatus::State state = statuses[row].state;
        if (state == InstrumentStatus::Stopped)
            break;
        if (state != InstrumentStatus::Saved && !options.carryOn)
            break;
    }
    if (!transcript)
        return;
    for (int row : rows)
        if (statuses[row].state == InstrumentStatus::NotStarted)
            transcript->result(targets[row].address, statuses[row].text());
    transcript->finish(summary());
}

void ProgramRun::programRow(int row, bool first, ProgramTranscript* transcript) {
    const ProgramTarget& target = targets[row];
    InstrumentStatus& status = statuses[row];
    if (transcript)
        transcript->beginInstrument(target);
    ProgramHooks hooks;
    if (transcript)
        hooks.exchanged = [transcript](const QString& sent, const QString& reply, qint64 at, qint64 rtt) {
            transcript->exchange(sent, reply, at, rtt);
        };
    if (transcript)
        hooks.notSent = [transcript](const QString& line) {
            transcript->field(tr("Not sent, the link is not open"), line);
        };
    // The first instrument takes bytes already waiting as its first reply; after another one they can
    // only be what it said late, and must not acknowledge this one's first line.
    if (!first) {
        const QByteArray left = comms.TakeWaitingInput();
        if (!left.isEmpty() && transcript)
            transcript->field(tr("Discarded input"), QString::fromLatin1(left));
    }
    // With the link closed nothing can be asked; the sequence then says why nothing was sent.
    if (options.checkFirst && comms.IsOpen()) {
        setStatus(row, InstrumentStatus::Checking, 0);
        const QString query = setup::presenceQuery(target.prefix, target.address);
        status.checkReply = exchange(comms, query.chopped(2), hooks);
        if (transcript && !status.checkReply.isEmpty())
            transcript->field(tr("Identification reply"), status.checkReply);
        if (!status.checkReply.contains(kIdentificationMark)) {
            setStatus(row, InstrumentStatus::NotA917, 0);
            if (transcript)
                transcript->result(target.address, status.text());
            return;
        }
        if (stopNow()) {
            setStatus(row, InstrumentStatus::NotStarted, 0);
            return;
        }
    }
    hooks.progress = [this, row](int line, int count) {
        setStatus(row, InstrumentStatus::Programming, line);
        if (progress)
            progress(row, line, count);
    };
    hooks.stop = [this] { return stopNow(); };
    const ProgramOutcome outcome = runProgram(comms, target.plan, hooks);
    switch (outcome.result) {
    case ProgramOutcome::Programmed:
        setStatus(row, InstrumentStatus::Saved, outcome.linesDone);
        break;
    case ProgramOutcome::NoReply:
        status.linkClosed = outcome.linkClosed;
        setStatus(row, InstrumentStatus::Failed, outcome.linesDone + 1);
        break;
    case ProgramOutcome::Cancelled:
        setStatus(row, InstrumentStatus::Stopped, outcome.linesDone);
        break;
    }
    if (transcript)
        transcript->result(target.address, status.text());
}

QList<ReportField> ProgramRun::reportFields(const QList<int>& rows) const {
    const auto yesNo = [](bool b) { return b ? tr("yes") : tr("no"); };
    return {{tr("Carry on after a failure"), yesNo(options.carryOn)},
            {tr("Check for a 917 first"), yesNo(options.checkFirst)},
            {tr("Instruments"), tr("%1 of %2").arg(rows.isEmpty() ? size() : int(rows.size())).arg(size())}};
}

QList<int> ProgramRun::unsuccessfulRows() const {
    QList<int> out;
    for (int row : chosenRows)
        if (statuses[row].state != InstrumentStatus::Saved)
            out.append(row);
    return out;
}

bool ProgramRun::allSaved() const {
    return unsuccessfulRows().isEmpty();
}

QString ProgramRun::summary() const {
    int saved = 0;
    int notStarted = 0;
    QStringList problems;
    for (int row : chosenRows) {
        const InstrumentStatus& s = statuses[row];
        const QString& address = targets[row].address;
        switch (s.state) {
        case InstrumentStatus::Saved:
            ++saved;
            break;
        case InstrumentStatus::NotStarted:
        case InstrumentStatus::Checking:
            ++notStarted;
            break;
        case InstrumentStatus::Programming:
        case InstrumentStatus::Stopped:
            problems.append(tr("%1 stopped at line %2 (not saved)").arg(address).arg(s.line));
            break;
        case InstrumentStatus::Failed: {
            const QString why = s.linkClosed ? tr("the link is not open") : tr("no reply");
            problems.append(s.line > s.count
                                ? tr("%1 failed at SAVE (%2)").arg(address, why)
                                : tr("%1 failed at line %2 (%3)").arg(address).arg(s.line).arg(why));
            break;
        }
        case InstrumentStatus::NotA917:
            problems.append(tr("%1: no 917 at this address").arg(address));
            break;
        }
    }
    QString text = tr("%1 of %2 instruments programmed and saved").arg(saved).arg(chosenRows.size());
    for (const QString& p : problems)
        text += QStringLiteral("; ") + p;
    if (notStarted > 0)
        text += QStringLiteral("; ") + tr("%1 not started").arg(notStarted);
    return text;
}
