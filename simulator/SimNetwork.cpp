#include "SimNetwork.h"

#include <algorithm>

namespace sim {

SimNetwork::SimNetwork(const QList<InstrumentConfig>& configs) {
    for (const InstrumentConfig& c : configs)
        addInstrument(c);
}

SimInstrument& SimNetwork::addInstrument(InstrumentConfig config) {
    instruments.push_back(std::make_unique<SimInstrument>(std::move(config)));
    return *instruments.back();
}

void SimNetwork::receive(const QByteArray& bytes, qint32 baud, qint64 nowMs) {
    if (bytes.isEmpty())
        return;
    record({nowMs, TrafficEntry::In, bytes, baud, false});
    for (auto& i : instruments)
        i->receive(bytes, baud, nowMs);
}

std::optional<qint64> SimNetwork::nextDueMs() const {
    std::optional<qint64> due;
    for (const auto& i : instruments)
        if (const auto t = i->nextDueMs())
            due = due ? std::min(*due, *t) : *t;
    return due;
}

SimNetwork::Output SimNetwork::takeDue(qint64 nowMs, qint32 hostBaud) {
    QList<Emission> all;
    for (auto& i : instruments)
        all.append(i->takeDue(nowMs));
    sortByDue(all);
    Output out;
    for (const Emission& e : all) {
        if (!e.bytes.isEmpty()) {
            const bool garbled = hostBaud != 0 && e.baud != 0 && e.baud != hostBaud;
            const QByteArray wire = garbled ? garble(e.bytes) : e.bytes;
            record({nowMs, TrafficEntry::Out, wire, e.baud, garbled});
            out.bytes += wire;
        }
        if (e.vanishAfter) {
            out.vanish = true;
            break;
        }
    }
    return out;
}

void SimNetwork::resetAll() {
    for (auto& i : instruments)
        i->reset();
}

void SimNetwork::record(TrafficEntry entry) {
    if (log.size() >= maxTrafficEntries)
        log.remove(0, maxTrafficEntries / 2);
    log.append(std::move(entry));
}

QByteArray garble(const QByteArray& bytes) {
    QByteArray out(bytes.size(), Qt::Uninitialized);
    for (qsizetype i = 0; i < bytes.size(); ++i)
        out[i] = char(0x80 | ((uchar(bytes[i]) * 37 + 11) & 0x7F));
    return out;
}

} // namespace sim
