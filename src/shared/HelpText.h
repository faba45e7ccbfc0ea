#pragma once

#include <QString>
#include <QVector>

class QPlainTextEdit;

// The context-help topics: 300 rows (topics) of 30 columns; column 0 is the title, 1..29 the lines.
class HelpTable {
public:
    static constexpr int Rows = 300;
    static constexpr int Columns = 30;
    // Far above any line a help box shows; the rest of a longer line is dropped.
    static constexpr qsizetype MaxLineLength = 1024;

    HelpTable();
    QString cell(int column, int row) const;
    void setCell(int column, int row, const QString& text);
    void clearRows(int rowCount);
    // Empties topics 0..199, then loads the help text file into them; a missing file, or one that is
    // not a regular file of at most 16 MiB, leaves them empty. Stops quietly at a read error, keeping
    // the topics read so far.
    void load(const QString& path);
    // The title, an empty line and the topic's lines; empty for an unknown topic or one without title.
    QStringList topicLines(int topic) const;

private:
    QVector<QString> cells;
};

// Shows one topic in a dialog's help box, title selected and the box scrolled to its top.
void ReadUserHelp(QPlainTextEdit* memo, const HelpTable& table, int topic);
