#pragma once

#include "SimInstrument.h"

#include <QByteArray>
#include <QList>

#include <memory>
#include <optional>
#include <vector>

namespace sim {

// One block of bytes on the line, as the traffic log keeps it.
struct TrafficEntry {
    enum Direction { In, Out }; // In: from the program to the instruments
    qint64 timeMs = 0;
    Direction direction = In;
    QByteArray bytes;
    qint32 baud = 0;      // the line speed the bytes went at; 0: unknown
    bool garbled = false; // Out only: sent at a speed the program was not listening at
};

// Several instruments sharing one line. Every instrument hears every byte; each answers only what
// is framed for it. Like the instruments, the network takes its time from its callers.
class SimNetwork {
public:
    SimNetwork() = default;
    explicit SimNetwork(const QList<InstrumentConfig>& configs);

    SimInstrument& addInstrument(InstrumentConfig config);
    int size() const { return int(instruments.size()); }
    SimInstrument& instrument(int index) { return *instruments.at(size_t(index)); }
    const SimInstrument& instrument(int index) const { return *instruments.at(size_t(index)); }

    // Bytes the program sent, at the speed it sent them.
    void receive(const QByteArray& bytes, qint32 baud, qint64 nowMs);
    std::optional<qint64> nextDueMs() const;

    struct Output {
        QByteArray bytes;
        bool vanish = false; // the device goes away once these bytes are out
    };
    // What the instruments send by nowMs, in time order. Bytes sent at a speed other than
    // hostBaud (the program's current speed; 0: unknown) reach the program as noise.
    Output takeDue(qint64 nowMs, qint32 hostBaud);
    // Power cycle of every instrument.
    void resetAll();

    const QList<TrafficEntry>& traffic() const { return log; }
    void clearTraffic() { log.clear(); }
    // The log keeps at most this many entries; the oldest go first.
    static constexpr qsizetype maxTrafficEntries = 20000;

private:
    void record(TrafficEntry entry);

    std::vector<std::unique_ptr<SimInstrument>> instruments;
    QList<TrafficEntry> log;
};

// Noise of the same length that a receiver at the wrong speed makes of `bytes`. Never CR or LF, so
// it never completes a line by accident.
QByteArray garble(const QByteArray& bytes);

} // namespace sim
