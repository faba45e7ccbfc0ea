#include "ConfigFile.h"

#include "ConfigTree.h"
#include "RegularFile.h"
#include "Unit0.h"

#include <QCoreApplication>
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
    return writeFileSafely(path, serializeConfig(tree), errorMessage);
}

bool writeFileSafely(const QString& path, const QByteArray& bytes, QString* errorMessage) {
    const auto fail = [&] {
        if (errorMessage)
            *errorMessage = QCoreApplication::translate("ConfigFile", "Cannot create file %1").arg(path);
        return false;
    };
    if (path.isEmpty() || path.contains(QLatin1Char('*')))
        return fail();
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return fail();
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
    const qsizetype n = nul >= 0 ? nul : raw.size();

    tree.beginBulkChange();
    ConfigNode* previous = nullptr;
    int previousLevel = 0; // tree level of the node the line before became
    int lineNumber = 0;
    qsizetype pos = 0;
    while (pos < n) {
        ++lineNumber;
        qsizetype end = pos;
        while (end < n && raw[end] != '\r' && raw[end] != '\n')
            ++end;
        const qsizetype lineStart = pos;
        pos = end;
        if (pos < n && raw[pos] == '\r')
            ++pos;
        if (pos < n && raw[pos] == '\n')
            ++pos;

        int depth = 0;
        while (lineStart + depth < end && (raw[lineStart + depth] == '\t' || raw[lineStart + depth] == ' '))
            ++depth;
        const QString text =
            QString::fromLatin1(raw.constData() + lineStart + depth, end - lineStart - depth);

        if (!previous) {
            previous = tree.appendRoot(text);
            previousLevel = 0;
            continue;
        }
        if (depth > previousLevel + 1) {
            result.ok = false;
            result.stoppedAtLine = lineNumber;
            result.errorMessage =
                QCoreApplication::translate("ConfigFile", "Invalid level (%1) for item \"%2\"")
                    .arg(depth)
                    .arg(text) +
                QCoreApplication::translate(
                    "ConfigFile",
                    "\nLoading stopped at line %1; that line and the ones after it were not loaded.")
                    .arg(lineNumber);
            break;
        }
        // The parent is the node the line before became (one deeper) or its ancestor at depth - 1.
        ConfigNode* parent = previous;
        for (int level = previousLevel; level >= depth; --level)
            parent = parent->parent;
        previous = tree.appendChild(parent == &tree.invisibleRoot() ? nullptr : parent, text);
        previousLevel = depth;
    }
    tree.endBulkChange();
    if (nul >= 0 && result.ok) {
        // A NUL is not text: it ends the reading, and the user must know that the rest was not loaded.
        const bool atLineStart = nul == 0 || raw[nul - 1] == '\n' || raw[nul - 1] == '\r';
        result.stoppedAtLine = atLineStart ? lineNumber + 1 : lineNumber;
        result.errorMessage =
            QCoreApplication::translate("ConfigFile",
                                        "The file holds a NUL byte, which ends its text.\nLoading stopped "
                                        "at line %1; what follows the NUL byte was not loaded.")
                .arg(result.stoppedAtLine);
    }
    return result;
}

ConfigReadResult readConfigFile(ConfigTree& tree, const QString& path) {
    QFile file(path);
    QByteArray bytes;
    bool readable = platform::openRegularFile(file);
    if (readable) {
        // Bounded even if the file grows while it is read.
        bytes = file.read(platform::MaxReadableFileSize + 1);
        readable = file.error() == QFileDevice::NoError && bytes.size() <= platform::MaxReadableFileSize;
    }
    if (!readable) {
        ConfigReadResult r;
        r.ok = false;
        r.errorMessage = QCoreApplication::translate("ConfigFile", "Cannot open file %1").arg(path);
        return r;
    }
    return parseConfig(tree, bytes);
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
