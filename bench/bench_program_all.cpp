// Programming a network of 32 simulated instruments in one run, each with 16 channel records, the
// hysteresis and LOGSPEC records and 4 logging stages (23 exchanges with SAVE, 736 in a run), at 57600
// baud over a pseudo-terminal, with the transcript kept as every run keeps it. A pseudo-terminal adds
// no line time, so each simulated instrument answers 7 ms late, about what the bytes of one exchange
// need on a real 57600 baud line: the run then takes as long as on one, and the program's own CPU time
// (its thread only; the simulator serves from another) is set against that wall time.
//
// --dialog runs through the Program All dialog (offscreen), its table and progress bar shown as they
// go; --unpaced lets the instruments answer at once (the program's time per exchange alone).
//
//   QT_QPA_PLATFORM=offscreen build/bin/bench_program_all [runs] [--dialog] [--unpaced]
#include "ConfigTree.h"
#include "FakeCommandParts.h"
#include "FakeDialogs.h"
#include "Positional.h"
#include "ProgramAllDialog.h"
#include "ProgramReports.h"
#include "ProgramRun.h"
#include "ProgramTranscript.h"
#include "Records.h"
#include "SerialPort.h"
#include "SimNetworkFixture.h"
#include "Sound.h"
#include "Unit0.h"

#include <QApplication>
#include <QElapsedTimer>

#include <sys/resource.h>

#include <algorithm>
#include <cstdio>
#include <vector>

namespace {

constexpr int kInstruments = 32;

double threadCpuMs() {
    rusage u{};
    getrusage(RUSAGE_THREAD, &u);
    return double(u.ru_utime.tv_sec + u.ru_stime.tv_sec) * 1e3 +
           double(u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e3;
}

double median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

} // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    const QStringList args = app.arguments();
    const bool throughDialog = args.contains("--dialog");
    const bool paced = !args.contains("--unpaced");
    const int runs = argc > 1 && atoi(argv[1]) > 0 ? atoi(argv[1]) : 7;
    QList<sim::InstrumentConfig> instruments;
    for (int n = 1; n <= kInstruments; ++n) {
        instruments.append(SimNetworkFixture::instrument(QByteArray::number(n).rightJustified(2, '0'),
                                                         "917 Version 1.01", 57600));
        instruments.last().faults.replyDelayMs = paced ? 7 : 0;
    }
    SimNetworkFixture net(instruments);
    if (!net.ok()) {
        std::fprintf(stderr, "no simulator: %s\n", qPrintable(net.error()));
        return 1;
    }
    TForm0 form0(std::make_unique<platform::QtSerialPort>(net.portMap()));
    form0.Settings.HostComSpeed = 7;
    form0.ApplySettings();
    ConfigTree tree;
    tree.resetToStartup();
    for (int n = 1; n <= kInstruments; ++n) {
        const QString address = QString::number(n).rightJustified(2, '0');
        ConfigNode* node = tree.appendRoot(positional::instrumentNodeText(address, "917 Version 1.01"));
        ConfigNode* channels = tree.appendChild(node, "Channel Configuration");
        ConfigNode* logging = tree.appendChild(node, "Data Logging Parameters");
        QString a = records::kFirstChannel;
        for (int c = 0; c < 16; ++c, a = records::nextChannelAddress(a))
            tree.appendChild(channels, QString("SET CHANNEL,%1,ON,OFF,1.5,0,0,23,100").arg(a));
        tree.appendChild(logging, "SET HYSTERESIS,0.5");
        tree.appendChild(logging, "SET LOGSPEC,1,1,OFF,OFF,COMM,ASCII,ON,OFF");
        for (int pass = 1; pass <= 4; ++pass)
            tree.appendChild(logging, QString("SET PASS,%1,1,0,IMM,,,,BURST,1,,").arg(pass));
    }
    const QList<ProgramTarget> targets = programTargets(tree, "#");
    qint64 bytesOnLine = 0;
    int exchanges = 0;
    for (const ProgramTarget& t : targets)
        for (const QString& line : t.plan.lines) {
            bytesOnLine += line.size() + 2 + 4; // the command with CR LF, and "OK" CR LF back
            ++exchanges;
        }
    // 10 bits a byte: start, 8 data, stop.
    const double lineMs = double(bytesOnLine) * 10.0 / 57600.0 * 1000.0;

    FakeDialogs dialogs;
    platform::SilentSound sound;
    Services svc{form0, dialogs, sound};
    NoStatus status;
    ProgramReports reports(svc, nullptr);
    ProgramAllDialog dialog(svc, tree, status, reports);
    if (throughDialog) {
        dialog.show();
        QCoreApplication::processEvents();
    }

    std::vector<double> cpu, wall;
    for (int r = 0; r < runs; ++r) {
        net.clearTraffic();
        ProgramRun plain(form0.Comms, targets);
        ProgramTranscript transcript(form0.Comms.linkClock());
        transcript.start(programReportHeader(tree, form0.Settings, form0.Comms.state()));
        QElapsedTimer t;
        t.start();
        const double cpu0 = threadCpuMs();
        if (throughDialog)
            dialog.StartClick();
        else
            plain.run({}, &transcript);
        const double cpuMs = threadCpuMs() - cpu0;
        const double wallMs = double(t.nsecsElapsed()) / 1e6;
        const ProgramRun& run = throughDialog ? *dialog.run() : plain;
        if (!run.allSaved() || net.receivedLines().size() != exchanges) {
            std::fprintf(stderr, "run %d failed: %s\n", r, qPrintable(run.summary()));
            return 1;
        }
        cpu.push_back(cpuMs);
        wall.push_back(wallMs);
    }
    const auto [cpuLow, cpuHigh] = std::minmax_element(cpu.begin(), cpu.end());
    std::printf("%s, %s: %d instruments, %d exchanges a run, %d runs (medians, range in brackets)\n",
                throughDialog ? "through the Program All dialog" : "the plain run",
                paced ? "replies 7 ms late as on a real line" : "replies at once", kInstruments, exchanges,
                runs);
    std::printf("program's own CPU: %.1f ms a run (%.1f-%.1f) = %.3f ms an exchange\n", median(cpu), *cpuLow,
                *cpuHigh, median(cpu) / exchanges);
    std::printf("wall time: %.0f ms a run (%.3f ms an exchange)\n", median(wall), median(wall) / exchanges);
    std::printf("the same bytes on a real 57600 baud line: %.0f ms a run (%.2f ms an exchange)\n", lineMs,
                lineMs / exchanges);
    std::printf(
        "program's share of the run's wall time: %.2f %%; of a run on a real line: %.2f %% (aim: under 2 "
        "%%)\n",
        median(cpu) / median(wall) * 100.0, median(cpu) / std::max(lineMs, median(wall)) * 100.0);
    return 0;
}
