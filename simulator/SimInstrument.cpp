#include "SimInstrument.h"

#include "SimRecords.h"

#include <QDateTime>

#include <algorithm>
#include <cmath>
#include <numbers>
#include <vector>

namespace sim {

namespace {

constexpr char CR = 13;
constexpr char LF = 10;
// Longer than any command the program sends; a line past this is noise.
constexpr qsizetype maxLineLength = 512;
// A pulled adapter still lets the bytes already on their way arrive.
constexpr qint64 vanishDelayMs = 50;
// After a stall, readings resume instead of catching up with a burst.
constexpr int maxCatchUp = 10;

const qint32 bauds[] = {600, 1200, 2400, 4800, 9600, 19200, 38400, 57600};

QByteArray ok() {
    return "OK";
}

QByteArray recordKey(const QByteArray& words, const QList<QByteArray>& fields) {
    if (words == "SET CHANNEL")
        return "CHANNEL " + fields.value(0).toUpper();
    if (words == "SET HYSTERESIS" || words == "SET HYSTERISES")
        return "HYSTERESIS";
    if (words == "SET LOGSPEC")
        return "LOGSPEC";
    return "PASS " + QByteArray::number(fields.value(0).toInt());
}

// Error text of a record command, or empty when it is not a record command at all.
std::optional<QByteArray> checkRecord(const QByteArray& words, const QList<QByteArray>& fields) {
    if (words == "SET CHANNEL")
        return checkChannel(fields);
    if (words == "SET HYSTERESIS" || words == "SET HYSTERISES")
        return checkHysteresis(fields);
    if (words == "SET LOGSPEC")
        return checkLogSpec(fields);
    if (words == "SET PASS")
        return checkPass(fields);
    return std::nullopt;
}

} // namespace

void sortByDue(QList<Emission>& emissions) {
    std::vector<qsizetype> order(size_t(emissions.size()));
    for (size_t i = 0; i < order.size(); ++i)
        order[i] = qsizetype(i);
    std::stable_sort(order.begin(), order.end(),
                     [&](qsizetype a, qsizetype b) { return emissions[a].dueMs < emissions[b].dueMs; });
    QList<Emission> sorted;
    sorted.reserve(emissions.size());
    for (qsizetype i : order)
        sorted.append(std::move(emissions[i]));
    emissions = std::move(sorted);
}

SimInstrument::SimInstrument(InstrumentConfig cfg)
    : config(std::move(cfg)), random(config.seed ? config.seed : 1) {
    current.link = config.link;
    current.link.address = current.link.address.toUpper();
    for (const QByteArray& record : config.records) {
        const QByteArray text = record.trimmed();
        const qsizetype comma = text.indexOf(',');
        const QByteArray words = (comma < 0 ? text : text.left(comma)).toUpper();
        const QList<QByteArray> fields = splitFields(comma < 0 ? QByteArray() : text.mid(comma + 1));
        const auto problem = checkRecord(words, fields);
        if (problem && problem->isEmpty())
            current.records.insert(recordKey(words, fields), text);
    }
    saved = current;
}

void SimInstrument::receive(const QByteArray& bytes, qint32 baud, qint64 nowMs) {
    if (hasVanished)
        return;
    if (baud != 0 && baud != current.link.baud) {
        // What a UART makes of a wrong speed is noise and framing errors; the line is lost.
        partial.clear();
        skipToLineEnd = false;
        return;
    }
    for (char c : bytes) {
        if (c != LF) {
            if (skipToLineEnd)
                continue;
            partial.append(c);
            if (partial.size() > maxLineLength) {
                partial.clear();
                skipToLineEnd = true;
            }
            continue;
        }
        const QByteArray line = partial;
        partial.clear();
        if (skipToLineEnd) {
            skipToLineEnd = false;
            continue;
        }
        if (line.endsWith(CR))
            handleLine(line.chopped(1), nowMs);
    }
}

void SimInstrument::handleLine(const QByteArray& line, qint64 nowMs) {
    // Prefix, address, one blank, then the command: anything else is for another instrument.
    if (line.size() < 4 || line[0] != current.link.prefix ||
        line.mid(1, 2).toUpper() != current.link.address || line[3] != ' ')
        return;
    ++commandCount;
    std::optional<LinkSettings> applyAfter;
    bool readings = false;
    QByteArray reply = execute(line.mid(4), nowMs, applyAfter, readings);
    // A line of readings ends with the instrument's terminator, every other answer with CR LF.
    if (!readings)
        reply += "\r\n";
    if (config.faults.silent ||
        (config.faults.silentFromCommand > 0 && commandCount >= config.faults.silentFromCommand)) {
        // A silent instrument has lost its transmitter, not its reason: it still obeys.
        if (applyAfter)
            current.link = *applyAfter;
        return;
    }
    scheduleReply(reply, nowMs, std::move(applyAfter));
}

QByteArray SimInstrument::execute(const QByteArray& commandText, qint64 nowMs,
                                  std::optional<LinkSettings>& applyAfter, bool& readings) {
    const QByteArray command = commandText.trimmed();
    const qsizetype comma = command.indexOf(',');
    const QByteArray words = (comma < 0 ? command : command.left(comma)).trimmed().toUpper();
    const QByteArray rest = comma < 0 ? QByteArray() : command.mid(comma + 1);
    const QList<QByteArray> fields = splitFields(rest);

    if (comma < 0) {
        if (words == "SYS")
            return config.identification;
        if (words == "SAVE") {
            saved = current;
            return ok();
        }
        if (words == "SCAN") {
            const QByteArray line = readingsLine(nowMs);
            readings = !line.isEmpty();
            return readings ? line : QByteArray("ERROR: No channels enabled");
        }
        if (words == "RUN") {
            const bool wasRunning = isRunning;
            const QByteArray first = startRun(nowMs);
            readings = !wasRunning && isRunning;
            return first;
        }
        if (words == "END") {
            isRunning = false;
            return ok();
        }
    }
    if (words == "SET COMMAND PREFIX") {
        if (rest.size() != 1 || uchar(rest[0]) <= ' ' || uchar(rest[0]) == 127)
            return "ERROR: Invalid command prefix";
        current.link.prefix = rest[0];
        return ok();
    }
    if (words == "SET DELIMITERS") {
        if (fields.size() != 2)
            return "ERROR: Invalid delimiters";
        const auto separator = decodeDelimiterCode(fields[0]);
        const auto terminator = decodeDelimiterCode(fields[1]);
        if (!separator || !terminator)
            return "ERROR: Invalid delimiters";
        current.link.separator = *separator;
        current.link.terminator = *terminator;
        return ok();
    }
    if (words == "SET COMMS")
        return setComms(fields, applyAfter);
    if (const auto problem = checkRecord(words, fields)) {
        if (!problem->isEmpty())
            return *problem;
        current.records.insert(recordKey(words, fields), words + ',' + rest);
        return ok();
    }
    return "ERROR: Unknown command";
}

QByteArray SimInstrument::setComms(const QList<QByteArray>& f,
                                   std::optional<LinkSettings>& applyAfter) const {
    if (f.size() != 4)
        return "ERROR: Invalid comms settings";
    const QByteArray address = f[0].toUpper();
    bool hex = address.size() == 2;
    for (char c : address)
        hex = hex && ((c >= '0' && c <= '9') || (c >= 'A' && c <= 'F'));
    if (!hex)
        return "ERROR: Invalid address";
    LinkSettings next = current.link;
    next.address = address;
    if (f[1] == "232")
        next.mode = LineMode::RS232;
    else if (f[1] == "422")
        next.mode = LineMode::RS422;
    else if (f[1] == "485")
        next.mode = LineMode::RS485;
    else
        return "ERROR: Invalid line mode";
    bool numeric = false;
    const int baud = f[2].toInt(&numeric);
    if (!numeric || std::find(std::begin(bauds), std::end(bauds), baud) == std::end(bauds))
        return "ERROR: Invalid baud rate";
    next.baud = baud;
    const QByteArray flag = f[3].toUpper();
    if (flag != "ON" && flag != "OFF")
        return "ERROR: Invalid comms settings";
    next.commsFlag = flag == "ON";
    // The answer still goes out at the old settings; the new ones take over after it.
    applyAfter = next;
    return ok();
}

QByteArray SimInstrument::startRun(qint64 nowMs) {
    if (isRunning)
        return "ERROR: Already running";
    const QByteArray first = readingsLine(nowMs);
    if (first.isEmpty())
        return "ERROR: No channels enabled";
    isRunning = true;
    runStartMs = nowMs;
    nextReadingMs = nowMs + runIntervalMs();
    // The first line of readings is the answer to RUN itself.
    return first;
}

qint64 SimInstrument::runIntervalMs() const {
    const QByteArray pass = current.records.value("PASS 1");
    const QList<QByteArray> fields = splitFields(pass.mid(pass.indexOf(',') + 1));
    const double seconds = pass.isEmpty() ? 1.0 : numberValue(fields.value(1));
    return std::max<qint64>(10, qint64(std::llround(seconds * 1000.0)));
}

void SimInstrument::scheduleReply(const QByteArray& reply, qint64 nowMs,
                                  std::optional<LinkSettings> applyAfter) {
    QByteArray bytes = reply;
    if (config.faults.garbageReplies)
        bytes = garbageLine();
    if (config.faults.emptyReplies)
        bytes = "\r\n";
    if (config.faults.noLineFeed)
        bytes.replace("\n", "");
    const qint64 start = std::max(nowMs + std::max(0, config.faults.replyDelayMs), queueTailMs);

    if (config.faults.vanishOnCommand > 0 && commandCount == config.faults.vanishOnCommand) {
        queue.push_back(
            {start, bytes.left(std::max<qsizetype>(1, bytes.size() / 2)), 0, std::nullopt, false});
        queue.push_back({start + vanishDelayMs, QByteArray(), 0, std::nullopt, true});
        queueTailMs = start + vanishDelayMs;
        return;
    }
    const qsizetype pieces = std::clamp<qsizetype>(config.faults.replyPieces, 1, bytes.size());
    const qsizetype size = (bytes.size() + pieces - 1) / pieces;
    qint64 due = start;
    for (qsizetype at = 0; at < bytes.size(); at += size) {
        queue.push_back({due, bytes.mid(at, size), 0, std::nullopt, false});
        queueTailMs = due;
        due += std::max(0, config.faults.pieceGapMs);
    }
    queue.back().applyAfter = std::move(applyAfter);
}

std::optional<qint64> SimInstrument::nextDueMs() const {
    if (hasVanished)
        return std::nullopt;
    std::optional<qint64> due;
    auto consider = [&due](qint64 t) { due = due ? std::min(*due, t) : t; };
    if (!queue.empty())
        consider(queue.front().dueMs);
    if (isRunning && !config.faults.silent)
        consider(nextReadingMs);
    if (config.faults.unsolicitedEveryMs > 0 && !config.faults.silent)
        consider(nextUnsolicitedMs.value_or(0)); // not armed yet: at once, to arm it
    return due;
}

QList<Emission> SimInstrument::takeDue(qint64 nowMs) {
    QList<Emission> out;
    if (hasVanished)
        return out;
    const Faults& f = config.faults;
    if (f.unsolicitedEveryMs > 0 && !f.silent) {
        if (!nextUnsolicitedMs)
            nextUnsolicitedMs = nowMs + f.unsolicitedEveryMs;
        if (nowMs - *nextUnsolicitedMs > qint64(maxCatchUp) * f.unsolicitedEveryMs)
            nextUnsolicitedMs = nowMs;
        for (; *nextUnsolicitedMs <= nowMs; *nextUnsolicitedMs += f.unsolicitedEveryMs)
            out.append({*nextUnsolicitedMs, f.unsolicitedText + "\r\n", 0, std::nullopt, false});
    } else {
        nextUnsolicitedMs.reset();
    }
    if (isRunning && !f.silent) {
        const qint64 interval = runIntervalMs();
        if (nowMs - nextReadingMs > maxCatchUp * interval)
            nextReadingMs = nowMs;
        for (; nextReadingMs <= nowMs; nextReadingMs += interval)
            out.append({nextReadingMs, readingsLine(nextReadingMs), 0, std::nullopt, false});
    }
    while (!queue.empty() && queue.front().dueMs <= nowMs) {
        out.append(std::move(queue.front()));
        queue.pop_front();
    }
    sortByDue(out);
    for (qsizetype i = 0; i < out.size(); ++i) {
        Emission& e = out[i];
        e.baud = current.link.baud;
        if (e.applyAfter)
            current.link = *e.applyAfter;
        if (e.vanishAfter) {
            hasVanished = true;
            isRunning = false;
            queue.clear();
            out.resize(i + 1);
            break;
        }
    }
    out.removeIf([](const Emission& e) { return e.bytes.isEmpty() && !e.vanishAfter; });
    return out;
}

void SimInstrument::reset() {
    current = saved;
    hasVanished = false; // plugged in again
    partial.clear();
    skipToLineEnd = false;
    queue.clear();
    queueTailMs = 0;
    isRunning = false;
    nextUnsolicitedMs.reset();
}

QByteArray SimInstrument::readingsLine(qint64 nowMs) {
    QList<QByteArray> values;
    const QByteArray logSpec = current.records.value("LOGSPEC");
    const QList<QByteArray> fields = splitFields(logSpec.mid(logSpec.indexOf(',') + 1));
    if (fields.value(2).toUpper() == "ON")
        values << QDateTime::currentDateTime().toString("dd/MM/yy hh:mm:ss").toLatin1();
    if (fields.value(3).toUpper() == "ON")
        values << QByteArray::number(double(isRunning ? nowMs - runStartMs : 0) / 1000.0, 'f', 2);
    const qsizetype fixedFields = values.size();

    int index = 0;
    for (auto it = current.records.cbegin(); it != current.records.cend(); ++it) {
        if (!it.key().startsWith("CHANNEL "))
            continue;
        const QByteArray& record = it.value();
        const Channel channel = channelFromFields(splitFields(record.mid(record.indexOf(',') + 1)));
        ++index;
        if (!channel.enabled)
            continue;
        // A slow swing per channel with a little noise: plausible, varying and repeatable.
        const double span = channel.fullScale && *channel.fullScale > 0
                                ? *channel.fullScale
                                : std::min(100.0, std::pow(10.0, channel.leading) - 1.0);
        const double phase = double(index) * 1.7 + double(config.seed % 97);
        const double period = 20000.0 + 7000.0 * index;
        const double noise = double(nextRandom() % 1000) / 1000.0 - 0.5;
        const double raw =
            span *
            (0.5 + 0.3 * std::sin(2.0 * std::numbers::pi * double(nowMs) / period + phase) + 0.02 * noise);
        double value = channel.offset + channel.scale * raw;
        const double limit = std::pow(10.0, channel.leading) - std::pow(10.0, -channel.trailing);
        value = std::clamp(value, -limit, limit);
        values << QByteArray::number(value, 'f', channel.trailing);
    }
    if (values.size() == fixedFields)
        return {};
    return values.join(current.link.separator) + current.link.terminator;
}

quint32 SimInstrument::nextRandom() {
    random = random * 1664525u + 1013904223u;
    return random >> 8;
}

QByteArray SimInstrument::garbageLine() {
    QByteArray noise;
    const int length = 8 + int(nextRandom() % 17);
    while (noise.size() < length) {
        const char c = char(nextRandom() & 0xFF);
        if (c != CR && c != LF)
            noise.append(c);
    }
    return noise + "\r\n";
}

} // namespace sim
