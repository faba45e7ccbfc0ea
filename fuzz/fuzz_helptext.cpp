// The context-help reader against the rules of the help text file: "$" starts the next topic with
// its title, "#" adds a line (a single space when nothing follows), anything else is skipped; at most
// 30 cells per topic and 300 topics are kept, and a line is cut at the reader's bound.

#include "FuzzCheck.h"
#include "HelpText.h"

#include <QFile>
#include <QTemporaryDir>

#include <map>
#include <utility>

namespace {

using Cells = std::map<std::pair<int, int>, QByteArray>; // (row, column) -> text

// Lines end at LF and are cut to the reader's bound; the CRs before the end belong to the line end
// (files written on either system).
Cells model(const QByteArray& input) {
    Cells cells;
    int topic = -1;
    int column = 0;
    for (QByteArray line : input.split('\n')) {
        line.truncate(HelpTable::MaxLineLength);
        while (line.endsWith('\r'))
            line.chop(1);
        if (line.isEmpty())
            continue;
        QByteArray text;
        if (line[0] == '#') {
            text = line.mid(1);
            if (text.isEmpty())
                text = " ";
        } else if (line[0] == '$') {
            text = line.mid(1);
            ++topic;
            column = 0;
        } else {
            continue;
        }
        if (text.isEmpty())
            continue;
        if (column < HelpTable::Columns && topic >= 0 && topic < HelpTable::Rows)
            cells[{topic, column}] = text;
        ++column;
    }
    return cells;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    fuzz::ensureApplication();
    static QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("48710093.TXT"));
    const QByteArray input(reinterpret_cast<const char*>(data), qsizetype(size));
    {
        QFile f(path);
        if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate) || f.write(input) != input.size())
            return 0;
    }
    HelpTable table;
    table.load(path);
    const Cells want = model(input);
    // Rows after the model's last topic are only checked for a title: a topic without one shows nothing.
    const int used = want.empty() ? 0 : want.rbegin()->first.first + 1;
    for (int row = used; row < HelpTable::Rows; ++row)
        fuzz::expect(table.cell(0, row).isEmpty() && table.topicLines(row).isEmpty(),
                     "no topic after the last");
    for (int row = 0; row < used; ++row) {
        for (int column = 0; column < HelpTable::Columns; ++column) {
            const auto it = want.find({row, column});
            fuzz::expectEqual(table.cell(column, row), it == want.end() ? QByteArray() : it->second, "cell");
        }
        // What a help box shows: the title, an empty line, then the topic's lines.
        QByteArrayList shown;
        if (want.count({row, 0})) {
            shown = {want.at({row, 0}), QByteArray()};
            for (int column = 1; column < HelpTable::Columns; ++column)
                if (want.count({row, column}))
                    shown.append(want.at({row, column}));
        }
        fuzz::expectEqual(table.topicLines(row).join(QLatin1Char('\n')), shown.join('\n'), "topic shown");
    }
    return 0;
}
