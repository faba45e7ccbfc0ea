#pragma once

#include <QByteArray>
#include <QList>
#include <QMap>

#include <deque>
#include <optional>

namespace sim {

enum class LineMode { RS232, RS422, RS485 };

// What SET COMMAND PREFIX, SET DELIMITERS and SET COMMS change, and SAVE keeps.
struct LinkSettings {
    QByteArray address = "00";
    char prefix = '#';
    QByteArray separator = "\t";    // between the readings of one line
    QByteArray terminator = "\r\n"; // after a line of readings
    LineMode mode = LineMode::RS232;
    qint32 baud = 9600;
    bool commsFlag = true; // the last field of SET COMMS, kept but not acted on

    friend bool operator==(const LinkSettings&, const LinkSettings&) = default;
};

// Misbehaviour on demand, so the program's handling of a bad line can be tried.
struct Faults {
    bool silent = false;         // takes commands in, never answers
    int silentFromCommand = 0;   // answers until this command (1 = first), then is silent; 0: never
    int replyDelayMs = 0;        // every reply starts this late
    bool noLineFeed = false;     // replies end in CR only
    bool emptyReplies = false;   // every reply is CR LF alone
    bool garbageReplies = false; // a line of noise instead of each reply
    int replyPieces = 1;         // each reply cut into this many pieces ...
    int pieceGapMs = 0;          // ... this far apart
    int unsolicitedEveryMs = 0;  // a line nobody asked for, this often; 0: never
    QByteArray unsolicitedText = "917 ALARM 001A HIGH";
    int vanishOnCommand = 0; // the device goes away halfway through the reply to this command (1 = first)

    friend bool operator==(const Faults&, const Faults&) = default;
};

struct InstrumentConfig {
    QByteArray identification = "917 Version 1.01";
    LinkSettings link;         // present settings, also the saved ones
    QList<QByteArray> records; // saved record commands, e.g. "SET CHANNEL,001A,ON,OFF,1,0,0,23,"
    Faults faults;
    quint32 seed = 1; // readings and noise are repeatable per seed
};

// Bytes an instrument puts on the line at dueMs.
struct Emission {
    qint64 dueMs = 0;
    QByteArray bytes;
    qint32 baud = 0;                        // the instrument's speed while sending them
    std::optional<LinkSettings> applyAfter; // settings that take over once these bytes are out
    bool vanishAfter = false;               // the device goes away after these bytes
};

// Orders emissions by time, keeping the order of equal times.
void sortByDue(QList<Emission>& emissions);

// One model 917 instrument: line framing, its commands and stored records, and replies scheduled in
// time. It has no clock of its own: every call says what time it is, so tests can step through time.
class SimInstrument {
public:
    explicit SimInstrument(InstrumentConfig config = {});

    // Bytes from the line, sent at `baud` (0: unknown). At another speed than the instrument's they
    // are noise: dropped together with the line in progress.
    void receive(const QByteArray& bytes, qint32 baud, qint64 nowMs);
    // The earliest time something is due, if anything is.
    std::optional<qint64> nextDueMs() const;
    // Everything due by nowMs, in time order. Settings changes that wait for a reply take effect
    // here, as their reply leaves.
    QList<Emission> takeDue(qint64 nowMs);
    // Power cycle: unsaved settings and records are lost, logging stops, pending replies vanish;
    // an instrument that vanished is there again.
    void reset();

    const QByteArray& identification() const { return config.identification; }
    const LinkSettings& link() const { return current.link; }
    const LinkSettings& savedLink() const { return saved.link; }
    // Record commands in channel, hysteresis, LOGSPEC, pass order.
    QList<QByteArray> records() const { return current.records.values(); }
    QList<QByteArray> savedRecords() const { return saved.records.values(); }
    bool running() const { return isRunning; }
    bool vanished() const { return hasVanished; }
    // Commands framed for this instrument so far.
    int commandsHandled() const { return commandCount; }
    Faults& faults() { return config.faults; }
    const Faults& faults() const { return config.faults; }

    // One line of readings for the enabled channels at nowMs, ended by the terminator; empty when
    // no channel is enabled.
    QByteArray readingsLine(qint64 nowMs);

private:
    struct State {
        LinkSettings link;
        QMap<QByteArray, QByteArray> records; // "CHANNEL 001A", "HYSTERESIS", "LOGSPEC", "PASS 1"
    };

    void handleLine(const QByteArray& line, qint64 nowMs);
    // The answer to one command; `readings` tells a line of readings, which carries its own ending.
    QByteArray execute(const QByteArray& command, qint64 nowMs, std::optional<LinkSettings>& applyAfter,
                       bool& readings);
    QByteArray setComms(const QList<QByteArray>& fields, std::optional<LinkSettings>& applyAfter) const;
    QByteArray startRun(qint64 nowMs);
    void scheduleReply(const QByteArray& reply, qint64 nowMs, std::optional<LinkSettings> applyAfter);
    qint64 runIntervalMs() const;
    quint32 nextRandom();
    QByteArray garbageLine();

    InstrumentConfig config;
    State current;
    State saved;
    QByteArray partial;
    bool skipToLineEnd = false;
    std::deque<Emission> queue;
    qint64 queueTailMs = 0;
    bool isRunning = false;
    qint64 runStartMs = 0;
    qint64 nextReadingMs = 0;
    std::optional<qint64> nextUnsolicitedMs;
    bool hasVanished = false;
    int commandCount = 0;
    quint32 random;
};

} // namespace sim
