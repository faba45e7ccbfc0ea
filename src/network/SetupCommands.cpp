#include "SetupCommands.h"

#include "Unit0.h"

namespace setup {

namespace {

QString line(const QString& prefix, const QString& address, const QString& command) {
    return prefix + address + QLatin1Char(' ') + command + QStringLiteral("\r\n");
}

int hexDigit(QChar c) {
    if (c >= QLatin1Char('0') && c <= QLatin1Char('9'))
        return c.unicode() - '0';
    if (c >= QLatin1Char('A') && c <= QLatin1Char('F'))
        return c.unicode() - 'A' + 10;
    return -1;
}

} // namespace

QString identificationQuery(const QString& address) {
    return line(QStringLiteral("#"), address, QStringLiteral("SYS"));
}

QString presenceQuery(const QString& prefix, const QString& address) {
    return line(prefix, address, QStringLiteral("SYS"));
}

QString setCommandPrefix(const QString& currentAddress, const QString& prefix) {
    return line(QStringLiteral("#"), currentAddress, QStringLiteral("SET COMMAND PREFIX,") + prefix);
}

QString setDelimiters(const QString& prefix, const QString& currentAddress, const QString& separatorCode) {
    return line(prefix, currentAddress,
                QStringLiteral("SET DELIMITERS,") + separatorCode + QStringLiteral(",@13@10"));
}

QString setComms(const QString& prefix, const QString& currentAddress, const QString& newAddress,
                 int protocol, int speed) {
    return line(prefix, currentAddress,
                QStringLiteral("SET COMMS,") + newAddress + lineField(protocol) + baudField(speed) +
                    QStringLiteral(",ON"));
}

QString save(const QString& prefix, const QString& newAddress) {
    return line(prefix, newAddress, QStringLiteral("SAVE"));
}

QString lineField(int protocol) {
    const QString name = comProtocolText(protocol); // "RS232" .. "RS485"
    return name.isEmpty() ? QString() : QLatin1Char(',') + name.mid(2);
}

QString baudField(int speed) {
    const QString baud = comSpeedText(speed);
    return baud.isEmpty() ? QString() : QLatin1Char(',') + baud;
}

bool isHexAddress(const QString& text) {
    return addressValue(text) >= 0;
}

int addressValue(const QString& text) {
    if (text.size() != 2)
        return -1;
    const int hi = hexDigit(text[0]);
    const int lo = hexDigit(text[1]);
    return hi < 0 || lo < 0 ? -1 : hi * 16 + lo;
}

QString addressText(int value) {
    return QStringLiteral("%1").arg(value & 0xFF, 2, 16, QLatin1Char('0')).toUpper();
}

} // namespace setup
