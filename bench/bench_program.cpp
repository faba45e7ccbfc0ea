// Programming an instrument with 164 channel records, the hysteresis and LOGSPEC records
// and 8 logging stages (175 exchanges with SAVE) against an instantly answering simulated instrument
// over a pseudo-terminal at 57600 baud. A pseudo-terminal adds no line time, so the time per
// exchange is the program's own time plus the simulator's turnaround; the time the same bytes would
// need on a real 57600 baud line is printed beside it.
//
//   build/bin/bench_program [runs]
#include "ConfigTree.h"
#include "FakeCommandParts.h"
#include "FakeDialogs.h"
#include "InstrumentChoice.h"
#include "Positional.h"
#include "ProgramInstrument.h"
#include "Records.h"
#include "SimNetworkFixture.h"
#include "Sound.h"

#include <QCoreApplication>
#include <QElapsedTimer>

#include <algorithm>
#include <cstdio>

namespace {

// One record for each of the 164 channel addresses, 001A to 514B.
QStringList channelRecords() {
    QStringList out;
    for (QString a = records::kFirstChannel; out.size() < 164; a = records::nextChannelAddress(a))
        out << QString("SET CHANNEL,%1,ON,OFF,1.5,0,0,23,100").arg(a);
    return out;
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const int runs = argc > 1 ? std::max(1, atoi(argv[1])) : 5;
    SimNetworkFixture net({SimNetworkFixture::instrument("01", "917 Version 1.01", 57600)});
    if (!net.ok()) {
        std::fprintf(stderr, "no simulator: %s\n", qPrintable(net.error()));
        return 1;
    }
    FakeDialogs dialogs;
    platform::SilentSound sound;
    TForm0 form0(std::make_unique<platform::QtSerialPort>(net.portMap()));
    form0.Settings.HostComSpeed = 7;
    form0.ApplySettings();
    Services svc{form0, dialogs, sound};
    ConfigTree tree;
    tree.resetToStartup();
    ConfigNode* node = tree.appendRoot(positional::instrumentNodeText("01", "917 Version 1.01"));
    ConfigNode* channels = tree.appendChild(node, "Channel Configuration");
    ConfigNode* logging = tree.appendChild(node, "Data Logging Parameters");
    for (const QString& c : channelRecords())
        tree.appendChild(channels, c);
    tree.appendChild(logging, "SET HYSTERESIS,0.5");
    tree.appendChild(logging, "SET LOGSPEC,1,1,OFF,OFF,COMM,ASCII,ON,OFF");
    for (int pass = 1; pass <= 8; ++pass)
        tree.appendChild(logging, QString("SET PASS,%1,1,0,IMM,,,,BURST,1,,").arg(pass));

    FakePicker picker;
    NoStatus status;
    ProgramInstrument command(svc, tree, picker, status, nullptr);
    const ProgramPlan plan = programPlan(node, "#");
    qint64 bytesOnLine = 0;
    for (const QString& line : plan.lines)
        bytesOnLine += line.size() + 2 + 4; // the command with CR LF, and "OK" CR LF back
    const int exchanges = int(plan.lines.size());
    const double lineMs = double(bytesOnLine) * 10.0 / 57600.0 * 1000.0 / exchanges;

    double best = 1e9, total = 0;
    for (int r = 0; r < runs; ++r) {
        net.clearTraffic();
        QElapsedTimer t;
        t.start();
        command.CommsProgramInstrumentClick();
        const double ms = double(t.nsecsElapsed()) / 1e6;
        if (!dialogs.errors.isEmpty() || net.receivedLines().size() != exchanges) {
            std::fprintf(stderr, "run %d failed: %s, %lld lines\n", r, qPrintable(dialogs.errors.join("; ")),
                         qlonglong(net.receivedLines().size()));
            return 1;
        }
        best = std::min(best, ms);
        total += ms;
    }
    const double mean = total / runs;
    std::printf("%d exchanges per run, %d runs: mean %.1f ms a run = %.0f exchanges per second\n", exchanges,
                runs, mean, exchanges / mean * 1000.0);
    std::printf(
        "per exchange: %.3f ms mean, %.3f ms best run (program and simulator; the pty adds no line time)\n",
        mean / exchanges, best / exchanges);
    std::printf(
        "on a real 57600 baud line the bytes of one exchange need %.2f ms; the aim is under 1 ms above "
        "that\n",
        lineMs);
    std::printf("saved records in the instrument: %lld\n", qlonglong(net.savedRecords(0).size()));
    return 0;
}
