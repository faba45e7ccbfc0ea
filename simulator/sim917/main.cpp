// sim917: simulated model 917 instruments on a pseudo-terminal. Prints the device path for the
// program to open as its serial port and serves until SIGINT or SIGTERM; SIGHUP power-cycles every
// instrument, so unsaved settings are lost.

#include "CommandLine.h"
#include "SimOptions.h"
#include "SimPtyServer.h"
#include "V917Version.h"

#include <QCommandLineParser>
#include <QCoreApplication>

#include <csignal>
#include <cstdio>
#include <ctime>

namespace {

QByteArray printable(const QByteArray& bytes) {
    QByteArray out;
    for (char c : bytes) {
        const uchar u = uchar(c);
        if (c == '\r')
            out += "<CR>";
        else if (c == '\n')
            out += "<LF>";
        else if (u < 32 || u >= 127)
            out += "\\x" + QByteArray::number(u, 16).rightJustified(2, '0');
        else
            out += c;
    }
    return out;
}

void printTraffic(const QList<sim::TrafficEntry>& entries) {
    for (const sim::TrafficEntry& e : entries)
        std::fprintf(stderr, "%10lld ms %s %6d baud%s %s\n", static_cast<long long>(e.timeMs),
                     e.direction == sim::TrafficEntry::In ? "->" : "<-", int(e.baud),
                     e.garbled ? " garbled" : "", printable(e.bytes).constData());
}

int fail(const QString& message) {
    std::fprintf(stderr, "sim917: %s\n", qPrintable(message));
    return 2;
}

} // namespace

int main(int argc, char* argv[]) {
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("sim917"));
    QCoreApplication::setApplicationVersion(QStringLiteral(V917_VERSION));

    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral(
        "Simulated model 917 instruments on a pseudo-terminal. Without options: one factory-new\n"
        "instrument at address 00, prefix #, RS232, 9600 baud.\n"
        "The single-instrument options describe the first instrument; each --instrument adds one.\n"
        "Description items, separated by ';': address=HH id=TEXT prefix=C mode=232|422|485\n"
        "baud=N separator=@dd@dd record=SET... seed=N, and the faults silent silent-from=N delay=MS\n"
        "nolf empty garbage pieces=N gap=MS unsolicited=MS unsolicited-text=TEXT vanish=N."));
    const QCommandLineOption address("address", "Address of the first instrument (default 00).", "HH");
    const QCommandLineOption id("id", "Identification the first instrument answers to SYS.", "text");
    const QCommandLineOption prefix("prefix", "Command prefix of the first instrument (default #).", "char");
    const QCommandLineOption mode("mode", "Line mode of the first instrument: 232, 422 or 485.", "mode");
    const QCommandLineOption baud("baud", "Baud rate of the first instrument (default 9600).", "baud");
    const QCommandLineOption fault("fault", "A fault of the first instrument, e.g. silent or delay=500.",
                                   "fault");
    const QCommandLineOption record("record", "A saved record of the first instrument.", "record");
    const QCommandLineOption instrument("instrument", "Another instrument, described as above.",
                                        "description");
    const QCommandLineOption link("link", "Place a symbolic link to the device here.", "path");
    const QCommandLineOption trace("trace", "Print every byte in and out on standard error.");
    parser.addOptions({address, id, prefix, mode, baud, fault, record, instrument, link, trace});
    if (const cli::Outcome o = cli::read(parser, QCoreApplication::arguments(), 0, false); o.exit) {
        cli::print(o);
        return o.exitCode;
    }

    QList<sim::InstrumentConfig> configs;
    const bool firstDescribed = parser.isSet(address) || parser.isSet(id) || parser.isSet(prefix) ||
                                parser.isSet(mode) || parser.isSet(baud) || parser.isSet(fault) ||
                                parser.isSet(record);
    if (firstDescribed || !parser.isSet(instrument)) {
        sim::InstrumentConfig first;
        const std::pair<const QCommandLineOption*, const char*> simple[] = {
            {&address, "address"}, {&id, "id"}, {&prefix, "prefix"}, {&mode, "mode"}, {&baud, "baud"}};
        for (const auto& [option, key] : simple)
            if (parser.isSet(*option))
                if (const QString e = sim::applyInstrumentOption(first, key, parser.value(*option));
                    !e.isEmpty())
                    return fail(e);
        for (const QString& r : parser.values(record))
            first.records.append(r.toLatin1());
        for (const QString& f : parser.values(fault)) {
            QString e;
            if (!sim::parseInstrumentDescription(f, first, &e) || f.contains(';'))
                return fail(e.isEmpty() ? QStringLiteral("one fault per --fault") : e);
        }
        configs.append(first);
    }
    for (const QString& description : parser.values(instrument)) {
        sim::InstrumentConfig c;
        c.seed = quint32(configs.size() + 1);
        QString e;
        if (!sim::parseInstrumentDescription(description, c, &e))
            return fail(e);
        configs.append(c);
    }

    // Signals are taken by this thread alone, so the server thread must start with them blocked.
    sigset_t stopSignals;
    sigemptyset(&stopSignals);
    sigaddset(&stopSignals, SIGINT);
    sigaddset(&stopSignals, SIGTERM);
    sigaddset(&stopSignals, SIGHUP);
    pthread_sigmask(SIG_BLOCK, &stopSignals, nullptr);

    sim::SimPtyServer server(std::make_unique<sim::SimNetwork>(configs));
    QString error;
    if (!server.start(&error))
        return fail(error);
    if (parser.isSet(link) && !server.setLink(parser.value(link), &error))
        return fail(error);
    std::printf("%s\n", qPrintable(server.slavePath()));
    std::fflush(stdout);

    const bool tracing = parser.isSet(trace);
    for (;;) {
        const timespec tick{0, 200'000'000};
        const int sig = sigtimedwait(&stopSignals, nullptr, &tick);
        if (tracing) {
            printTraffic(server.withNetwork([](sim::SimNetwork& n) {
                const QList<sim::TrafficEntry> entries = n.traffic();
                n.clearTraffic();
                return entries;
            }));
        }
        if (sig == SIGINT || sig == SIGTERM)
            break;
        if (sig == SIGHUP)
            server.withNetwork([](sim::SimNetwork& n) { n.resetAll(); });
        if (server.vanished()) {
            std::fprintf(stderr, "sim917: the device has gone away\n");
            break;
        }
    }
    server.stop();
    return 0;
}
