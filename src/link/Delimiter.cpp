#include "Delimiter.h"

#include <array>

namespace {

struct Named {
    const char* accepted;
    const char* name;
    quint8 first;
    quint8 second;
};

constexpr std::array<Named, 8> kNamed{{
    {"NULL", "Null", 0, 0},
    {"TAB", "Tab", 9, 0},
    {"CR", "CR", 13, 0},
    {"LF", "LF", 10, 0},
    {"CR/LF", "CR/LF", 13, 10},
    {"SPACE", "Space", 32, 0},
    {"COMMA", "Comma", 44, 0},
    {"SEMI-COLON", "Semi-Colon", 59, 0},
}};

// ASCII letters only, as the instruments' codes are ASCII.
QString asciiUpper(const QString& s) {
    QString out = s;
    for (QChar& c : out)
        if (c >= QLatin1Char('a') && c <= QLatin1Char('z'))
            c = QChar(c.unicode() - 32);
    return out;
}

int hexValue(QChar c) {
    if (c >= QLatin1Char('0') && c <= QLatin1Char('9'))
        return c.unicode() - '0';
    if (c >= QLatin1Char('A') && c <= QLatin1Char('F'))
        return c.unicode() - 'A' + 10;
    return -1;
}

bool isCode(const QString& s) {
    return s.size() == 6 && s[0] == QLatin1Char('@') && s[3] == QLatin1Char('@') && hexValue(s[1]) >= 0 &&
           hexValue(s[2]) >= 0 && hexValue(s[4]) >= 0 && hexValue(s[5]) >= 0;
}

const Named* findNamed(const QString& s) {
    for (const Named& n : kNamed)
        if (s == QLatin1String(n.accepted))
            return &n;
    return nullptr;
}

} // namespace

void SetDelimiter(TDelimiter& out, const QString& name, quint8 first, quint8 second) {
    out.Name = name.left(10);
    out.FirstChar = first;
    out.SecondChar = second;
    const auto twoDigits = [](int v) { return QString::number(v).rightJustified(2, QLatin1Char('0')); };
    out.Code = (QLatin1Char('@') + twoDigits(first) + QLatin1Char('@') + twoDigits(second)).left(6);
}

void DecodeDelimiter(TDelimiter& out, const QString& text, const QString& defaultText) {
    const QString fallback = asciiUpper(defaultText);
    QString s = asciiUpper(text);
    if (s.isEmpty())
        s = fallback;
    if (s.startsWith(QLatin1Char('@')) && !isCode(s))
        s = fallback;
    if (const Named* n = findNamed(s)) {
        SetDelimiter(out, QString::fromLatin1(n->name), n->first, n->second);
        return;
    }
    if (!isCode(s)) {
        // Neither a name nor a code (a hand-edited file): the default, which is always a name.
        const Named* d = findNamed(fallback);
        if (!d)
            d = &kNamed[1];
        SetDelimiter(out, QString::fromLatin1(d->name), d->first, d->second);
        return;
    }
    const int first = 10 * hexValue(s[1]) + hexValue(s[2]);
    const int second = 10 * hexValue(s[4]) + hexValue(s[5]);
    SetDelimiter(out, s, quint8(first), quint8(second));
}
