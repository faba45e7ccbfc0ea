#include "SimOptions.h"

#include "SimPtyServer.h"
#include "SimRecords.h"

namespace sim {

namespace {

bool toInt(const QString& text, int low, int high, int& out) {
    bool ok = false;
    const int v = text.toInt(&ok);
    if (!ok || v < low || v > high)
        return false;
    out = v;
    return true;
}

} // namespace

QString applyInstrumentOption(InstrumentConfig& c, const QString& rawKey, const QString& value) {
    const QString key = rawKey.trimmed().toLower();
    const QByteArray latin = value.toLatin1();
    auto number = [&](int low, int high, int& out) {
        return toInt(value, low, high, out) ? QString()
                                            : QStringLiteral("%1 needs a number from %2 to %3, not \"%4\"")
                                                  .arg(key)
                                                  .arg(low)
                                                  .arg(high)
                                                  .arg(value);
    };
    if (key == "address") {
        const QByteArray a = latin.toUpper();
        bool hex = a.size() == 2;
        for (char ch : a)
            hex = hex && ((ch >= '0' && ch <= '9') || (ch >= 'A' && ch <= 'F'));
        if (!hex)
            return QStringLiteral("address must be two hexadecimal digits, not \"%1\"").arg(value);
        c.link.address = a;
    } else if (key == "id") {
        if (latin.contains('\r') || latin.contains('\n'))
            return QStringLiteral("id must be one line");
        c.identification = latin;
    } else if (key == "prefix") {
        if (latin.size() != 1 || uchar(latin[0]) <= ' ')
            return QStringLiteral("prefix must be one visible character, not \"%1\"").arg(value);
        c.link.prefix = latin[0];
    } else if (key == "mode") {
        const QString m = value.toUpper().remove(QStringLiteral("RS"));
        if (m == "232")
            c.link.mode = LineMode::RS232;
        else if (m == "422")
            c.link.mode = LineMode::RS422;
        else if (m == "485")
            c.link.mode = LineMode::RS485;
        else
            return QStringLiteral("mode must be 232, 422 or 485, not \"%1\"").arg(value);
    } else if (key == "baud") {
        const QStringList bauds = {"600", "1200", "2400", "4800", "9600", "19200", "38400", "57600"};
        if (!bauds.contains(value.trimmed()))
            return QStringLiteral("baud must be one of %1, not \"%2\"").arg(bauds.join(' '), value);
        c.link.baud = value.trimmed().toInt();
    } else if (key == "separator") {
        const auto bytes = decodeDelimiterCode(latin);
        if (!bytes)
            return QStringLiteral("separator must be a code @dd@dd, not \"%1\"").arg(value);
        c.link.separator = *bytes;
    } else if (key == "record") {
        c.records.append(latin.trimmed());
    } else if (key == "seed") {
        int seed = 0;
        if (QString e = number(1, 1 << 30, seed); !e.isEmpty())
            return e;
        c.seed = quint32(seed);
    } else if (key == "silent") {
        c.faults.silent = true;
    } else if (key == "silent-from") {
        return number(1, 1000000, c.faults.silentFromCommand);
    } else if (key == "nolf") {
        c.faults.noLineFeed = true;
    } else if (key == "empty") {
        c.faults.emptyReplies = true;
    } else if (key == "garbage") {
        c.faults.garbageReplies = true;
    } else if (key == "delay") {
        return number(0, 600000, c.faults.replyDelayMs);
    } else if (key == "pieces") {
        return number(1, 1000, c.faults.replyPieces);
    } else if (key == "gap") {
        return number(0, 600000, c.faults.pieceGapMs);
    } else if (key == "unsolicited") {
        return number(10, 3600000, c.faults.unsolicitedEveryMs);
    } else if (key == "unsolicited-text") {
        c.faults.unsolicitedText = latin;
    } else if (key == "vanish") {
        return number(1, 1000000, c.faults.vanishOnCommand);
    } else {
        return QStringLiteral("unknown instrument option \"%1\"").arg(rawKey);
    }
    return {};
}

bool parseInstrumentDescription(const QString& description, InstrumentConfig& config, QString* error) {
    InstrumentConfig c = config;
    for (const QString& item : description.split(';', Qt::SkipEmptyParts)) {
        const qsizetype eq = item.indexOf('=');
        const QString key = eq < 0 ? item : item.left(eq);
        const QString value = eq < 0 ? QString() : item.mid(eq + 1);
        if (key.trimmed().isEmpty())
            continue;
        const QString problem = applyInstrumentOption(c, key, value);
        if (!problem.isEmpty()) {
            if (error)
                *error = problem;
            return false;
        }
    }
    config = c;
    return true;
}

QList<InstrumentConfig> demoInstruments() {
    InstrumentConfig factoryNew;

    InstrumentConfig configured;
    configured.identification = "917 Version 1.02";
    configured.link.address = "05";
    configured.seed = 7;
    configured.records = {
        "SET CHANNEL,001A,ON,OFF,1,0,0,23,100",
        "SET CHANNEL,001B,ON,OFF,2.5,-10,0,32,",
        "SET CHANNEL,002A,ON,OFF,0.01,0,0,14,",
        "SET CHANNEL,002B,OFF,OFF,1,0,0,23,",
        "SET HYSTERESIS,0.5",
        "SET LOGSPEC,1,1,OFF,ON,COMM,ASCII,ON,OFF",
        "SET PASS,1,2,0,IMM,,,,BURST,100,,",
    };
    return {factoryNew, configured};
}

std::unique_ptr<SimPtyServer> startDemoServer(QString* error) {
    auto server = std::make_unique<SimPtyServer>(std::make_unique<SimNetwork>(demoInstruments()));
    if (!server->start(error))
        return nullptr;
    return server;
}

} // namespace sim
