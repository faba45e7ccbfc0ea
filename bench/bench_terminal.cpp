// Throughput of the terminal's receive window: 20 MB fed in blocks of 64 bytes into TerminalReceive
// with the real widget (offscreen), with 10 000 and with 200 000 lines already in the window, as a
// multiple of what a 57600 baud line can deliver (5760 bytes a second at 10 bits a character). The
// event loop runs whenever 10 ms have passed, as it would between deliveries, so the window shows
// what has arrived once a frame. Also the cost of a 100 000-byte line that never ends.
//
//   build/bin/bench_terminal [megabytes]
#include "ConfigTree.h"
#include "FakeDialogs.h"
#include "FakeSerialPort.h"
#include "Sound.h"
#include "TerminalMode.h"
#include "TerminalScreen.h"

#include <QAction>
#include <QApplication>
#include <QElapsedTimer>
#include <QPlainTextEdit>
#include <QVBoxLayout>

#include <algorithm>
#include <cstdio>
#include <ctime>
#include <vector>

namespace {

constexpr double kLineRate = 57600.0 / 10.0;
constexpr int kBlock = 64;

// Lines as a logging instrument sends them: readings separated by TAB, ended by CR LF.
QByteArray readings(qint64 bytes, int seed) {
    QByteArray out;
    out.reserve(bytes + 64);
    for (int i = seed; out.size() < bytes; ++i)
        out += QByteArray::number(i % 1000 * 0.125, 'f', 3) + '\t' + QByteArray::number(i % 977 - 400) +
               '\t' + QByteArray::number(i % 83 * 1.5, 'f', 1) + '\t' + QByteArray::number(i) + "\r\n";
    out.truncate(bytes);
    return out;
}

struct Terminal {
    FakeClock clock;
    TForm0 form0{std::make_unique<FakeSerialPort>(clock), &clock};
    FakeDialogs dialogs;
    platform::SilentSound sound;
    Services svc{form0, dialogs, sound};
    ConfigTree tree;
    QWidget window;
    QWidget* configuration = new QWidget(&window);
    QWidget* frame = new QWidget(&window);
    TerminalScreen* screen = new TerminalScreen(frame);
    QAction item;
    TerminalMode mode{svc, tree, *screen, TerminalHost{configuration, frame, &item, &window}};

    Terminal() {
        tree.resetToStartup();
        auto* layout = new QVBoxLayout(&window);
        layout->addWidget(configuration);
        layout->addWidget(frame);
        (new QVBoxLayout(frame))->addWidget(screen);
        window.resize(790, 520);
        window.show();
        mode.TerminalSelect();
        QApplication::processEvents();
    }
    void feed(const QByteArray& data, int block) {
        for (qsizetype at = 0; at < data.size(); at += block)
            mode.TerminalReceive(&form0.Comms, data.constData() + at,
                                 qint32(std::min<qsizetype>(block, data.size() - at)));
    }
};

struct Result {
    double seconds = 0;
    double cpuSeconds = 0; // of this process: on a shared machine the wall time also counts the others
    double worstBlockUs = 0;
    double firstMbUs = 0; // mean per block over the first and the last megabyte
    double lastMbUs = 0;
};

Result run(Terminal& t, const QByteArray& data) {
    Result r;
    QElapsedTimer total, paint;
    const std::clock_t cpu = std::clock();
    total.start();
    paint.start();
    const qsizetype blocks = (data.size() + kBlock - 1) / kBlock;
    const qsizetype perMb = (1 << 20) / kBlock;
    double firstMb = 0, lastMb = 0;
    for (qsizetype b = 0; b < blocks; ++b) {
        const qint64 start = total.nsecsElapsed();
        const qsizetype at = b * kBlock;
        t.mode.TerminalReceive(&t.form0.Comms, data.constData() + at,
                               qint32(std::min<qsizetype>(kBlock, data.size() - at)));
        if (paint.elapsed() >= 10) {
            QApplication::processEvents();
            paint.restart();
        }
        const double us = double(total.nsecsElapsed() - start) / 1000.0;
        r.worstBlockUs = std::max(r.worstBlockUs, us);
        if (b < perMb)
            firstMb += us;
        if (b >= blocks - perMb)
            lastMb += us;
    }
    t.mode.receiveWindow().flush(); // shown, not only received
    r.seconds = double(total.nsecsElapsed()) / 1e9;
    r.cpuSeconds = double(std::clock() - cpu) / CLOCKS_PER_SEC;
    r.firstMbUs = firstMb / double(std::min(perMb, blocks));
    r.lastMbUs = lastMb / double(std::min(perMb, blocks));
    return r;
}

} // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const qint64 megabytes = argc > 1 ? std::max(1, atoi(argv[1])) : 20;
    const QByteArray data = readings(megabytes << 20, 7);

    for (const int already : {10000, ReceiveWindow::kMaximumLines - 10000}) {
        Terminal t;
        QByteArray fill;
        for (int i = 0; i < already; ++i)
            fill += "earlier line " + QByteArray::number(i) + "\r\n";
        t.feed(fill, 4096);
        t.mode.receiveWindow().flush();
        const int before = t.screen->TermRX()->document()->blockCount() - 1;
        const Result r = run(t, data);
        const double rate = double(data.size()) / r.seconds;
        std::printf(
            "%6d lines shown before: %lld MB in %.2f s = %.2f MB/s = %.0f x the 57600 baud line rate "
            "(%.0f x per CPU second of this process)\n"
            "       per block %.1f us over the first MB, %.1f us over the last, worst %.0f us; %d lines "
            "at the end\n",
            before, megabytes, r.seconds, rate / 1e6, rate / kLineRate,
            double(data.size()) / r.cpuSeconds / kLineRate, r.firstMbUs, r.lastMbUs, r.worstBlockUs,
            t.screen->TermRX()->document()->blockCount());
    }

    {
        Terminal t;
        const QByteArray endless(100000, 'x');
        const Result r = run(t, endless);
        std::printf("a 100000-byte line without CR: %.3f s, worst block %.0f us, %.0f x the line rate\n",
                    r.seconds, r.worstBlockUs, double(endless.size()) / r.seconds / kLineRate);
    }
    return 0;
}
