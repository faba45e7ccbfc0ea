#include "ConfigCheck.h"

#include "ConfigFile.h"
#include "ConfigTree.h"
#include "Positional.h"
#include "Records.h"
#include "SetupCommands.h"
#include "Unit0.h"
#include "WorkingLists.h"

#include <QCoreApplication>
#include <QHash>
#include <QSet>

#include <algorithm>

namespace {

bool isOneOf(const QString& text, QString (*name)(int), int count) {
    for (int i = 0; i < count; ++i)
        if (text == name(i))
            return true;
    return false;
}

bool isPortLine(const QString& text) {
    const QStringList f = text.split(QLatin1Char(','));
    return f.size() == 3 && isOneOf(f[0], comPortText, 2) && isOneOf(f[1], comProtocolText, 3) &&
           isOneOf(f[2], comSpeedText, 8);
}

// The reader falls back to Tab for a name it does not know; a known one decodes alike whatever the
// fallback is.
bool isSeparatorName(const QString& name) {
    TDelimiter a, b;
    DecodeDelimiter(a, name, QStringLiteral("Tab"));
    DecodeDelimiter(b, name, QStringLiteral("@00@00"));
    return !name.isEmpty() && a == b;
}

class Checker {
    Q_DECLARE_TR_FUNCTIONS(ConfigCheck)

public:
    explicit Checker(const ConfigTree& tree) {
        int line = 0;
        tree.forEachDepthFirst([this, &line](ConfigNode& node, int) { lines.insert(&node, ++line); });
    }

    void add(const ConfigNode* node, const QString& message) {
        problems.append({lines.value(node), message});
    }
    void addAll(const ConfigNode* node, const QStringList& messages) {
        for (const QString& m : messages)
            add(node, m);
    }

    // Records are leaves: a line under one would be sent as nothing and saved as a deeper level.
    void leavesOnly(const ConfigNode* group) {
        for (int i = 0; i < group->childCount(); ++i)
            if (group->child(i)->childCount() > 0)
                add(group->child(i)->child(0),
                    tr("a line one level below a record; records have nothing under them"));
    }

    void settings(const ConfigNode* group) {
        if (group->text != QLatin1String("Communication Settings"))
            add(group,
                tr("expected \"Communication Settings\", the group of the link settings, as the first line"));
        if (group->childCount() != 3)
            add(group,
                tr("the Communication Settings group holds three lines: the port line, \"Command Prefix,\" "
                   "and \"Data Separator,\" (found %1)")
                    .arg(group->childCount()));
        leavesOnly(group);
        if (const ConfigNode* port = group->child(0); port && !isPortLine(port->text))
            add(port,
                tr("the port line must be COM1 or COM2, then RS232, RS422 or RS485, then a baud rate from "
                   "600 to 57600, such as \"COM1,RS232,9600\""));
        if (const ConfigNode* prefix = group->child(1)) {
            const QString p = QStringLiteral("Command Prefix,");
            if (!prefix->text.startsWith(p) || prefix->text.size() != p.size() + 1)
                add(prefix, tr("the prefix line must be \"Command Prefix,\" and one character, such as "
                               "\"Command Prefix,#\""));
        }
        if (const ConfigNode* separator = group->child(2)) {
            const QString p = QStringLiteral("Data Separator,");
            if (!separator->text.startsWith(p) || !isSeparatorName(separator->text.mid(p.size())))
                add(separator,
                    tr("the separator line must be \"Data Separator,\" and a separator name or code, "
                       "such as \"Data Separator,Tab\""));
        }
    }

    void instrument(const ConfigNode* node, QSet<QString>& addresses) {
        const QString& text = node->text;
        const QString address = positional::instrumentAddress(node);
        const int prefixLength = positional::kAddressPrefixLength;
        if (!text.startsWith(QLatin1String("Instrument Address ")) || !setup::isHexAddress(address) ||
            text.mid(prefixLength + 2, 2) != QLatin1String(" (") || !text.endsWith(QLatin1Char(')'))) {
            add(node, tr("expected an instrument line \"Instrument Address HH (identification)\", HH its "
                         "address from 00 to FF"));
        } else if (addresses.contains(address)) {
            add(node, tr("a second instrument with the address %1").arg(address));
        }
        addresses.insert(address);

        if (node->childCount() != 2)
            add(node, tr("an instrument holds two groups, \"Channel Configuration\" and \"Data Logging "
                         "Parameters\" (found %1)")
                          .arg(node->childCount()));
        if (const ConfigNode* channels = positional::channelGroup(node))
            channelGroup(channels);
        if (const ConfigNode* logging = positional::loggingGroup(node))
            loggingGroup(logging);
        for (int i = 2; i < node->childCount(); ++i)
            leavesOnly(node->child(i));
    }

    void channelGroup(const ConfigNode* group) {
        if (group->text != QLatin1String("Channel Configuration"))
            add(group, tr("expected \"Channel Configuration\", the instrument's first group"));
        leavesOnly(group);
        QSet<QString> seen;
        for (int i = 0; i < group->childCount(); ++i) {
            const ConfigNode* record = group->child(i);
            addAll(record, records::channelRecordProblems(record->text));
            const QString address = records::readChannelRecord(record->text).address;
            if (records::isValidChannelAddress(address) && seen.contains(address))
                add(record, tr("a second record for channel %1").arg(address));
            seen.insert(address);
        }
    }

    void loggingGroup(const ConfigNode* group) {
        if (group->text != QLatin1String("Data Logging Parameters"))
            add(group, tr("expected \"Data Logging Parameters\", the instrument's second group"));
        leavesOnly(group);
        const int n = group->childCount();
        if (n < 3)
            add(group,
                tr("the Data Logging Parameters group needs the hysteresis record, the SET LOGSPEC record "
                   "and at least one SET PASS record (found %1)")
                    .arg(n));
        if (n > 0)
            addAll(group->child(0), records::hysteresisRecordProblems(group->child(0)->text));
        if (n > 1) {
            const ConfigNode* logSpec = group->child(1);
            const QStringList problems = records::logSpecRecordProblems(logSpec->text);
            addAll(logSpec, problems);
            const int stages = n - 2;
            const int passes = wizardlists::passesFromText(records::readLogSpecRecord(logSpec->text).passes);
            // The wizard keeps one stage record per pass; the instrument is told both.
            if (problems.isEmpty() && stages > 0 && passes != stages)
                add(logSpec, tr("the number of passes is %1, but the number of SET PASS records is %2")
                                 .arg(passes)
                                 .arg(stages));
        }
        for (int i = 2; i < n; ++i)
            addAll(group->child(i), records::passRecordProblems(group->child(i)->text, i - 1));
        if (n - 2 > 8)
            add(group->child(10),
                tr("more than eight SET PASS records; an instrument has at most eight stages"));
    }

    QList<ConfigProblem> problems;

private:
    QHash<const ConfigNode*, int> lines;
};

} // namespace

QList<ConfigProblem> checkConfiguration(const ConfigTree& tree) {
    Checker check(tree);
    if (tree.rootCount() == 0) {
        check.problems.append(
            {1, QCoreApplication::translate(
                    "ConfigCheck",
                    "the file holds no configuration; it begins with \"Communication Settings\"")});
        return check.problems;
    }
    check.settings(tree.firstRoot());
    QSet<QString> addresses;
    for (const ConfigNode* instrument : positional::instruments(tree))
        check.instrument(instrument, addresses);
    std::stable_sort(check.problems.begin(), check.problems.end(),
                     [](const ConfigProblem& a, const ConfigProblem& b) { return a.line < b.line; });
    return check.problems;
}

ConfigFileCheck checkConfigFile(const QString& path) {
    ConfigFileCheck result;
    ConfigTree tree;
    const ConfigReadResult read = readConfigFile(tree, path);
    if (!read.ok && read.stoppedAtLine == 0) {
        result.readable = false;
        result.problems.append({0, read.errorMessage});
        return result;
    }
    result.problems = checkConfiguration(tree);
    if (!read.wholeFileRead()) {
        result.readToTheEnd = false;
        // The reader's first line says what stopped it; its line number stands in front.
        const ConfigProblem stop{read.stoppedAtLine, read.errorMessage.section(QLatin1Char('\n'), 0, 0)};
        const auto at =
            std::upper_bound(result.problems.begin(), result.problems.end(), stop,
                             [](const ConfigProblem& a, const ConfigProblem& b) { return a.line < b.line; });
        result.problems.insert(at, stop);
    }
    return result;
}
