#include "Records.h"

#include <QCoreApplication>

#include <cmath>

void DeleteCommand(QString& line) {
    const qsizetype comma = line.indexOf(QLatin1Char(','));
    if (comma >= 0)
        line.remove(0, comma + 1);
}

QString ExtractParameter(QString& line) {
    const qsizetype comma = line.indexOf(QLatin1Char(','));
    if (comma < 0) {
        QString field = line;
        line.clear();
        return field;
    }
    QString field = line.left(comma);
    line.remove(0, comma + 1);
    return field;
}

bool CheckChannel(QString& text) {
    text = text.toUpper();
    return records::isValidChannelAddress(text);
}

namespace records {

namespace {

bool isAsciiDigit(QChar c) {
    return c >= QLatin1Char('0') && c <= QLatin1Char('9');
}

// Appends the fields after the command words, one comma each, empty ones included.
QString joinRecord(const char* command, const QStringList& fields) {
    return QString::fromLatin1(command) + fields.join(QLatin1Char(','));
}

} // namespace

bool isNumber(const QString& text) {
    const qsizetype n = text.size();
    qsizetype i = 0;
    while (i < n && text[i] == QLatin1Char(' '))
        ++i;
    if (i < n && (text[i] == QLatin1Char('+') || text[i] == QLatin1Char('-')))
        ++i;
    int digits = 0;
    while (i < n && isAsciiDigit(text[i]))
        ++i, ++digits;
    if (i < n && text[i] == QLatin1Char('.')) {
        ++i;
        while (i < n && isAsciiDigit(text[i]))
            ++i, ++digits;
    }
    // A point alone is no number: the instrument could not read it and nothing can be derived from it.
    if (digits == 0)
        return false;
    if (i < n && (text[i] == QLatin1Char('E') || text[i] == QLatin1Char('e'))) {
        ++i;
        if (i < n && (text[i] == QLatin1Char('+') || text[i] == QLatin1Char('-')))
            ++i;
        int expDigits = 0;
        while (i < n && isAsciiDigit(text[i]))
            ++i, ++expDigits;
        if (expDigits == 0)
            return false;
    }
    return i == n;
}

bool isValidDataFormat(const QString& text) {
    if (text.size() != 2)
        return false;
    const QChar l = text[0], t = text[1];
    if (l < QLatin1Char('0') || l > QLatin1Char('8') || t < QLatin1Char('0') || t > QLatin1Char('8'))
        return false;
    return (l.unicode() - '0') + (t.unicode() - '0') <= 8;
}

bool isValidChannelAddress(const QString& text) {
    if (text.size() != 4)
        return false;
    const QChar lead = text[0], letter = text[3];
    if (lead < QLatin1Char('0') || lead > QLatin1Char('5'))
        return false;
    if (letter != QLatin1Char('A') && letter != QLatin1Char('B'))
        return false;
    // Two digits, as the sequence writes them: "0 1A" or "0+1A" would name channel 001A a second way,
    // and the page would never find its record.
    if (!isAsciiDigit(text[1]) || !isAsciiDigit(text[2]))
        return false;
    const int number = text.mid(1, 2).toInt();
    const int limit = lead == QLatin1Char('0') ? 12 : 14;
    return number >= 1 && number <= limit;
}

bool isOn(const QString& field) {
    return field == QLatin1String("ON");
}

QString onOff(bool on) {
    return on ? QStringLiteral("ON") : QStringLiteral("OFF");
}

int matchChoice(const QStringList& items, const QString& field) {
    const QString wanted = field.toUpper();
    for (int i = 0; i < items.size(); ++i)
        if (items[i].toUpper() == wanted)
            return i;
    return 0;
}

const QStringList& loggingMedia() {
    static const QStringList l{QStringLiteral("COMM"), QStringLiteral("MEMORY")};
    return l;
}

const QStringList& loggingFormats() {
    static const QStringList l{QStringLiteral("ASCII"), QStringLiteral("HEX"), QStringLiteral("BIN")};
    return l;
}

const QStringList& startConditions() {
    static const QStringList l{QStringLiteral("IMM"), QStringLiteral("BUTTON"), QStringLiteral("DELAY"),
                               QStringLiteral("LEVEL"), QStringLiteral("TIME")};
    return l;
}

const QStringList& stopConditions() {
    static const QStringList l{QStringLiteral("BUTTON"), QStringLiteral("DURATION"), QStringLiteral("BURST"),
                               QStringLiteral("LEVEL")};
    return l;
}

namespace {

// Every channel address in order: 001A..012B, then 101A..514B.
const QStringList& channelAddresses() {
    static const QStringList all = [] {
        QStringList l;
        for (int lead = 0; lead <= 5; ++lead) {
            const int limit = lead == 0 ? 12 : 14;
            for (int number = 1; number <= limit; ++number)
                for (const char letter : {'A', 'B'})
                    l.append(QStringLiteral("%1%2%3")
                                 .arg(lead)
                                 .arg(number, 2, 10, QLatin1Char('0'))
                                 .arg(QLatin1Char(letter)));
        }
        return l;
    }();
    return all;
}

} // namespace

QString nextChannelAddress(const QString& address) {
    // Stepping through the sequence itself keeps the result a valid address whatever the input.
    const QString a = address.left(4);
    const QStringList& all = channelAddresses();
    const qsizetype i = all.indexOf(a);
    return i >= 0 && i + 1 < all.size() ? all[i + 1] : a;
}

QString defaultChannelRecord(const QString& address) {
    return QStringLiteral("SET CHANNEL,") + address + QStringLiteral(",OFF,OFF,1,0,0,23,");
}

QString defaultHysteresisRecord() {
    return QStringLiteral("SET HYSTERISES,0");
}

QString defaultLogSpecRecord() {
    return QStringLiteral("SET LOGSPEC,1,1,OFF,OFF,COMM,ASCII,ON,OFF");
}

QString defaultPassRecord(int stage) {
    return QStringLiteral("SET PASS,%1,1,0,IMM,,,,BURST,1,,").arg(stage);
}

ChannelFields readChannelRecord(QString line) {
    ChannelFields f;
    DeleteCommand(line);
    f.address = ExtractParameter(line);
    f.enabled = isOn(ExtractParameter(line));
    f.zeroScan = isOn(ExtractParameter(line));
    f.scaling = ExtractParameter(line);
    f.offset = ExtractParameter(line);
    f.tare = ExtractParameter(line);
    f.format = ExtractParameter(line);
    f.fullScale = ExtractParameter(line);
    if (!f.enabled)
        f.fullScale.clear();
    if (!f.zeroScan)
        f.tare.clear();
    return f;
}

QString writeChannelRecord(const ChannelFields& f) {
    return joinRecord("SET CHANNEL,",
                      {f.address, onOff(f.enabled), onOff(f.zeroScan), f.scaling, f.offset,
                       f.tare.isEmpty() ? QStringLiteral("0") : f.tare, f.format, f.fullScale});
}

QString readHysteresisRecord(QString line) {
    DeleteCommand(line);
    return ExtractParameter(line);
}

QString writeHysteresisRecord(const QString& value) {
    return QStringLiteral("SET HYSTERESIS,") + value.toUpper();
}

LogSpecFields readLogSpecRecord(QString line) {
    LogSpecFields f;
    DeleteCommand(line);
    f.passes = ExtractParameter(line);
    f.iterations = ExtractParameter(line);
    f.timeAndDate = isOn(ExtractParameter(line));
    f.elapsedTime = isOn(ExtractParameter(line));
    f.medium = loggingMedia().at(matchChoice(loggingMedia(), ExtractParameter(line)));
    f.format = loggingFormats().at(matchChoice(loggingFormats(), ExtractParameter(line)));
    f.serialReception = isOn(ExtractParameter(line));
    f.autoRun = isOn(ExtractParameter(line));
    return f;
}

QString writeLogSpecRecord(const LogSpecFields& f) {
    return joinRecord("SET LOGSPEC,", {f.passes, f.iterations, onOff(f.timeAndDate), onOff(f.elapsedTime),
                                       f.medium, f.format, onOff(f.serialReception), onOff(f.autoRun)});
}

PassFields readPassRecord(QString line) {
    PassFields f;
    DeleteCommand(line);
    for (QString& field : f.field)
        field = ExtractParameter(line);
    f.field[PassFields::Start] =
        startConditions().at(matchChoice(startConditions(), f.field[PassFields::Start]));
    f.field[PassFields::Stop] = stopConditions().at(matchChoice(stopConditions(), f.field[PassFields::Stop]));
    return f;
}

QString writePassRecord(const PassFields& f) {
    return joinRecord("SET PASS,", QStringList(f.field.begin(), f.field.end()));
}

int startParametersUsed(const QString& condition) {
    const QString c = condition.toUpper();
    if (c == QLatin1String("DELAY"))
        return 1;
    if (c == QLatin1String("LEVEL"))
        return 3;
    if (c == QLatin1String("TIME"))
        return 2;
    return 0;
}

int stopParametersUsed(const QString& condition) {
    const QString c = condition.toUpper();
    if (c == QLatin1String("DURATION") || c == QLatin1String("BURST"))
        return 1;
    if (c == QLatin1String("LEVEL"))
        return 3;
    return 0;
}

int startParameterTopic(int box, const QString& condition) {
    const QString c = condition.toUpper();
    if (c == QLatin1String("DELAY"))
        return box == 0 ? 44 : -1;
    if (c == QLatin1String("LEVEL"))
        return box >= 0 && box <= 2 ? 45 + box : -1;
    if (c == QLatin1String("TIME"))
        return box >= 0 && box <= 1 ? 48 + box : -1;
    return -1;
}

int stopParameterTopic(int box, const QString& condition) {
    if (box == 1)
        return 54;
    if (box == 2)
        return 55;
    if (box != 0)
        return -1;
    const QString c = condition.toUpper();
    if (c == QLatin1String("DURATION"))
        return 51;
    if (c == QLatin1String("BURST"))
        return 52;
    if (c == QLatin1String("LEVEL"))
        return 53;
    return -1;
}

bool isFreeTextField(const QString& text) {
    return !text.contains(QLatin1Char(','));
}

QString formatGeneral(double value) {
    if (value == 0 || !std::isfinite(value))
        return QStringLiteral("0");
    QString s = QString::number(value, 'g', 15);
    const qsizetype e = s.indexOf(QLatin1Char('e'));
    if (e < 0)
        return s;
    // "1e+20" and "1e-05" read as 1E20 and 1E-5, the way the number syntax writes exponents.
    const int exponent = s.mid(e + 1).toInt();
    return s.left(e) + QLatin1Char('E') + QString::number(exponent);
}

std::optional<ChannelDerivation> deriveFromFullScale(const QString& fullScale) {
    if (!isNumber(fullScale))
        return std::nullopt;
    bool ok = false;
    const double value = fullScale.trimmed().toDouble(&ok);
    if (!ok || !std::isfinite(value))
        return std::nullopt;
    const qsizetype point = fullScale.indexOf(QLatin1Char('.'));
    const qsizetype leading = point < 0 ? fullScale.size() : point;
    const qsizetype trailing = point < 0 ? 0 : fullScale.size() - point - 1;
    return ChannelDerivation{formatGeneral(value / 10), QStringLiteral("0"),
                             QString::number(leading) + QString::number(trailing)};
}

} // namespace records

namespace records {

bool fieldPasses(FieldCheck check, const QString& text) {
    switch (check) {
    case FieldCheck::ChannelAddress:
        return isValidChannelAddress(text);
    case FieldCheck::FullScale:
    case FieldCheck::TarePoint:
        return text.isEmpty() || isNumber(text);
    case FieldCheck::ScalingFactor:
    case FieldCheck::ZeroOffset:
    case FieldCheck::LimitHysteresis:
    case FieldCheck::NumberOfPasses:
    case FieldCheck::NumberOfIterations:
        return isNumber(text);
    case FieldCheck::DataFormat:
        return isValidDataFormat(text);
    }
    return false;
}

QString fieldMessage(FieldCheck check) {
    static const char* const messages[] = {
        QT_TRANSLATE_NOOP("Records", "Invalid Channel Address"),
        QT_TRANSLATE_NOOP("Records", "Error detected in the full scale value"),
        QT_TRANSLATE_NOOP("Records", "Error detected in the tare point"),
        QT_TRANSLATE_NOOP("Records", "Error detected in the scaling factor"),
        QT_TRANSLATE_NOOP("Records", "Error detected in the zero offset"),
        QT_TRANSLATE_NOOP("Records", "Error detected in the data format"),
        QT_TRANSLATE_NOOP("Records", "Error detected in the limit hysterises"),
        QT_TRANSLATE_NOOP("Records", "Error detected in the number of passes"),
        QT_TRANSLATE_NOOP("Records", "Error detected in the number of iterations"),
    };
    return QCoreApplication::translate("Records", messages[int(check)]);
}

namespace {

QString translated(const char* text) {
    return QCoreApplication::translate("Records", text);
}

// The record's fields after its command words; empty trailing fields count.
QStringList fieldsOf(const QString& record) {
    const qsizetype comma = record.indexOf(QLatin1Char(','));
    return comma < 0 ? QStringList() : record.mid(comma + 1).split(QLatin1Char(','));
}

// Checks the command words and the number of fields; true when the fields can be checked one by one.
bool checkShape(const QString& record, const QStringList& commands, int fieldCount, QStringList& problems) {
    bool known = false;
    for (const QString& c : commands)
        known = known || record.startsWith(c);
    if (!known) {
        problems += QCoreApplication::translate("Records", "expected a record beginning \"%1\"")
                        .arg(commands.constFirst());
        return false;
    }
    const qsizetype n = fieldsOf(record).size();
    if (n != fieldCount)
        problems += QCoreApplication::translate("Records", "a %1 record has %2 fields; this one has %3")
                        .arg(commands.constFirst().chopped(1))
                        .arg(fieldCount)
                        .arg(n);
    return true;
}

// A field as a message quotes it: a hand-edited file may hold a field of any length.
QString quoted(const QString& field) {
    constexpr int kShown = 40;
    return field.size() <= kShown ? field : field.left(kShown) + QStringLiteral("...");
}

void checkOnOff(const QString& field, const char* name, QStringList& problems) {
    if (field != QLatin1String("ON") && field != QLatin1String("OFF"))
        problems += QCoreApplication::translate("Records", "%1 must be ON or OFF, not \"%2\"")
                        .arg(translated(name), quoted(field));
}

void checkChoice(const QString& field, const QStringList& items, const char* name, QStringList& problems) {
    if (!items.contains(field, Qt::CaseInsensitive))
        problems += QCoreApplication::translate("Records", "%1 must be one of %2, not \"%3\"")
                        .arg(translated(name), items.join(QStringLiteral(", ")), quoted(field));
}

void checkField(FieldCheck check, const QString& field, QStringList& problems) {
    if (!fieldPasses(check, field))
        problems += fieldMessage(check);
}

// A spin box's whole numbers: a number outside them is not refused by the page but changed.
void checkWholeNumber(FieldCheck check, const QString& field, int minimum, int maximum,
                      QStringList& problems) {
    if (!fieldPasses(check, field)) {
        problems += fieldMessage(check);
        return;
    }
    const double value = field.trimmed().toDouble();
    if (value != std::floor(value) || value < minimum || value > maximum)
        problems +=
            fieldMessage(check) + QCoreApplication::translate("Records", " (a whole number from %1 to %2)")
                                      .arg(minimum)
                                      .arg(maximum);
}

} // namespace

QStringList channelRecordProblems(const QString& record) {
    QStringList problems;
    if (!checkShape(record, {QStringLiteral("SET CHANNEL,")}, 8, problems))
        return problems;
    const QStringList f = fieldsOf(record);
    const auto field = [&f](int i) { return f.value(i); };
    checkField(FieldCheck::ChannelAddress, field(0), problems);
    checkOnOff(field(1), QT_TRANSLATE_NOOP("Records", "Channel Enabled"), problems);
    checkOnOff(field(2), QT_TRANSLATE_NOOP("Records", "Zero-Scan Enabled"), problems);
    checkField(FieldCheck::ScalingFactor, field(3), problems);
    checkField(FieldCheck::ZeroOffset, field(4), problems);
    checkField(FieldCheck::TarePoint, field(5), problems);
    checkField(FieldCheck::DataFormat, field(6), problems);
    // The page's box takes nine characters.
    if (!fieldPasses(FieldCheck::FullScale, field(7)) || field(7).size() > 9)
        problems += fieldMessage(FieldCheck::FullScale);
    return problems;
}

QStringList hysteresisRecordProblems(const QString& record) {
    QStringList problems;
    // A new instrument's record has the command word HYSTERISES, the wizard's HYSTERESIS.
    if (checkShape(record, {QStringLiteral("SET HYSTERESIS,"), QStringLiteral("SET HYSTERISES,")}, 1,
                   problems))
        checkField(FieldCheck::LimitHysteresis, fieldsOf(record).value(0), problems);
    return problems;
}

QStringList logSpecRecordProblems(const QString& record) {
    QStringList problems;
    if (!checkShape(record, {QStringLiteral("SET LOGSPEC,")}, 8, problems))
        return problems;
    const QStringList f = fieldsOf(record);
    checkWholeNumber(FieldCheck::NumberOfPasses, f.value(0), 1, 8, problems);
    checkWholeNumber(FieldCheck::NumberOfIterations, f.value(1), 0, 99, problems);
    checkOnOff(f.value(2), QT_TRANSLATE_NOOP("Records", "Log Time and Date"), problems);
    checkOnOff(f.value(3), QT_TRANSLATE_NOOP("Records", "Log Elapsed Time"), problems);
    checkChoice(f.value(4), loggingMedia(), QT_TRANSLATE_NOOP("Records", "Logging Medium"), problems);
    checkChoice(f.value(5), loggingFormats(), QT_TRANSLATE_NOOP("Records", "Data Logging Format"), problems);
    checkOnOff(f.value(6), QT_TRANSLATE_NOOP("Records", "Serial Reception"), problems);
    checkOnOff(f.value(7), QT_TRANSLATE_NOOP("Records", "Auto-Run Mode"), problems);
    return problems;
}

QStringList passRecordProblems(const QString& record, int stage) {
    QStringList problems;
    if (!checkShape(record, {QStringLiteral("SET PASS,")}, 11, problems))
        return problems;
    const QStringList f = fieldsOf(record);
    if (f.value(0) != QString::number(stage))
        problems += QCoreApplication::translate(
                        "Records", "the pass number must be %1, the stage's place in its group, not \"%2\"")
                        .arg(stage)
                        .arg(quoted(f.value(0)));
    checkChoice(f.value(3), startConditions(), QT_TRANSLATE_NOOP("Records", "Start Condition"), problems);
    checkChoice(f.value(7), stopConditions(), QT_TRANSLATE_NOOP("Records", "Stop Condition"), problems);
    return problems;
}

} // namespace records
