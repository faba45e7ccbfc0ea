#pragma once

#include "ProgramTranscript.h"

#include <QCoreApplication>
#include <QList>
#include <QString>
#include <QStringList>

#include <atomic>
#include <functional>

class ConfigTree;
struct ConfigNode;
class ProgramTranscript;
class TKovComms;

// The record as the instrument takes it: the final field and its comma cut off (a channel line's
// full-scale value never reaches the instrument). A line without a comma is kept whole.
QString cutFinalField(const QString& record);

// What one instrument is sent, framed with the header (prefix, address, blank) and without CR LF: the
// channel lines cut, the logging lines unchanged, then SAVE. The progress counts all but SAVE.
// A missing group (a hand-edited file) counts as empty.
struct ProgramPlan {
    QStringList lines;
    int progressMaximum = 0;
};
ProgramPlan programPlan(const ConfigNode* instrument, const QString& prefix);

// How the sequence for one instrument ended, and how many lines of the plan were acknowledged.
struct ProgramOutcome {
    enum Result { Programmed, NoReply, Cancelled } result = Programmed;
    int linesDone = 0;
    // NoReply because the link was not open: the line never left.
    bool linkClosed = false;
};

// What the sequence tells its caller as it goes.
struct ProgramHooks {
    // Before counted line `line` (from 1) of `count` goes out; SAVE is not counted.
    std::function<void(int line, int count)> progress;
    // Asked after each acknowledged line but the last: true ends the sequence there, before SAVE.
    std::function<bool()> stop;
    // Each exchange once it ended: the line sent (without CR LF), the reply (empty: none came), when
    // the line went out and how long the reply took, in milliseconds of the link's clock.
    std::function<void(const QString& sent, const QString& reply, qint64 sentAtMs, qint64 roundTripMs)>
        exchanged;
    // A line that was not sent because the link is not open (no reply is awaited then).
    std::function<void(const QString& line)> notSent;
};

// The programming sequence, the only one: sends the plan line by line, each acknowledged by a
// non-empty reply line before the next goes out; the first empty reply stops it, without SAVE.
ProgramOutcome runProgram(TKovComms& comms, const ProgramPlan& plan, const ProgramHooks& hooks = {});

// One instrument of a run, as the tree gave it when the run was prepared.
struct ProgramTarget {
    QString address;
    QString listEntry; // address, " (", identification, ")": the node's text less "Instrument Address "
    QString prefix;    // the command prefix the plan was framed with
    ProgramPlan plan;
};
ProgramTarget programTarget(const ConfigNode* instrument, const QString& prefix);
// Every instrument node in tree order.
QList<ProgramTarget> programTargets(const ConfigTree& tree, const QString& prefix);

// Where one instrument of a run stands.
struct InstrumentStatus {
    Q_DECLARE_TR_FUNCTIONS(InstrumentStatus)

public:
    enum State { NotStarted, Checking, Programming, Saved, Failed, Stopped, NotA917 };
    State state = NotStarted;
    // Programming: the line under way. Failed: the line that got no reply (count + 1 is SAVE).
    // Stopped: the last line acknowledged; SAVE was not sent.
    int line = 0;
    int count = 0;
    // The reply to the presence query, when it was asked.
    QString checkReply;
    // Failed because the link was not open, not for want of a reply.
    bool linkClosed = false;

    // "line 3 of 7", "saved", "failed at line 5: no reply", "stopped at line 3: not saved",
    // "not started", "no 917 at this address".
    QString text() const;
};

struct ProgramRunOptions {
    // Go on with the next instrument after one failed; otherwise the rest stay "not started".
    bool carryOn = true;
    // Ask each instrument "SYS" first and program only one whose reply holds "917 Version".
    bool checkFirst = false;
};

// Programs instruments one after the other with the one sequence, keeping each one's status and
// writing every exchange to a transcript. No window: the Program All dialog, the single Program
// Instrument command and the command line all drive it.
class ProgramRun {
    Q_DECLARE_TR_FUNCTIONS(ProgramRun)

public:
    ProgramRun(TKovComms& comms, QList<ProgramTarget> targets);

    ProgramRunOptions options;
    // A row's status changed: started, checked, a line under way, finished.
    std::function<void(int row)> rowChanged;
    // Before counted line `line` of the row's `count` goes out.
    std::function<void(int row, int line, int count)> progress;
    // Asked between exchanges (a window answers its input there); true stops the run as cancel() does.
    std::function<bool()> pollStop;

    // Stops the run after the exchange under way; the instrument under way gets no SAVE. Only sets a
    // flag, so it may be called from anywhere, a signal handler included.
    // A cancel stays until cleared, so one that comes before a run starts stops it at once.
    void cancel() { cancelAsked.store(true); }
    bool cancelled() const { return cancelAsked.load(); }
    void clearCancel() { cancelAsked.store(false); }

    // Programs the rows in the order given (every row when empty): they become the run's chosen
    // rows, and start afresh; the other rows keep their statuses. The transcript, when given, gets
    // the instruments, their exchanges, a result per row and the summary.
    void run(const QList<int>& rows = {}, ProgramTranscript* transcript = nullptr);
    // Programs again the chosen rows that were not saved; the summary still covers every chosen row.
    void retry(ProgramTranscript* transcript = nullptr);

    // The report's header lines for a run of these rows (every row when empty): the options and
    // how many instruments were chosen. programReportHeader gives the rest.
    QList<ReportField> reportFields(const QList<int>& rows = {}) const;

    int size() const { return int(targets.size()); }
    const ProgramTarget& target(int row) const { return targets.at(row); }
    const InstrumentStatus& status(int row) const { return statuses.at(row); }
    // The chosen rows that were not saved: failed, stopped, no 917 or not started.
    QList<int> unsuccessfulRows() const;
    // Of the chosen rows: "12 of 13 instruments programmed and saved; 05 failed at line 7 (no
    // reply)".
    QString summary() const;
    bool allSaved() const;

    // A 917 answers the presence query with a text holding this.
    static const QString kIdentificationMark;

private:
    bool stopNow();
    void runRows(const QList<int>& rows, ProgramTranscript* transcript);
    void programRow(int row, bool first, ProgramTranscript* transcript);
    void setStatus(int row, InstrumentStatus::State state, int line);

    TKovComms& comms;
    QList<ProgramTarget> targets;
    QList<InstrumentStatus> statuses;
    QList<int> chosenRows;
    std::atomic<bool> cancelAsked{false};
};
