#include "ConfigFile.h"

#include "ConfigTree.h"
#include "Unit0.h"

#include <QFile>
#include <QSaveFile>

QByteArray serializeConfig(const ConfigTree& tree) {
    QByteArray out;
    out.reserve(tree.nodeCount() * 40);
    tree.forEachDepthFirst([&](ConfigNode& node, int depth) {
        out.append(QByteArray(depth, '\t'));
        out.append(node.text.toLatin1());
        out.append("\r\n", 2);
    });
    return out;
}

bool writeConfigFile(const ConfigTree& tree, const QString& path, QString* errorMessage) {
    const auto fail = [&] {
        if (errorMessage)
            *errorMessage = QStringLiteral("Cannot create file %1").arg(path);
        return false;
    };
    if (path.isEmpty() || path.contains(QLatin1Char('*')))
        return fail();
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return fail();
    const QByteArray bytes = serializeConfig(tree);
    if (file.write(bytes) != bytes.size()) {
        file.cancelWriting();
        return fail();
    }
    if (!file.commit())
        return fail();
    return true;
}

ConfigReadResult parseConfig(ConfigTree& tree, const QByteArray& raw) {
    ConfigReadResult result;
    const qsizetype nul = raw.indexOf('\0');
    const QByteArray bytes = nul >= 0 ? raw.left(nul) : raw;

    tree.beginBulkChange();
    ConfigNode* previous = nullptr;
    int previousDepth = 0;
    qsizetype pos = 0;
    const qsizetype n = bytes.size();
    while (pos < n) {
        qsizetype end = pos;
        while (end < n && bytes[end] != '\r' && bytes[end] != '\n')
            ++end;
        const QByteArray line = bytes.mid(pos, end - pos);
        pos = end;
        if (pos < n && bytes[pos] == '\r')
            ++pos;
        if (end < n && bytes[end] == '\r' && pos < n && bytes[pos] == '\n')
            ++pos;
        else if (end < n && bytes[end] == '\n')
            pos = end + 1;

        int depth = 0;
        while (depth < line.size() && (line[depth] == '\t' || line[depth] == ' '))
            ++depth;
        const QString text = QString::fromLatin1(line.mid(depth));

        if (!previous) {
            previous = tree.appendRoot(text);
        } else if (depth == previousDepth) {
            previous = tree.appendChild(
                previous->parent == &tree.invisibleRoot() ? nullptr : previous->parent, text);
        } else if (depth == previousDepth + 1) {
            previous = tree.appendChild(previous, text);
        } else if (depth < previousDepth) {
            ConfigNode* node = previous;
            int level = previousDepth;
            while (node && node != &tree.invisibleRoot() && depth < level) {
                node = node->parent;
                --level;
            }
            ConfigNode* parent = (!node || node == &tree.invisibleRoot()) ? nullptr : node->parent;
            if (parent == &tree.invisibleRoot())
                parent = nullptr;
            previous = tree.appendChild(parent, text);
        } else {
            result.ok = false;
            result.levelError = true;
            result.errorMessage = QStringLiteral("Invalid level (%1) for item \"%2\"").arg(depth).arg(text);
            break;
        }
        previousDepth = depth;
    }
    tree.endBulkChange();
    return result;
}

ConfigReadResult readConfigFile(ConfigTree& tree, const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        ConfigReadResult r;
        r.ok = false;
        r.errorMessage = QStringLiteral("Cannot open file %1").arg(path);
        return r;
    }
    return parseConfig(tree, file.readAll());
}

namespace {
int indexOfText(const QString& text, std::initializer_list<const char*> names) {
    int i = 0;
    for (const char* name : names) {
        if (text == QLatin1String(name))
            return i;
        ++i;
    }
    return 0;
}

QString afterFirstComma(const QString& text) {
    const qsizetype comma = text.indexOf(QLatin1Char(','));
    return comma < 0 ? QString() : text.mid(comma + 1);
}
} // namespace

void takeLinkSettings(const ConfigTree& tree, SharedSettings& settings) {
    const ConfigNode* first = tree.firstRoot();
    const ConfigNode* portLine = tree.nextDepthFirst(first);
    if (!first || !portLine)
        return;
    QString rest = portLine->text;
    const auto takeField = [&rest] {
        const qsizetype comma = rest.indexOf(QLatin1Char(','));
        QString field = comma < 0 ? rest : rest.left(comma);
        rest = comma < 0 ? QString() : rest.mid(comma + 1);
        return field;
    };
    settings.HostComPort = indexOfText(takeField(), {"COM1", "COM2"});
    settings.HostComProtocol = indexOfText(takeField(), {"RS232", "RS422", "RS485"});
    settings.HostComSpeed =
        indexOfText(rest, {"600", "1200", "2400", "4800", "9600", "19200", "38400", "57600"});

    const ConfigNode* prefixLine = tree.nextDepthFirst(portLine);
    if (!prefixLine)
        return;
    settings.HostCommandPrefix = afterFirstComma(prefixLine->text).left(1);

    const ConfigNode* separatorLine = tree.nextDepthFirst(prefixLine);
    if (!separatorLine)
        return;
    DecodeDelimiter(settings.HostDataSeparator, afterFirstComma(separatorLine->text), QStringLiteral("Tab"));
}
