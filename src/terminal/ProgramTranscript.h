#pragma once

#include <QByteArray>
#include <QCoreApplication>
#include <QList>
#include <QString>
#include <QStringList>

class ConfigTree;
struct LinkState;
struct ProgramTarget;
struct SharedSettings;
namespace platform {
class Clock;
}

// One "Name: value" line of a report.
struct ReportField {
    QString name;
    QString value;
};

// The record of a programming run, written as it happens: header fields, then per instrument its
// "Instrument:" line, one TAB-separated line per exchange (milliseconds since the start, the line
// sent, the reply or "(no reply)", the round trip in milliseconds) and a "Result:" line; the
// summary comes last. Only what happened is written: nothing is added afterwards except the
// summary, which each run of the same report replaces.
class ProgramTranscript {
    Q_DECLARE_TR_FUNCTIONS(ProgramTranscript)

public:
    // Times are taken from the clock the link measures its time-outs on.
    explicit ProgramTranscript(platform::Clock& clock);

    // Starts the report afresh: its header, and the start of its time line.
    void start(const QList<ReportField>& header);
    // A later run of some rows (Retry) goes on in the same report.
    void startAgain(const QString& what);
    void beginInstrument(const ProgramTarget& target);
    void field(const QString& name, const QString& value);
    void exchange(const QString& sent, const QString& reply, qint64 sentAtMs, qint64 roundTripMs);
    void result(const QString& address, const QString& outcome);
    // Ends a run: when it ended and what it came to, the summary written last.
    void finish(const QString& summary);

    bool isEmpty() const { return head.isEmpty(); }
    // The report, line by line, without line ends.
    QStringList lines() const;

private:
    platform::Clock& clock;
    qint64 startMs = 0;
    QStringList head;
    QStringList body;
    QString finished;
    QString summaryText;
};

// The report's header for a run over the tree: date and time, program version, user and host, the
// configuration file, the SHA-256 of the tree as Save would write it now and whether the file on
// disk holds those bytes, the device and the link settings.
QList<ReportField> programReportHeader(const ConfigTree& tree, const SharedSettings& settings,
                                       const LinkState& link);
// The local time now in ISO 8601 with its offset from UTC: "2026-12-07T19:02:11+01:00".
QString isoTimeNow();
// A text as the report shows it: TAB, other control characters and the backslash as "\xNN", so
// that every line stays one line with its TAB columns, and every byte can be read back.
QString reportEscaped(const QString& text);
// The report as a file: 8-bit text, CR LF after every line.
QByteArray reportBytes(const ProgramTranscript& transcript);
// The report as printed: the TAB columns spaced with blanks, since printed text has no tab stops.
QStringList printableReportLines(const ProgramTranscript& transcript);
// Written like a configuration file: the old file is replaced only once the new one is complete.
// On failure returns false with "Cannot create file <path>".
bool writeReport(const ProgramTranscript& transcript, const QString& path, QString* errorMessage);
