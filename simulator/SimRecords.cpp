#include "SimRecords.h"

namespace sim {

namespace {

bool isDigit(char c) {
    return c >= '0' && c <= '9';
}

bool isOnOff(const QByteArray& f) {
    const QByteArray u = f.toUpper();
    return u == "ON" || u == "OFF";
}

bool isOneOf(const QByteArray& f, std::initializer_list<const char*> words) {
    const QByteArray u = f.toUpper();
    for (const char* w : words)
        if (u == w)
            return true;
    return false;
}

bool isWholeNumberIn(const QByteArray& f, int low, int high) {
    if (f.isEmpty() || f.size() > 3)
        return false;
    for (char c : f)
        if (!isDigit(c))
            return false;
    const int v = f.toInt();
    return v >= low && v <= high;
}

QByteArray error(const char* what) {
    return QByteArray("ERROR: ") + what;
}

} // namespace

bool isNumber(const QByteArray& text) {
    qsizetype i = 0;
    const qsizetype n = text.size();
    while (i < n && text[i] == ' ')
        ++i;
    if (i < n && (text[i] == '+' || text[i] == '-'))
        ++i;
    if (i >= n)
        return false;
    while (i < n && isDigit(text[i]))
        ++i;
    if (i < n && text[i] == '.') {
        ++i;
        while (i < n && isDigit(text[i]))
            ++i;
    }
    if (i < n && (text[i] == 'E' || text[i] == 'e')) {
        ++i;
        if (i < n && (text[i] == '+' || text[i] == '-'))
            ++i;
        if (i >= n || !isDigit(text[i]))
            return false;
        while (i < n && isDigit(text[i]))
            ++i;
    }
    return i == n;
}

double numberValue(const QByteArray& text) {
    bool ok = false;
    const double v = text.trimmed().toDouble(&ok);
    return ok ? v : 0.0;
}

bool isChannelAddress(const QByteArray& text) {
    if (text.size() != 4)
        return false;
    const char first = text[0];
    if (first < '0' || first > '5' || !isDigit(text[1]) || !isDigit(text[2]))
        return false;
    const int number = (text[1] - '0') * 10 + (text[2] - '0');
    const int highest = first == '0' ? 12 : 14;
    if (number < 1 || number > highest)
        return false;
    return text[3] == 'A' || text[3] == 'B';
}

std::optional<QByteArray> decodeDelimiterCode(const QByteArray& code) {
    if (code.size() != 6 || code[0] != '@' || code[3] != '@')
        return std::nullopt;
    for (int i : {1, 2, 4, 5})
        if (!isDigit(code[i]))
            return std::nullopt;
    const int first = (code[1] - '0') * 10 + (code[2] - '0');
    const int second = (code[4] - '0') * 10 + (code[5] - '0');
    QByteArray out(1, char(first));
    if (second != 0)
        out.append(char(second));
    return out;
}

QList<QByteArray> splitFields(const QByteArray& text) {
    return text.split(',');
}

QByteArray checkChannel(const QList<QByteArray>& f) {
    // Programming cuts the full scale value off, so seven fields are as good as eight.
    if (f.size() < 7)
        return error("Missing fields");
    if (f.size() > 8)
        return error("Too many fields");
    if (!isChannelAddress(f[0].toUpper()))
        return error("Invalid channel address");
    if (!isOnOff(f[1]))
        return error("Invalid channel enable");
    if (!isOnOff(f[2]))
        return error("Invalid zero-scan enable");
    if (!isNumber(f[3]))
        return error("Invalid scaling factor");
    if (!isNumber(f[4]))
        return error("Invalid zero offset");
    if (!isNumber(f[5]))
        return error("Invalid tare point");
    const QByteArray& fmt = f[6];
    if (fmt.size() != 2 || fmt[0] < '0' || fmt[0] > '8' || fmt[1] < '0' || fmt[1] > '8' ||
        (fmt[0] - '0') + (fmt[1] - '0') > 8)
        return error("Invalid data format");
    if (f.size() == 8 && !f[7].isEmpty() && !isNumber(f[7]))
        return error("Invalid full scale value");
    return {};
}

QByteArray checkHysteresis(const QList<QByteArray>& f) {
    if (f.size() != 1)
        return error(f.size() < 1 ? "Missing fields" : "Too many fields");
    if (!isNumber(f[0]))
        return error("Invalid hysteresis");
    return {};
}

QByteArray checkLogSpec(const QList<QByteArray>& f) {
    if (f.size() < 8)
        return error("Missing fields");
    if (f.size() > 8)
        return error("Too many fields");
    if (!isWholeNumberIn(f[0].trimmed(), 1, 8))
        return error("Invalid number of passes");
    if (!isWholeNumberIn(f[1].trimmed(), 0, 99))
        return error("Invalid number of iterations");
    if (!isOnOff(f[2]) || !isOnOff(f[3]) || !isOnOff(f[6]) || !isOnOff(f[7]))
        return error("Invalid on/off field");
    if (!isOneOf(f[4], {"COMM", "MEMORY"}))
        return error("Invalid logging medium");
    if (!isOneOf(f[5], {"ASCII", "HEX", "BIN"}))
        return error("Invalid data logging format");
    return {};
}

QByteArray checkPass(const QList<QByteArray>& f) {
    if (f.size() < 11)
        return error("Missing fields");
    if (f.size() > 11)
        return error("Too many fields");
    if (!isWholeNumberIn(f[0], 1, 8))
        return error("Invalid pass number");
    if (!isNumber(f[1]) || numberValue(f[1]) < 0.01 || numberValue(f[1]) > 59999)
        return error("Invalid interval");
    if (!isNumber(f[2]))
        return error("Invalid function");
    if (!isOneOf(f[3], {"IMM", "BUTTON", "DELAY", "LEVEL", "TIME"}))
        return error("Invalid start condition");
    if (!isOneOf(f[7], {"BUTTON", "DURATION", "BURST", "LEVEL"}))
        return error("Invalid stop condition");
    return {};
}

Channel channelFromFields(const QList<QByteArray>& f) {
    Channel c;
    c.address = f.value(0).toUpper();
    c.enabled = f.value(1).toUpper() == "ON";
    c.scale = numberValue(f.value(3));
    c.offset = numberValue(f.value(4));
    const QByteArray fmt = f.value(6);
    if (fmt.size() == 2) {
        c.leading = fmt[0] - '0';
        c.trailing = fmt[1] - '0';
    }
    if (f.size() > 7 && !f[7].isEmpty())
        c.fullScale = numberValue(f[7]);
    return c;
}

} // namespace sim
