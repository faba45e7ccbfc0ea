#pragma once

#include <QString>
#include <QStringList>

#include <array>
#include <optional>

// The instrument command lines that the wizard edits. A record is stored, saved and sent exactly as
// it stands: readers and writers keep every field as text, only on/off and choice fields are read.

// Removes everything up to and including the first comma; a line without a comma stays as it is.
void DeleteCommand(QString& line);
// Takes the next field off the front of the line (the whole line when it has no comma).
QString ExtractParameter(QString& line);
// Upper-cases the text in place and tells whether it is a channel address such as "001A".
bool CheckChannel(QString& text);

namespace records {

// Optional leading blanks, optional sign, digits with an optional decimal point (at least one digit),
// optional exponent; nothing may follow.
bool isNumber(const QString& text);
// Two digits 0..8, LT, with L + T at most 8.
bool isValidDataFormat(const QString& text);
// The address rule without the upper-casing.
bool isValidChannelAddress(const QString& text);

// The wizard's field checks, each with the message it refuses a value with. The pages and the file
// check ask these same rules.
enum class FieldCheck {
    ChannelAddress,     // the address rule; upper case as stored
    FullScale,          // empty, or a number
    TarePoint,          // empty, or a number
    ScalingFactor,      // a number
    ZeroOffset,         // a number
    DataFormat,         // the data format rule
    LimitHysteresis,    // a number
    NumberOfPasses,     // a number
    NumberOfIterations, // a number
};
bool fieldPasses(FieldCheck check, const QString& text);
QString fieldMessage(FieldCheck check);

// What is wrong with a stored record, one message per problem in field order: the command words, the
// number of fields, every check of the wizard on the fields it checks, on/off fields that are not
// exactly ON or OFF and choice words the lists do not hold. Empty for a record the wizard would write.
QStringList channelRecordProblems(const QString& record);
QStringList hysteresisRecordProblems(const QString& record);
QStringList logSpecRecordProblems(const QString& record);
// stage: the record's place among the stage records, from 1.
QStringList passRecordProblems(const QString& record, int stage);

// On only when exactly "ON".
bool isOn(const QString& field);
QString onOff(bool on);
// Index of the item equal to the field ignoring case; 0 when none matches.
int matchChoice(const QStringList& items, const QString& field);

const QStringList& loggingMedia();    // COMM, MEMORY
const QStringList& loggingFormats();  // ASCII, HEX, BIN
const QStringList& startConditions(); // IMM, BUTTON, DELAY, LEVEL, TIME
const QStringList& stopConditions();  // BUTTON, DURATION, BURST, LEVEL

inline const QString kFirstChannel = QStringLiteral("001A");
inline const QString kLastChannel = QStringLiteral("514B");
// The address after this one; the last address, and any text that is not an address, stay.
QString nextChannelAddress(const QString& address);

QString defaultChannelRecord(const QString& address);
QString defaultHysteresisRecord(); // the form a new instrument gets: "SET HYSTERISES,0"
QString defaultLogSpecRecord();
QString defaultPassRecord(int stage);

struct ChannelFields {
    QString address;
    bool enabled = false;
    bool zeroScan = false;
    QString scaling;
    QString offset;
    QString tare;
    QString format;
    QString fullScale;
};
// Applies the two reading rules: a disabled channel has no full scale value, a channel without
// zero-scan no tare point.
ChannelFields readChannelRecord(QString line);
// An empty tare point is written as "0".
QString writeChannelRecord(const ChannelFields& f);

QString readHysteresisRecord(QString line);
QString writeHysteresisRecord(const QString& value);

struct LogSpecFields {
    QString passes;
    QString iterations;
    bool timeAndDate = false;
    bool elapsedTime = false;
    QString medium; // one of loggingMedia()
    QString format; // one of loggingFormats()
    bool serialReception = false;
    bool autoRun = false;
};
LogSpecFields readLogSpecRecord(QString line);
QString writeLogSpecRecord(const LogSpecFields& f);

// Stage record fields 1 to 11 as text; start (3) and stop (7) conditions read as choice words.
struct PassFields {
    enum { Pass, Interval, Function, Start, Start1, Start2, Start3, Stop, Stop1, Stop2, Stop3, Count };
    std::array<QString, Count> field;
};
PassFields readPassRecord(QString line);
QString writePassRecord(const PassFields& f);

// How many of the three parameter boxes a condition uses.
int startParametersUsed(const QString& condition);
int stopParametersUsed(const QString& condition);
// Help topic of start or stop parameter box 0..2 under the condition; -1 when none is listed.
int startParameterTopic(int box, const QString& condition);
int stopParameterTopic(int box, const QString& condition);

// A comma in a free-text field of a stage would shift every later field of the record: refused as it
// is typed, like what typedtext refuses in any field stored in the file.
bool isFreeTextField(const QString& text);

// What a full scale value gives in normal mode: scaling factor value / 10, zero offset 0 and the data
// format from the characters before and after the first ".". No value when the text is not a
// number or too large for the arithmetic.
struct ChannelDerivation {
    QString scaling;
    QString offset;
    QString format;
};
std::optional<ChannelDerivation> deriveFromFullScale(const QString& fullScale);
// General numeric form, at most 15 significant digits, no trailing zeros, "." as decimal point.
QString formatGeneral(double value);

} // namespace records
