// Time of a network scan over a pseudo-terminal on which nothing answers, against the sum of its
// 250 ms time-outs (64 s for 00 to FF). The overhead is what the scan adds to that sum: writes,
// the wake-ups of each wait, and with --form the dialog's repaints of its progress bar.
//
//   build/bin/bench_scan [--form] [last address, hexadecimal; default FF]
#include "CpuTime.h"
#include "Dialogs.h"
#include "SerialPort.h"
#include "SetupCommands.h"
#include "SimNetworkFixture.h"
#include "Sound.h"
#include "Unit4.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QPushButton>

#include <cstdio>
#include <sys/resource.h>

namespace {

// Nothing is shown: the benchmark only counts what would have been.
class CountingDialogs final : public platform::DialogService {
public:
    void error(QWidget*, const QString&) override { ++errors; }
    void information(QWidget*, const QString&) override {}
    std::optional<QString> openFileName(QWidget*, const platform::FileDialogOptions&) override { return {}; }
    std::optional<QString> saveFileName(QWidget*, const platform::FileDialogOptions&) override { return {}; }
    bool printerSetup(QWidget*, QPrinter&) override { return false; }
    platform::SaveChoice askSaveChanges(QWidget*, const QString&) override {
        return platform::SaveChoice::Cancel;
    }
    int errors = 0;
};

} // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    bool viaForm = false;
    QString lastText = QStringLiteral("FF");
    for (int i = 1; i < argc; ++i) {
        const QString a = QString::fromLocal8Bit(argv[i]);
        if (a == QLatin1String("--form"))
            viaForm = true;
        else
            lastText = a.toUpper();
    }
    const int last = setup::addressValue(lastText);
    if (last < 0) {
        std::fprintf(stderr, "last address must be two hexadecimal digits\n");
        return 2;
    }

    SimNetworkFixture net(QList<sim::InstrumentConfig>{}); // a line with nobody on it
    if (!net.ok()) {
        std::fprintf(stderr, "no pseudo-terminal: %s\n", qPrintable(net.error()));
        return 1;
    }
    CountingDialogs dialogs;
    platform::SilentSound sound;
    TForm0 form0(std::make_unique<platform::QtSerialPort>(net.portMap()));
    Services svc{form0, dialogs, sound};
    if (!form0.ApplySettings()) {
        std::fprintf(stderr, "cannot open %s\n", qPrintable(net.slavePath()));
        return 1;
    }

    const double cpuBefore = cpuSeconds();
    QElapsedTimer timer;
    timer.start();
    int found = 0;
    if (viaForm) {
        TForm4 form(svc);
        form.show();
        form.findChild<QLineEdit*>(QStringLiteral("Edit1"))->setText(lastText);
        timer.restart();
        form.Button3Click();
    } else {
        found = int(scanNetwork(form0.Comms, QStringLiteral("#"), last).size());
    }
    const qint64 elapsedMs = timer.elapsed();
    const double cpu = cpuSeconds() - cpuBefore;

    const qint64 timeoutsMs = qint64(last + 1) * kScanTimeoutMs;
    const qint64 overheadMs = elapsedMs - timeoutsMs;
    std::printf("scan 00..%s %s: %d addresses, %d answered\n", qPrintable(lastText),
                viaForm ? "(dialog)" : "(plain)", last + 1, found);
    std::printf("elapsed %lld ms, time-outs %lld ms, overhead %lld ms (%.3f %%), %.1f ms per address\n",
                static_cast<long long>(elapsedMs), static_cast<long long>(timeoutsMs),
                static_cast<long long>(overheadMs), 100.0 * double(overheadMs) / double(timeoutsMs),
                double(overheadMs) / double(last + 1));
    std::printf("CPU %.3f s (%.2f %% of elapsed)\n", cpu, 100.0 * cpu * 1000.0 / double(elapsedMs));
    std::printf("lines received by the line: %lld\n", static_cast<long long>(net.receivedLines().size()));
    return 0;
}
