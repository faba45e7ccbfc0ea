// The receive path as a user meets it: the real main window in terminal mode, its link on a
// pseudo-terminal through the real serial port class, and an instrument side that sends 60-byte
// lines (58 characters, CR LF) at the 57600 baud line rate (5760 bytes a second) and then as fast as
// the pseudo-terminal takes them. Measured from /proc, for the program's threads only (the feeding
// thread is left out): CPU share and wake-ups a second with the port open and nothing arriving; CPU
// share and wake-ups a second at the line rate, the wake-ups also by thread; for the flood, the time
// until the last line is shown, the bytes shown a second as a multiple of the line rate, CPU seconds,
// the longest the event loop took to answer a posted event (what a key press would wait), and the
// memory resident once it is over. Rounds are interleaved; medians with ranges.
//
//   QT_QPA_PLATFORM=offscreen build/bin/bench_receive [rounds=5] [seconds=10] [megabytes=20]
//
// BENCH_VIEW=stamps,hex,echo turns those view options on first, as the View menu does.
//
// Runs under a real display too (QT_QPA_PLATFORM=xcb with DISPLAY set, e.g. under Xvfb); with
// BENCH_XSERVER_PID set it also reports the X server's CPU share at the line rate.
#include "FakeDialogs.h"
#include "Main.h"
#include "Pty.h"
#include "SerialPort.h"
#include "Sound.h"
#include "TerminalMode.h"

#include <QAbstractScrollArea>
#include <QAction>
#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QPaintEvent>
#include <QPlainTextEdit>
#include <QTemporaryDir>
#include <QTextBlock>
#include <QTimer>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstdio>
#include <map>
#include <poll.h>
#include <sys/resource.h>
#include <sys/syscall.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

constexpr double kLineRate = 57600.0 / 10.0;
constexpr int kLineLength = 60;

QByteArray lineNumber(qint64 n) {
    QByteArray l = "L" + QByteArray::number(n).rightJustified(9, '0') + "\t";
    while (l.size() < kLineLength - 2)
        l += char('a' + l.size() % 26);
    return l + "\r\n";
}

struct Usage {
    double cpuSeconds = 0;
    qint64 switches = 0;
    qint64 preempted = 0; // of the switches, those forced by other work on the machine
    // Context switches by thread name, to tell which thread wakes up.
    std::map<QByteArray, qint64> byThread;
};

qint64 field(const QByteArray& status, const char* key) {
    const qsizetype at = status.indexOf(key);
    if (at < 0)
        return 0;
    return status.mid(at + qsizetype(strlen(key))).simplified().split(' ').first().toLongLong();
}

// The process's threads except the feeding one: CPU from schedstat (nanoseconds), wake-ups as
// context switches. The process total comes from getrusage, which keeps the switches of threads
// that have ended (Qt's pool lets idle threads go).
Usage usage(pid_t skip) {
    Usage u;
    rusage self{};
    ::getrusage(RUSAGE_SELF, &self);
    qint64 total = self.ru_nvcsw + self.ru_nivcsw;
    qint64 preempted = self.ru_nivcsw;
    const QDir tasks(QStringLiteral("/proc/self/task"));
    for (const QString& tid : tasks.entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
        QFile sched(tasks.filePath(tid + "/schedstat"));
        if (tid.toInt() != skip && sched.open(QIODevice::ReadOnly))
            u.cpuSeconds += sched.readAll().split(' ').first().toDouble() / 1e9;
        QFile status(tasks.filePath(tid + "/status"));
        if (status.open(QIODevice::ReadOnly)) {
            const QByteArray s = status.readAll();
            const qint64 forced = field(s, "nonvoluntary_ctxt_switches:");
            const qint64 n = field(s, "voluntary_ctxt_switches:") + forced;
            if (tid.toInt() == skip) {
                total -= n;
                preempted -= forced;
                continue;
            }
            QByteArray name = s.mid(6, s.indexOf('\n') - 6).trimmed();
            if (name.startsWith("Thread (pooled)"))
                name = "Thread (pooled)";
            u.byThread[name] += n;
        }
    }
    u.switches = total;
    u.preempted = preempted;
    return u;
}

// CPU seconds of another process (the X server, when its pid is given).
double processSeconds(qint64 pid) {
    QFile f(QStringLiteral("/proc/%1/stat").arg(pid));
    if (pid <= 0 || !f.open(QIODevice::ReadOnly))
        return 0;
    const QByteArray s = f.readAll();
    const QList<QByteArray> fields = s.mid(s.lastIndexOf(')') + 2).split(' ');
    return fields.size() > 12 ? (fields[11].toDouble() + fields[12].toDouble()) / double(sysconf(_SC_CLK_TCK))
                              : 0;
}

qint64 residentKb() {
    QFile f(QStringLiteral("/proc/self/status"));
    return f.open(QIODevice::ReadOnly) ? field(f.readAll(), "VmRSS:") : 0;
}

// Writes to the pseudo-terminal's instrument side from its own thread.
class Feeder {
public:
    explicit Feeder(int fd) : fd(fd) {
        worker = std::thread([this] { run(); });
        while (tid.load() == 0)
            std::this_thread::yield();
    }
    ~Feeder() {
        stop = true;
        worker.join();
    }
    pid_t threadId() const { return tid.load(); }
    // Lines at the line rate for the given time, or `bytes` as fast as they go; then the marker.
    void lineRate(double seconds) { start(1, qint64(seconds * kLineRate)); }
    void flood(qint64 bytes) { start(2, bytes); }
    bool idle() const { return mode.load() == 0; }
    qint64 lastLine() const { return last.load(); }

private:
    void start(int m, qint64 bytes) {
        amount = bytes;
        mode = m;
    }
    void writeAll(const char* data, qsizetype size) {
        while (size > 0 && !stop) {
            const ssize_t n = ::write(fd, data, size_t(size));
            if (n > 0) {
                data += n;
                size -= n;
            } else if (errno == EAGAIN) {
                // A pseudo-terminal's master does not always say when it has room again.
                pollfd p{fd, POLLOUT, 0};
                ::poll(&p, 1, 1);
            } else if (errno != EINTR) {
                return;
            }
        }
    }
    void run() {
        tid = pid_t(::syscall(SYS_gettid));
        while (!stop) {
            const int m = mode.load();
            if (m == 0) {
                ::usleep(20000);
                continue;
            }
            const qint64 lines = std::max<qint64>(1, amount / kLineLength);
            QElapsedTimer t;
            t.start();
            if (m == 1) {
                for (qint64 i = 0; i < lines && !stop; ++i) {
                    const QByteArray l = lineNumber(++counter);
                    writeAll(l.constData(), l.size());
                    // The next line leaves when the line would have carried it.
                    const qint64 due = qint64(double(i + 1) * kLineLength / kLineRate * 1e9);
                    const qint64 ahead = due - t.nsecsElapsed();
                    if (ahead > 0)
                        ::usleep(useconds_t(ahead / 1000));
                }
            } else {
                QByteArray block;
                for (qint64 i = 0; i < lines && !stop; ++i) {
                    block += lineNumber(++counter);
                    if (block.size() >= 64 * 1024 || i + 1 == lines) {
                        writeAll(block.constData(), block.size());
                        block.clear();
                    }
                }
            }
            last = counter;
            mode = 0;
        }
    }

    int fd;
    std::thread worker;
    std::atomic<pid_t> tid{0};
    std::atomic<bool> stop{false};
    std::atomic<int> mode{0};
    std::atomic<qint64> amount{0};
    std::atomic<qint64> last{0};
    qint64 counter = 0;
};

// Counts what the receive window paints: "paint only what changed" in numbers.
struct PaintCounter : QObject {
    qint64 paints = 0;
    double pixels = 0;
    bool eventFilter(QObject*, QEvent* e) override {
        if (e->type() == QEvent::Paint) {
            ++paints;
            for (const QRect& r : static_cast<QPaintEvent*>(e)->region())
                pixels += double(r.width()) * r.height();
        }
        return false;
    }
};

bool shows(QPlainTextEdit* rx, qint64 line) {
    const QByteArray want = lineNumber(line).left(kLineLength - 2);
    for (QTextBlock b = rx->document()->lastBlock();
         b.isValid() && b.blockNumber() > rx->document()->blockCount() - 4; b = b.previous())
        if (b.text().toLatin1().endsWith(want)) // after a time stamp, if shown
            return true;
    return false;
}

// Runs the event loop until done() (looked at every checkMs) or the limit; returns the longest a
// posted event waited when probing.
double runUntil(const std::function<bool()>& done, qint64 limitMs, int checkMs, bool probe) {
    QEventLoop loop;
    QTimer limit;
    limit.setSingleShot(true);
    QObject::connect(&limit, &QTimer::timeout, &loop, &QEventLoop::quit);
    limit.start(int(limitMs));
    double worstMs = 0;
    QElapsedTimer posted;
    bool waiting = false;
    QTimer check;
    QObject::connect(&check, &QTimer::timeout, [&] {
        if (done && done())
            loop.quit();
        if (probe && !waiting) {
            waiting = true;
            posted.start();
            QMetaObject::invokeMethod(
                &loop,
                [&] {
                    worstMs = std::max(worstMs, double(posted.nsecsElapsed()) / 1e6);
                    waiting = false;
                },
                Qt::QueuedConnection);
        }
    });
    if (checkMs > 0)
        check.start(checkMs);
    loop.exec();
    return worstMs;
}

struct Samples {
    std::vector<double> v;
    void add(double x) { v.push_back(x); }
    QString text(const char* format) const {
        std::vector<double> s = v;
        std::sort(s.begin(), s.end());
        const double median = s.empty()      ? 0
                              : s.size() % 2 ? s[s.size() / 2]
                                             : (s[s.size() / 2 - 1] + s[s.size() / 2]) / 2;
        return QString::asprintf(format, median) + QStringLiteral(" (") +
               QString::asprintf(format, s.front()) + QStringLiteral("-") +
               QString::asprintf(format, s.back()) + QStringLiteral(")");
    }
};

} // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const int rounds = argc > 1 ? std::max(1, atoi(argv[1])) : 5;
    const double seconds = argc > 2 ? std::max(1.0, atof(argv[2])) : 10.0;
    const qint64 megabytes = argc > 3 ? std::max(1, atoi(argv[3])) : 20;

    Pty pty;
    QTemporaryDir dir;
    if (!pty.ok() || !dir.isValid()) {
        std::fprintf(stderr, "no pseudo-terminal\n");
        return 1;
    }
    platform::PortMap map;
    map.setDevice(QStringLiteral("COM1"), pty.slavePath());
    FakeDialogs dialogs;
    platform::SilentSound sound;
    MainFormDeps deps;
    deps.port = std::make_unique<platform::QtSerialPort>(map);
    deps.dialogs = &dialogs;
    deps.sound = &sound;
    deps.executableFolder = dir.path() + "/";
    TMainForm window(std::move(deps));
    window.show();
    runUntil(nullptr, 500, 0, false);
    // The splash ends as after its time, without the welcome dialog.
    window.showWelcome = [] { return 0; };
    window.Timer1_Time0();
    window.action("TerminalModeItem")->trigger();
    auto* rx = window.findChild<QPlainTextEdit*>(QStringLiteral("TermRX"));
    if (!window.form0().Comms.IsOpen() || !rx) {
        std::fprintf(stderr, "the link did not open on %s\n", qPrintable(pty.slavePath()));
        return 1;
    }

    // The view options, as the View menu sets them: BENCH_VIEW=stamps,hex,echo
    const QStringList view = qEnvironmentVariable("BENCH_VIEW").split(QLatin1Char(','), Qt::SkipEmptyParts);
    for (const auto& [option, item] :
         {std::pair{"stamps", "ShowTimeStampsItem"}, std::pair{"hex", "HexViewItem"},
          std::pair{"echo", "EchoSentLinesItem"}})
        if (view.contains(QLatin1String(option)))
            window.action(QLatin1String(item))->trigger();
    auto* shown = view.contains(QStringLiteral("hex"))
                      ? window.findChild<QAbstractScrollArea*>(QStringLiteral("TermHex"))
                      : static_cast<QAbstractScrollArea*>(rx);
    PaintCounter painted;
    shown->viewport()->installEventFilter(&painted);
    Feeder feeder(pty.masterFd());
    const pid_t skip = feeder.threadId();
    const qint64 xServer = qEnvironmentVariableIntValue("BENCH_XSERVER_PID");
    Samples idleCpu, idleWakeups, rateCpu, ratePreempted, rateServer, rateWakeups, ratePaints, ratePainted,
        floodSeconds, floodRatio, floodCpu, floodWorst, memory, memoryAfter;
    std::map<QByteArray, double> rateByThread;
    const double idleSeconds = std::max(2.0, seconds / 2);
    for (int r = 0; r < rounds; ++r) {
        // Idle, port open.
        runUntil(nullptr, 300, 0, false);
        Usage a = usage(skip);
        QElapsedTimer t;
        t.start();
        runUntil(nullptr, qint64(idleSeconds * 1000), 0, false);
        Usage b = usage(skip);
        double wall = double(t.nsecsElapsed()) / 1e9;
        idleCpu.add(100 * (b.cpuSeconds - a.cpuSeconds) / wall);
        idleWakeups.add(double(b.switches - a.switches) / wall);
        memory.add(double(residentKb()) / 1024);

        // The line rate.
        const double x0 = processSeconds(xServer);
        a = usage(skip);
        painted.paints = 0;
        painted.pixels = 0;
        t.restart();
        feeder.lineRate(seconds);
        runUntil([&] { return feeder.idle() && shows(rx, feeder.lastLine()); }, qint64(seconds * 3000), 100,
                 false);
        b = usage(skip);
        wall = double(t.nsecsElapsed()) / 1e9;
        rateCpu.add(100 * (b.cpuSeconds - a.cpuSeconds) / wall);
        rateWakeups.add(double(b.switches - a.switches) / wall);
        ratePreempted.add(double(b.preempted - a.preempted) / wall);
        rateServer.add(100 * (processSeconds(xServer) - x0) / wall);
        for (const auto& [name, n] : b.byThread)
            rateByThread[name] += double(n - a.byThread[name]) / wall / rounds;
        ratePaints.add(double(painted.paints) / wall);
        ratePainted.add(painted.pixels / wall / (shown->viewport()->width() * shown->viewport()->height()));

        // As fast as it goes.
        a = usage(skip);
        t.restart();
        feeder.flood(megabytes << 20);
        const double worst =
            runUntil([&] { return feeder.idle() && shows(rx, feeder.lastLine()); }, 600000, 20, true);
        b = usage(skip);
        wall = double(t.nsecsElapsed()) / 1e9;
        floodSeconds.add(wall);
        floodRatio.add(double(megabytes << 20) / wall / kLineRate);
        floodCpu.add(b.cpuSeconds - a.cpuSeconds);
        floodWorst.add(worst);
        // What the window keeps after a flood, once it has settled.
        runUntil(nullptr, 300, 0, false);
        memoryAfter.add(double(residentKb()) / 1024);
        std::fprintf(stderr, "round %d done\n", r + 1);
    }

    std::printf("%d rounds, medians (ranges)%s%s\n", rounds,
                view.isEmpty() ? "" : ", view options: ", qPrintable(view.join(QLatin1Char(','))));
    std::printf("idle, port open: CPU %s %%, %s wake-ups/s, resident %s MB\n",
                qPrintable(idleCpu.text("%.2f")), qPrintable(idleWakeups.text("%.1f")),
                qPrintable(memory.text("%.0f")));
    std::printf("60-byte lines at the 57600 baud line rate for %.0f s: CPU %s %%, %s wake-ups/s (%s of them "
                "preempted), %s paints/s covering %s windows/s\n",
                seconds, qPrintable(rateCpu.text("%.1f")), qPrintable(rateWakeups.text("%.0f")),
                qPrintable(ratePreempted.text("%.0f")), qPrintable(ratePaints.text("%.0f")),
                qPrintable(ratePainted.text("%.1f")));
    std::printf("  wake-ups/s by thread (mean):");
    for (const auto& [name, n] : rateByThread)
        if (n >= 0.5)
            std::printf(" %s %.0f;", name.constData(), n);
    std::printf("\n");
    std::printf(
        "%lld MiB as fast as it goes: shown in %s s = %s x the line rate, %s CPU s, event loop answered "
        "within %s ms, resident after it %s MB\n",
        megabytes, qPrintable(floodSeconds.text("%.2f")), qPrintable(floodRatio.text("%.0f")),
        qPrintable(floodCpu.text("%.2f")), qPrintable(floodWorst.text("%.0f")),
        qPrintable(memoryAfter.text("%.0f")));
    if (xServer > 0)
        std::printf("X server CPU at the line rate: %s %%\n", qPrintable(rateServer.text("%.1f")));
    return 0;
}
