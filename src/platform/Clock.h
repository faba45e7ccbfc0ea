#pragma once

#include <QtGlobal>

namespace platform {

// Millisecond clock for every time-out and delay of the link. Monotonic, 64-bit: it never wraps in
// the life of a process, and elapsed times are plain differences.
class Clock {
public:
    virtual ~Clock() = default;
    virtual qint64 nowMs() const = 0;
    // Blocks the calling thread for ms milliseconds without servicing the event loop.
    virtual void waitMs(qint64 ms) = 0;
};

class SteadyClock final : public Clock {
public:
    qint64 nowMs() const override;
    void waitMs(qint64 ms) override;
    static SteadyClock& instance();
};

} // namespace platform
