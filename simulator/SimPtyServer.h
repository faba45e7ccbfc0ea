#pragma once

#include "SimNetwork.h"

#include <QString>

#include <atomic>
#include <memory>
#include <mutex>
#include <thread>

namespace sim {

// Serves a simulated network on a pseudo-terminal. The server owns the master side; the program
// opens the slave path as its serial port. It serves from a thread of its own, because the program
// blocks its own thread while it waits for a reply.
//
// The slave's line speed is read from the master side before each block of received bytes and
// before each block sent, so an instrument ignores bytes sent at another speed than its own and the
// program hears noise from an instrument at another speed. A pseudo-terminal holds no data bits or
// parity, so only the speed is checked.
class SimPtyServer {
public:
    explicit SimPtyServer(std::unique_ptr<SimNetwork> network = std::make_unique<SimNetwork>());
    ~SimPtyServer(); // stops
    SimPtyServer(const SimPtyServer&) = delete;
    SimPtyServer& operator=(const SimPtyServer&) = delete;

    // Opens the pseudo-terminal and starts serving. False, with the reason, when it cannot.
    bool start(QString* error = nullptr);
    // Stops the thread and closes every descriptor; removes the link. Safe to call twice.
    void stop();
    bool running() const { return worker.joinable(); }
    // The device path the program opens, e.g. /dev/pts/5. Empty until started.
    QString slavePath() const { return path; }
    // Places a symbolic link to the slave (an existing link there is replaced, any other file is
    // left alone and the call fails). Removed again by stop().
    bool setLink(const QString& linkPath, QString* error = nullptr);
    // True once the device went away (the vanish fault): the master is closed, as if unplugged.
    bool vanished() const { return hasVanished.load(); }

    // Runs f on the network while the server is held off it; f must not block.
    template <typename F> auto withNetwork(F&& f) {
        std::lock_guard lock(mutex);
        return f(*network);
    }
    template <typename F> auto withNetwork(F&& f) const {
        std::lock_guard lock(mutex);
        return f(static_cast<const SimNetwork&>(*network));
    }
    QList<TrafficEntry> traffic() const {
        return withNetwork([](const SimNetwork& n) { return n.traffic(); });
    }
    // Milliseconds on the clock the traffic log uses (since start).
    qint64 nowMs() const;

private:
    void serve();
    qint32 slaveBaud() const;
    void closeDevice();

    std::unique_ptr<SimNetwork> network;
    mutable std::mutex mutex;
    std::thread worker;
    int master = -1;
    int slaveKeeper = -1; // holds the slave open between the program's opens
    int wakeRead = -1;
    int wakeWrite = -1;
    QString path;
    QString link;
    std::atomic<bool> hasVanished{false};
    qint64 startNs = 0;
};

} // namespace sim
