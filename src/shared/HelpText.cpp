#include "HelpText.h"

#include "RegularFile.h"

#include <QFile>
#include <QPlainTextEdit>
#include <QScrollBar>
#include <QTextBlock>
#include <QTextCursor>

#include <cstring>

HelpTable::HelpTable() : cells(Rows * Columns) {}

QString HelpTable::cell(int column, int row) const {
    if (column < 0 || column >= Columns || row < 0 || row >= Rows)
        return QString();
    return cells.at(row * Columns + column);
}

void HelpTable::setCell(int column, int row, const QString& text) {
    if (column < 0 || column >= Columns || row < 0 || row >= Rows)
        return;
    cells[row * Columns + column] = text;
}

void HelpTable::clearRows(int rowCount) {
    for (int row = 0; row < qMin(rowCount, Rows); ++row)
        for (int column = 0; column < Columns; ++column)
            setCell(column, row, QString());
}

void HelpTable::load(const QString& path) {
    clearRows(200);
    QFile file(path);
    if (!platform::openRegularFile(file))
        return;
    int topic = -1; // lines before the first "$" belong to no topic and are dropped
    int column = 0;
    const auto takeLine = [&](QByteArray& raw) {
        while (raw.endsWith('\r'))
            raw.chop(1);
        if (raw.isEmpty())
            return;
        QString text;
        const char first = raw.at(0);
        if (first == '#') {
            text = QString::fromLatin1(raw.mid(1));
            if (text.isEmpty())
                text = QStringLiteral(" ");
        } else if (first == '$') {
            text = QString::fromLatin1(raw.mid(1));
            ++topic;
            column = 0;
        } else {
            return;
        }
        if (text.isEmpty())
            return;
        if (column < Columns)
            setCell(column, topic, text);
        ++column;
    };
    // Read in pieces and cut at MaxLineLength, so a line of any length costs time in proportion to
    // its bytes and no more memory than the bound.
    QByteArray line;
    line.reserve(MaxLineLength);
    char piece[64 * 1024];
    qint64 total = 0;
    for (;;) {
        const qint64 got = file.read(piece, sizeof piece);
        if (got < 0)
            break; // a read error: the topics so far stay
        total += got;
        if (total > platform::MaxReadableFileSize) {
            clearRows(200); // grew past the bound while read: as if it could not be read at all
            return;
        }
        if (got == 0) {
            takeLine(line);
            return;
        }
        const char* p = piece;
        const char* const end = piece + got;
        while (p < end) {
            const char* lf = static_cast<const char*>(std::memchr(p, '\n', size_t(end - p)));
            const char* stop = lf ? lf : end;
            const qsizetype room = MaxLineLength - line.size();
            line.append(p, qMin(qsizetype(stop - p), qMax(room, qsizetype(0))));
            if (!lf)
                break;
            takeLine(line);
            line.clear();
            p = lf + 1;
        }
    }
}

QStringList HelpTable::topicLines(int topic) const {
    if (topic < 0 || topic >= Rows || cell(0, topic).isEmpty())
        return {};
    QStringList lines{cell(0, topic), QString()};
    for (int column = 1; column < Columns; ++column) {
        const QString text = cell(column, topic);
        if (!text.isEmpty())
            lines.append(text);
    }
    return lines;
}

void ReadUserHelp(QPlainTextEdit* memo, const HelpTable& table, int topic) {
    if (!memo)
        return;
    const QStringList lines = table.topicLines(topic);
    memo->setPlainText(lines.join(QLatin1Char('\n')));
    if (lines.isEmpty())
        return;
    QTextCursor cursor(memo->document());
    cursor.movePosition(QTextCursor::Start);
    cursor.movePosition(QTextCursor::EndOfBlock, QTextCursor::KeepAnchor);
    memo->setTextCursor(cursor);
    memo->verticalScrollBar()->setValue(0);
}
