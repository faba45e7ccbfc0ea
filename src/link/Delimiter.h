#pragma once

#include <QString>

// The data separator the instruments put between readings.
struct TDelimiter {
    QString Name = QStringLiteral("Tab");    // display name, at most 10 characters
    QString Code = QStringLiteral("@09@00"); // "@" two digits "@" two digits, at most 6 characters
    quint8 FirstChar = 9;
    quint8 SecondChar = 0;

    friend bool operator==(const TDelimiter&, const TDelimiter&) = default;
};

void SetDelimiter(TDelimiter& out, const QString& name, quint8 first, quint8 second);

// Named forms in any letter case ("tab", "CR/LF", ...) or a code "@ab@cd". Anything else, an empty
// text included, decodes as defaultText.
void DecodeDelimiter(TDelimiter& out, const QString& text, const QString& defaultText);
