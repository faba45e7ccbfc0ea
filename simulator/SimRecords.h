#pragma once

#include <QByteArray>
#include <QList>

#include <optional>

namespace sim {

// The instrument's own reading of the command records it is sent. It is stricter than the program's
// wizard about the logging stage fields, because the wizard stores those as typed.

// Optional leading blanks, optional sign, digits with an optional point, optional exponent.
bool isNumber(const QByteArray& text);
// The value of a text that isNumber accepts; 0 where it holds no digits ("." or "+").
double numberValue(const QByteArray& text);
// "001A" .. "514B": a digit 0-5, 01-14 (01-12 after 0), A or B.
bool isChannelAddress(const QByteArray& text);
// "@dd@dd", decimal; the second character 00 means none. Returns the one or two bytes.
std::optional<QByteArray> decodeDelimiterCode(const QByteArray& code);

// A channel record as the instrument uses it to make readings.
struct Channel {
    QByteArray address;
    bool enabled = false;
    double scale = 1;
    double offset = 0;
    int leading = 2;  // digits before the point
    int trailing = 3; // digits after it
    std::optional<double> fullScale;
};

// Fields after the command words, split at every comma ("A,,B" gives three, the middle empty).
QList<QByteArray> splitFields(const QByteArray& text);

// Checks one record command: the command words already removed, `fields` the rest. Returns the
// instrument's error text, or an empty text when the record is acceptable.
QByteArray checkChannel(const QList<QByteArray>& fields);
QByteArray checkHysteresis(const QList<QByteArray>& fields);
QByteArray checkLogSpec(const QList<QByteArray>& fields);
QByteArray checkPass(const QList<QByteArray>& fields);

// Channel from the fields of an accepted channel record.
Channel channelFromFields(const QList<QByteArray>& fields);

} // namespace sim
