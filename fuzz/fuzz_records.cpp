// The record syntax against its rules: taking a line apart field by field, the number syntax, the
// data format and channel address checks, the address sequence, and each record kind read and written
// back with the on/off and choice fields interpreted and every other field kept as it stands.

#include "FuzzCheck.h"
#include "Records.h"

#include <vector>

using namespace records;

namespace {

QByteArray upper(QByteArray s) {
    for (char& c : s)
        if (c >= 'a' && c <= 'z')
            c = char(c - 32);
    return s;
}

bool digit(char c) {
    return c >= '0' && c <= '9';
}

// The fields after the command words: split at every comma; nothing at all gives no field.
std::vector<QByteArray> fields(const QByteArray& line) {
    const qsizetype comma = line.indexOf(',');
    const QByteArray rest = comma < 0 ? line : line.mid(comma + 1);
    std::vector<QByteArray> out;
    if (rest.isEmpty())
        return out;
    for (const QByteArray& f : rest.split(','))
        out.push_back(f);
    // A trailing comma leaves an empty line, which gives no further field.
    if (rest.endsWith(','))
        out.pop_back();
    return out;
}

QByteArray field(const std::vector<QByteArray>& f, size_t i) {
    return i < f.size() ? f[i] : QByteArray();
}

// Blanks, a sign, digits with an optional point and digits (a digit somewhere: the instrument cannot
// read a point alone), an optional exponent with at least one digit, nothing after.
bool number(const QByteArray& s) {
    qsizetype i = 0;
    while (i < s.size() && s[i] == ' ')
        ++i;
    if (i < s.size() && (s[i] == '+' || s[i] == '-'))
        ++i;
    bool any = false;
    while (i < s.size() && digit(s[i]))
        ++i, any = true;
    if (i < s.size() && s[i] == '.')
        for (++i; i < s.size() && digit(s[i]); ++i)
            any = true;
    if (!any)
        return false;
    if (i < s.size() && (s[i] == 'e' || s[i] == 'E')) {
        ++i;
        if (i < s.size() && (s[i] == '+' || s[i] == '-'))
            ++i;
        const qsizetype start = i;
        while (i < s.size() && digit(s[i]))
            ++i;
        if (i == start)
            return false;
    }
    return i == s.size();
}

bool dataFormat(const QByteArray& s) {
    return s.size() == 2 && s[0] >= '0' && s[0] <= '8' && s[1] >= '0' && s[1] <= '8' &&
           (s[0] - '0') + (s[1] - '0') <= 8;
}

// The middle two characters are plain digits, as the sequence writes them, so one channel has one name.
bool address(const QByteArray& s) {
    if (s.size() != 4 || s[0] < '0' || s[0] > '5' || (s[3] != 'A' && s[3] != 'B') || !digit(s[1]) ||
        !digit(s[2]))
        return false;
    const int n = (s[1] - '0') * 10 + (s[2] - '0');
    return n >= 1 && n <= (s[0] == '0' ? 12 : 14);
}

QByteArray next(const QByteArray& a) {
    if (!address(a) || a == "514B")
        return a;
    if (a[3] == 'A')
        return a.left(3) + "B";
    int lead = a[0] - '0';
    int n = (a[1] - '0') * 10 + (a[2] - '0') + 1;
    if (n > (lead == 0 ? 12 : 14))
        ++lead, n = 1;
    return QByteArray::number(lead) + (n < 10 ? "0" : "") + QByteArray::number(n) + "A";
}

QByteArray onOff(const QByteArray& f) {
    return f == "ON" ? "ON" : "OFF";
}

QByteArray choice(const QByteArray& f, std::initializer_list<const char*> words) {
    for (const char* w : words)
        if (upper(f) == w)
            return w;
    return *words.begin();
}

bool ascii(const QByteArray& s) {
    for (char c : s)
        if (uchar(c) >= 0x80)
            return false;
    return true;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QByteArray line(reinterpret_cast<const char*>(data), qsizetype(size));
    const QString text = QString::fromLatin1(line);
    const std::vector<QByteArray> f = fields(line);

    QString rest = text;
    DeleteCommand(rest);
    fuzz::expectEqual(rest, line.contains(',') ? line.mid(line.indexOf(',') + 1) : line, "DeleteCommand");
    for (const QByteArray& want : f)
        fuzz::expectEqual(ExtractParameter(rest), want, "ExtractParameter");
    fuzz::expect(rest.isEmpty(), "every field taken");
    fuzz::expectEqual(ExtractParameter(rest), QByteArray(), "an empty line gives an empty field");

    fuzz::expect(isNumber(text) == number(line), "number syntax");
    fuzz::expect(isValidDataFormat(text) == dataFormat(line), "data format");
    fuzz::expect(isValidChannelAddress(text) == address(line), "channel address");
    QString typed = text;
    fuzz::expect(CheckChannel(typed) == address(upper(line)), "channel address as typed");
    if (ascii(line))
        fuzz::expectEqual(typed, upper(line), "channel address upper-cased in the box");
    fuzz::expectEqual(nextChannelAddress(text), next(line.left(4)), "next channel address");

    const QByteArray channel = "SET CHANNEL," + field(f, 0) + "," + onOff(field(f, 1)) + "," +
                               onOff(field(f, 2)) + "," + field(f, 3) + "," + field(f, 4) + "," +
                               (onOff(field(f, 2)) == "ON" && !field(f, 5).isEmpty() ? field(f, 5) : "0") +
                               "," + field(f, 6) + "," + (onOff(field(f, 1)) == "ON" ? field(f, 7) : "");
    fuzz::expectEqual(writeChannelRecord(readChannelRecord(text)), channel, "channel record");

    fuzz::expectEqual(readHysteresisRecord(text), field(f, 0), "hysteresis read");
    if (ascii(line))
        fuzz::expectEqual(writeHysteresisRecord(text), "SET HYSTERESIS," + upper(line), "hysteresis written");

    const QByteArray logSpec = "SET LOGSPEC," + field(f, 0) + "," + field(f, 1) + "," + onOff(field(f, 2)) +
                               "," + onOff(field(f, 3)) + "," + choice(field(f, 4), {"COMM", "MEMORY"}) +
                               "," + choice(field(f, 5), {"ASCII", "HEX", "BIN"}) + "," + onOff(field(f, 6)) +
                               "," + onOff(field(f, 7));
    fuzz::expectEqual(writeLogSpecRecord(readLogSpecRecord(text)), logSpec, "LOGSPEC record");

    QByteArray pass = "SET PASS,";
    for (size_t i = 0; i < 11; ++i) {
        if (i == 3)
            pass += choice(field(f, i), {"IMM", "BUTTON", "DELAY", "LEVEL", "TIME"});
        else if (i == 7)
            pass += choice(field(f, i), {"BUTTON", "DURATION", "BURST", "LEVEL"});
        else
            pass += field(f, i);
        if (i < 10)
            pass += ",";
    }
    fuzz::expectEqual(writePassRecord(readPassRecord(text)), pass, "logging stage record");
    return 0;
}
