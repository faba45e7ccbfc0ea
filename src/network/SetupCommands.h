#pragma once

#include <QString>

// The lines sent to an instrument while it is found, added or looked for. They are never stored in
// the tree. Each is complete: prefix, two-character address, one blank, the command, CR LF.
namespace setup {

// The identification query always uses "#": a newly connected instrument still has its factory prefix.
QString identificationQuery(const QString& address);
QString presenceQuery(const QString& prefix, const QString& address);
// Sent with "#" too, as it is what gives the instrument its new prefix.
QString setCommandPrefix(const QString& currentAddress, const QString& prefix);
QString setDelimiters(const QString& prefix, const QString& currentAddress, const QString& separatorCode);
// protocol and speed are the shared indexes (0 RS232 .. 2 RS485; 0 600 .. 7 57600).
QString setComms(const QString& prefix, const QString& currentAddress, const QString& newAddress,
                 int protocol, int speed);
QString save(const QString& prefix, const QString& newAddress);

// ",232", ",422", ",485"; empty for an index out of range.
QString lineField(int protocol);
// ",600" .. ",57600"; empty for an index out of range.
QString baudField(int speed);

// Exactly two characters, each 0-9 or A-F (upper case only: the fields capitalise as they are typed).
bool isHexAddress(const QString& text);
// The value of such an address, 0..255; -1 for any other text.
int addressValue(const QString& text);
// 0..255 as two upper-case hexadecimal digits.
QString addressText(int value);

} // namespace setup
