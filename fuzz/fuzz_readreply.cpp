// ReadReply on a scripted port against the reply rules: CR and LF are dropped, LF ends the reply,
// every other byte (NUL included) is kept and restarts the time-out, a CR does not; a silence of the
// time-out before the LF gives the empty text and loses the partial line; bytes after the LF stay for
// the next reply.

#include "Clock.h"
#include "FuzzCheck.h"
#include "KovComms.h"
#include "SerialPort.h"

#include <deque>
#include <memory>

namespace {

constexpr qint64 kTimeout = 1000;
// Gaps between bytes. Sums of them never come within 50 ms of a time-out, so the outcome does not
// hang on which of two simultaneous events is seen first.
constexpr qint64 kGaps[] = {350, 700, 1750};

struct Arrival {
    qint64 at;
    char byte;
};

class ScriptClock final : public platform::Clock {
public:
    qint64 nowMs() const override { return now; }
    void waitMs(qint64 ms) override { now += ms; }
    qint64 now = 0;
};

// Bytes become readable at their arrival time; waiting moves the clock on to the next arrival.
class ScriptPort final : public platform::SerialPort {
public:
    explicit ScriptPort(ScriptClock& clock) : clock(clock) {}
    bool open(const QString&) override { return opened = true; }
    void close() override { opened = false; }
    bool isOpen() const override { return opened; }
    void configure(qint32, int, int) override {}
    void purge(bool, bool) override {}
    qint64 read(char* data, qint64 maxSize) override {
        qint64 n = 0;
        while (n < maxSize && !script.empty() && script.front().at <= clock.now) {
            data[n++] = script.front().byte;
            script.pop_front();
        }
        return n;
    }
    bool waitForReadyRead(int msecs) override {
        if (!script.empty() && script.front().at <= clock.now + msecs) {
            clock.now = qMax(clock.now, script.front().at);
            return true;
        }
        clock.now += qMax(msecs, 0);
        return false;
    }
    qint64 write(const char*, qint64 size) override { return size; }
    void drainOutput(qint32) override {}
    void setRts(bool) override {}

    std::deque<Arrival> script;

private:
    ScriptClock& clock;
    bool opened = false;
};

struct ModelReply {
    bool success = false;
    QByteArray text;
    qint64 duration = 0; // from the call to its end
};

// One ReadReply on the queue of arrivals, starting at `now`; consumes what the reply takes.
ModelReply modelReply(std::deque<Arrival>& queue, qint64& now) {
    ModelReply r;
    const qint64 called = now;
    qint64 restart = now;
    while (!queue.empty()) {
        const qint64 at = qMax(queue.front().at, now);
        if (at - restart >= kTimeout)
            break;
        now = at;
        const char c = queue.front().byte;
        queue.pop_front();
        if (c == '\n') {
            r.success = true;
            r.duration = now - called;
            return r;
        }
        if (c != '\r') {
            r.text.append(c);
            restart = now;
        }
    }
    now = restart + kTimeout;
    r.text.clear();
    r.duration = now - called;
    return r;
}

} // namespace

// Input: data bytes arriving one after another; 0xFF k inserts the gap kGaps[k % 4] before the next
// byte, or (k % 4 == 3) stands for the data byte 0xFF itself.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    fuzz::ensureApplication();
    std::deque<Arrival> script;
    qint64 at = 1;
    for (size_t i = 0; i < size; ++i) {
        if (data[i] == 0xFF && i + 1 < size) {
            const int k = data[++i] % 4;
            if (k < 3) {
                at += kGaps[k];
                continue;
            }
        }
        script.push_back({at, char(data[i])});
    }

    ScriptClock clock;
    auto owned = std::make_unique<ScriptPort>(clock);
    ScriptPort* port = owned.get();
    TKovComms comms(std::move(owned), &clock);
    comms.setOutputTimeout(quint16(kTimeout));
    fuzz::expect(comms.Open(), "the scripted port opens");
    port->script = script;
    clock.now = 1;

    std::deque<Arrival> queue = script;
    qint64 now = clock.now;
    for (;;) {
        const QString got = comms.ReadReply();
        const ModelReply want = modelReply(queue, now);
        // Replies are short and quick; how a flood ends is the link's own bound.
        if (want.text.size() > 64 || want.duration > 4 * kTimeout) {
            if (!got.isEmpty())
                fuzz::expectEqual(got, want.text, "reply beyond the bounds");
            break;
        }
        fuzz::expectEqual(got, want.text, "reply");
        if (got.isEmpty())
            break; // from here the two clocks may differ by the time-out's last millisecond
        fuzz::expect(clock.now == now, "the reply ends when its LF arrives");
    }
    comms.Close();
    return 0;
}
