#include "SimNetworkFixture.h"

#include <QElapsedTimer>
#include <QThread>

SimNetworkFixture::SimNetworkFixture()
    : SimNetworkFixture(QList<sim::InstrumentConfig>{sim::InstrumentConfig{}}) {}

SimNetworkFixture::SimNetworkFixture(const QList<sim::InstrumentConfig>& instruments)
    : server(std::make_unique<sim::SimPtyServer>(std::make_unique<sim::SimNetwork>(instruments))) {
    started = server->start(&startError);
}

SimNetworkFixture::~SimNetworkFixture() {
    server->stop();
}

sim::InstrumentConfig SimNetworkFixture::instrument(const QByteArray& address,
                                                    const QByteArray& identification, qint32 baud) {
    sim::InstrumentConfig c;
    c.link.address = address;
    c.link.baud = baud;
    c.identification = identification;
    return c;
}

platform::PortMap SimNetworkFixture::portMap(const QString& comName) const {
    platform::PortMap map;
    map.setDevice(comName, server->slavePath());
    return map;
}

namespace {
QByteArray joined(const QList<sim::TrafficEntry>& entries, sim::TrafficEntry::Direction direction) {
    QByteArray out;
    for (const sim::TrafficEntry& e : entries)
        if (e.direction == direction)
            out += e.bytes;
    return out;
}
} // namespace

QByteArray SimNetworkFixture::received() const {
    return joined(server->traffic(), sim::TrafficEntry::In);
}

QList<QByteArray> SimNetworkFixture::receivedLines() const {
    QList<QByteArray> lines;
    const QByteArray all = received();
    qsizetype start = 0;
    for (qsizetype lf = all.indexOf('\n'); lf >= 0; lf = all.indexOf('\n', start)) {
        lines.append(all.mid(start, lf + 1 - start));
        start = lf + 1;
    }
    return lines;
}

QByteArray SimNetworkFixture::sent() const {
    return joined(server->traffic(), sim::TrafficEntry::Out);
}

void SimNetworkFixture::clearTraffic() {
    server->withNetwork([](sim::SimNetwork& n) { n.clearTraffic(); });
}

bool SimNetworkFixture::waitForReceivedLines(int count, int timeoutMs) const {
    QElapsedTimer t;
    t.start();
    while (receivedLines().size() < count) {
        if (t.elapsed() >= timeoutMs)
            return false;
        QThread::msleep(5);
    }
    return true;
}

sim::LinkSettings SimNetworkFixture::link(int index) const {
    return server->withNetwork([index](const sim::SimNetwork& n) { return n.instrument(index).link(); });
}

sim::LinkSettings SimNetworkFixture::savedLink(int index) const {
    return server->withNetwork([index](const sim::SimNetwork& n) { return n.instrument(index).savedLink(); });
}

QList<QByteArray> SimNetworkFixture::records(int index) const {
    return server->withNetwork([index](const sim::SimNetwork& n) { return n.instrument(index).records(); });
}

QList<QByteArray> SimNetworkFixture::savedRecords(int index) const {
    return server->withNetwork(
        [index](const sim::SimNetwork& n) { return n.instrument(index).savedRecords(); });
}

int SimNetworkFixture::commandsHandled(int index) const {
    return server->withNetwork(
        [index](const sim::SimNetwork& n) { return n.instrument(index).commandsHandled(); });
}

bool SimNetworkFixture::running(int index) const {
    return server->withNetwork([index](const sim::SimNetwork& n) { return n.instrument(index).running(); });
}

void SimNetworkFixture::setFaults(int index, const sim::Faults& faults) {
    server->withNetwork([&](sim::SimNetwork& n) { n.instrument(index).faults() = faults; });
}

void SimNetworkFixture::resetInstrument(int index) {
    server->withNetwork([index](sim::SimNetwork& n) { n.instrument(index).reset(); });
}
