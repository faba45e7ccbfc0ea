#include "TerminalText.h"

#include "Delimiter.h"

#include <algorithm>

QByteArray timeStampText(const QDateTime& time) {
    QByteArray text = time.toString(QStringLiteral("yyyy-MM-ddTHH:mm:ss.zzz")).toLatin1();
    const int offset = time.offsetFromUtc() / 60;
    const int a = offset < 0 ? -offset : offset;
    text += offset < 0 ? '-' : '+';
    text += QByteArray::number(a / 60).rightJustified(2, '0');
    text += ':';
    text += QByteArray::number(a % 60).rightJustified(2, '0');
    return text;
}

QByteArray stampSeparator(const TDelimiter& separator) {
    QByteArray bytes(1, char(separator.FirstChar));
    if (separator.SecondChar != 0)
        bytes += char(separator.SecondChar);
    if (separator.FirstChar == 0 || bytes.contains('\r') || bytes.contains('\n'))
        return QByteArray(1, '\t');
    return bytes;
}

QByteArray timeStampedRecord(const QDateTime& time, const TDelimiter& separator, const QByteArray& line) {
    return timeStampText(time) + stampSeparator(separator) + line;
}

QByteArray linkMarkRecord(bool back, const QDateTime& time) {
    return (back ? QByteArray("# link back ") : QByteArray("# link lost ")) + timeStampText(time);
}

QByteArray shownTimeStamp(const QDateTime& time) {
    return time.toString(QStringLiteral("HH:mm:ss.zzz ")).toLatin1();
}

QByteArray echoLine(const QString& sent) {
    return "> " + sent.toLatin1();
}

QByteArray receivedWindowText(const QString& plainText) {
    if (plainText.isEmpty())
        return QByteArray();
    QByteArray bytes = plainText.toLatin1();
    if (!bytes.endsWith('\n'))
        bytes += '\n';
    return bytes.replace("\n", "\r\n");
}

QByteArray hexRow(qint64 offset, const char* data, int size) {
    static const char digits[] = "0123456789ABCDEF";
    size = std::clamp(size, 0, kHexRowBytes);
    QByteArray row = QByteArray::number(offset, 16).toUpper().rightJustified(8, '0');
    row += "  ";
    for (int i = 0; i < kHexRowBytes; ++i) {
        if (i == 8)
            row += ' ';
        if (i < size) {
            const auto b = quint8(data[i]);
            row += digits[b >> 4];
            row += digits[b & 15];
            row += ' ';
        } else {
            row += "   ";
        }
    }
    row += ' ';
    for (int i = 0; i < size; ++i) {
        const auto b = quint8(data[i]);
        row += b >= 0x20 && b < 0x7F ? char(b) : '.';
    }
    return row;
}

void HexHistory::append(const char* data, qsizetype size) {
    if (size <= 0)
        return;
    bytes.append(data, size);
    if (bytes.size() <= maximum)
        return;
    // An eighth more than needed goes at once, so the move is paid once per eighth, not per block.
    qsizetype drop = bytes.size() - maximum + maximum / 8;
    drop = std::min(bytes.size(), (drop + kHexRowBytes - 1) / kHexRowBytes * kHexRowBytes);
    bytes.remove(0, drop);
    first += drop;
}

void HexHistory::clear() {
    bytes.clear();
    first = 0;
}

QByteArray HexHistory::row(qint64 i) const {
    const qint64 at = i * kHexRowBytes;
    if (i < 0 || at >= bytes.size())
        return QByteArray();
    return hexRow(first + at, bytes.constData() + at, int(std::min<qint64>(kHexRowBytes, bytes.size() - at)));
}

QByteArray HexHistory::text(const QByteArray& ending) const {
    QByteArray out;
    for (qint64 i = 0; i < rowCount(); ++i)
        out += row(i) + ending;
    return out;
}
