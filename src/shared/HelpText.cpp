#include "HelpText.h"

#include "RegularFile.h"

#include <QFile>
#include <QPlainTextEdit>
#include <QScrollBar>
#include <QTextBlock>
#include <QTextCursor>

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
    // Bounded even if the file grows while it is read.
    while (!file.atEnd() && file.pos() <= platform::MaxReadableFileSize) {
        QByteArray raw = file.readLine();
        if (raw.isEmpty() && file.error() != QFileDevice::NoError)
            break;
        while (raw.endsWith('\n') || raw.endsWith('\r'))
            raw.chop(1);
        if (raw.isEmpty())
            continue;
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
            continue;
        }
        if (text.isEmpty())
            continue;
        if (column < Columns)
            setCell(column, topic, text);
        ++column;
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
