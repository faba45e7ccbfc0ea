#include "Clock.h"

#include <chrono>
#include <thread>

namespace platform {

qint64 SteadyClock::nowMs() const {
    using namespace std::chrono;
    return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

void SteadyClock::waitMs(qint64 ms) {
    // Sleeping rather than spinning: the caller's thread is blocked either way, and the CPU stays free.
    const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
    std::this_thread::sleep_until(until);
}

SteadyClock& SteadyClock::instance() {
    static SteadyClock clock;
    return clock;
}

} // namespace platform
