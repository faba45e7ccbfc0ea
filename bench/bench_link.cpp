// Exchanges per second and reply latency of the serial link over a pseudo-terminal with an instantly
// answering peer, and the CPU time the link spends waiting out a 4 s time-out.
//
//   build/bin/bench_link [exchanges]
#include "CpuTime.h"
#include "KovComms.h"
#include "Pty.h"
#include "SerialPort.h"

#include <QCoreApplication>
#include <QElapsedTimer>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <poll.h>
#include <sys/resource.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {
using Clock = std::chrono::steady_clock;

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const int exchanges = argc > 1 ? std::max(10, atoi(argv[1])) : 2000;
    Pty pty;
    if (!pty.ok()) {
        std::fprintf(stderr, "no pseudo-terminal\n");
        return 1;
    }
    platform::PortMap map;
    map.setDevice("COM1", pty.slavePath());
    TKovComms comms(std::make_unique<platform::QtSerialPort>(map));
    comms.setComSpeed(TComSpeed::br57600);
    if (!comms.Open()) {
        std::fprintf(stderr, "cannot open %s\n", qPrintable(pty.slavePath()));
        return 1;
    }

    std::atomic<bool> stop{false};
    std::vector<Clock::time_point> replySent(static_cast<size_t>(exchanges));
    std::thread peer([&] {
        QByteArray pending;
        int answered = 0;
        while (!stop && answered < exchanges) {
            pollfd p{pty.masterFd(), POLLIN, 0};
            if (::poll(&p, 1, 20) <= 0)
                continue;
            char buf[512];
            const ssize_t n = ::read(pty.masterFd(), buf, sizeof buf);
            if (n <= 0)
                continue;
            pending.append(buf, int(n));
            qsizetype lf;
            while ((lf = pending.indexOf('\n')) >= 0 && answered < exchanges) {
                pending.remove(0, lf + 1);
                replySent[size_t(answered)] = Clock::now();
                pty.writeMaster("917 Version 1.01\r\n");
                ++answered;
            }
        }
    });

    std::vector<double> latencyUs;
    latencyUs.reserve(size_t(exchanges));
    QElapsedTimer total;
    total.start();
    int failures = 0;
    for (int i = 0; i < exchanges; ++i) {
        comms.SendText("#01 SYS\r\n");
        const QString reply = comms.ReadReply();
        const auto got = Clock::now();
        if (reply.isEmpty()) {
            ++failures;
            continue;
        }
        latencyUs.push_back(std::chrono::duration<double, std::micro>(got - replySent[size_t(i)]).count());
    }
    const double seconds = double(total.nsecsElapsed()) / 1e9;
    stop = true;
    peer.join();

    std::sort(latencyUs.begin(), latencyUs.end());
    const auto pct = [&](double q) {
        return latencyUs.empty() ? 0.0 : latencyUs[size_t(q * double(latencyUs.size() - 1))];
    };
    std::printf("exchanges: %d in %.3f s = %.0f per second (%d without reply)\n", exchanges, seconds,
                exchanges / seconds, failures);
    std::printf("latency peer LF -> ReadReply returned: median %.0f us, 90%% %.0f us, max %.0f us\n",
                pct(0.5), pct(0.9), pct(1.0));

    comms.setOutputTimeout(4000);
    const double cpu0 = cpuSeconds();
    QElapsedTimer t;
    t.start();
    const QString silent = comms.ReadReply();
    std::printf("4 s time-out: waited %lld ms, CPU %.1f ms (%s)\n", t.elapsed(),
                (cpuSeconds() - cpu0) * 1000.0,
                silent.isEmpty() ? "empty reply, as expected" : "unexpected reply");
    return 0;
}
