// The data separator notation against its rules: the eight names in any letter case, the code form
// "@ab@cd" weighted in tens (letters A-F count 10-15), everything else the default; the code text is
// rebuilt from the two values and cut to 6 characters; every name decoded decodes again to itself.

#include "Delimiter.h"
#include "FuzzCheck.h"

namespace {

struct Want {
    QByteArray name;
    QByteArray code;
    int first;
    int second;
};

QByteArray twoDigits(int v) {
    return v < 10 ? "0" + QByteArray::number(v) : QByteArray::number(v);
}

Want set(const QByteArray& name, int first, int second) {
    return {name.left(10), ("@" + twoDigits(first) + "@" + twoDigits(second)).left(6), first, second};
}

int value(char c) {
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

Want decode(const QByteArray& text) {
    static const struct {
        const char* accepted;
        const char* name;
        int first, second;
    } named[] = {{"NULL", "Null", 0, 0},     {"TAB", "Tab", 9, 0},
                 {"CR", "CR", 13, 0},        {"LF", "LF", 10, 0},
                 {"CR/LF", "CR/LF", 13, 10}, {"SPACE", "Space", 32, 0},
                 {"COMMA", "Comma", 44, 0},  {"SEMI-COLON", "Semi-Colon", 59, 0}};
    QByteArray s = text;
    for (char& c : s)
        if (c >= 'a' && c <= 'z')
            c = char(c - 32);
    const bool code = s.size() == 6 && s[0] == '@' && s[3] == '@' && value(s[1]) >= 0 && value(s[2]) >= 0 &&
                      value(s[4]) >= 0 && value(s[5]) >= 0;
    if (s.isEmpty() || (s.startsWith('@') && !code))
        s = "TAB";
    for (const auto& n : named)
        if (s == n.accepted)
            return set(n.name, n.first, n.second);
    if (code)
        return set(s, 10 * value(s[1]) + value(s[2]), 10 * value(s[4]) + value(s[5]));
    return set("Tab", 9, 0); // neither a name nor a code: the default
}

void compare(const TDelimiter& got, const Want& want, const char* what) {
    fuzz::expectEqual(got.Name, want.name, what);
    fuzz::expectEqual(got.Code, want.code, what);
    fuzz::expect(got.FirstChar == want.first && got.SecondChar == want.second, what);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QByteArray input(reinterpret_cast<const char*>(data), qsizetype(size));
    const QString text = QString::fromLatin1(input);

    TDelimiter d;
    DecodeDelimiter(d, text, QStringLiteral("Tab"));
    compare(d, decode(input), "decoded");
    TDelimiter again;
    DecodeDelimiter(again, d.Name, QStringLiteral("Tab"));
    fuzz::expect(again == d, "a decoded name decodes to the same separator");

    if (size >= 2) {
        TDelimiter s;
        SetDelimiter(s, text.mid(2), data[0], data[1]);
        compare(s, set(input.mid(2), data[0], data[1]), "set");
    }
    return 0;
}
