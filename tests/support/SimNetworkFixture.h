#pragma once

#include "SerialPort.h"
#include "SimPtyServer.h"

#include <QByteArray>
#include <QList>
#include <QString>

#include <memory>

// A simulated 917 network served on a pseudo-terminal inside the test process, for end-to-end
// tests through the real serial port. Typical use:
//
//     SimNetworkFixture net({SimNetworkFixture::instrument("00"), SimNetworkFixture::instrument("05")});
//     QVERIFY2(net.ok(), qPrintable(net.error()));
//     auto port = std::make_unique<platform::QtSerialPort>(net.portMap()); // COM1 is the pty
//     ... run the command under test ...
//     QCOMPARE(net.receivedLines(), (QList<QByteArray>{"#00 SYS\r\n"}));
//     QCOMPARE(net.link(0).address, QByteArray("01"));
//
// The server runs on a thread of its own (the program blocks its thread while it waits for a
// reply). Destruction stops the thread and closes every descriptor, so no test leaves anything behind.
// Every accessor takes the server's lock and returns a copy; call them from the test's thread.
class SimNetworkFixture {
public:
    // One factory-new instrument: address 00, prefix "#", RS232, 9600 baud, "917 Version 1.01".
    SimNetworkFixture();
    explicit SimNetworkFixture(const QList<sim::InstrumentConfig>& instruments);
    ~SimNetworkFixture();
    SimNetworkFixture(const SimNetworkFixture&) = delete;
    SimNetworkFixture& operator=(const SimNetworkFixture&) = delete;

    // A factory-new instrument with another address, identification or speed.
    static sim::InstrumentConfig instrument(const QByteArray& address,
                                            const QByteArray& identification = "917 Version 1.01",
                                            qint32 baud = 9600);

    bool ok() const { return started; }
    QString error() const { return startError; }
    QString slavePath() const { return server->slavePath(); }
    // A port map in which comName names the pseudo-terminal.
    platform::PortMap portMap(const QString& comName = QStringLiteral("COM1")) const;
    sim::SimPtyServer& pty() { return *server; }

    // Runs f(SimNetwork&) under the server's lock: read an instrument, change its faults.
    template <typename F> auto withNetwork(F&& f) { return server->withNetwork(std::forward<F>(f)); }

    // What the program sent to the line (all blocks joined) and the same split after each LF.
    QByteArray received() const;
    QList<QByteArray> receivedLines() const;
    // What the instruments put on the line, as the program got it (noise included).
    QByteArray sent() const;
    QList<sim::TrafficEntry> traffic() const { return server->traffic(); }
    void clearTraffic();
    // Waits for the program to have sent at least `count` complete lines.
    bool waitForReceivedLines(int count, int timeoutMs = 5000) const;

    // Copies of one instrument's state.
    sim::LinkSettings link(int index) const;
    sim::LinkSettings savedLink(int index) const;
    QList<QByteArray> records(int index) const;
    QList<QByteArray> savedRecords(int index) const;
    int commandsHandled(int index) const;
    bool running(int index) const;
    void setFaults(int index, const sim::Faults& faults);
    // Power cycle of one instrument: unsaved settings and records are lost.
    void resetInstrument(int index);

private:
    std::unique_ptr<sim::SimPtyServer> server;
    bool started = false;
    QString startError;
};
