#include "TerminalCommands.h"

#include "FileCommands.h"

#include <QPlainTextEdit>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>

std::optional<QString> transmitLine(const QTextDocument& document) {
    QTextBlock last = document.lastBlock();
    if (last.length() <= 1) {
        if (last == document.firstBlock())
            return std::nullopt;
        last = last.previous();
    }
    QString text = last.text();
    // A soft line break (Shift+Enter, pasted text) starts a line of its own too.
    const qsizetype soft = text.lastIndexOf(QChar::LineSeparator);
    if (soft >= 0)
        text = text.mid(soft + 1);
    return text;
}

QString terminalCommand(const QString& prefix, const QString& instrumentEntry, const QString& suffix) {
    return prefix + instrumentEntry.left(2) + suffix;
}

void writeCommandLine(QPlainTextEdit* window, const QString& command) {
    QTextCursor cursor(window->document());
    cursor.movePosition(QTextCursor::End);
    if (cursor.block().length() > 1)
        cursor.insertBlock();
    cursor.insertText(command);
}

platform::FileDialogOptions dataLogDialogOptions(const QString& logFileName, const QString& configFileName) {
    platform::FileDialogOptions o;
    o.filters = configFileFilters();
    o.filterIndex = kDataFileFilterIndex;
    o.defaultSuffix = QStringLiteral("TXT");
    // The first time, beside the configuration rather than wherever the process happened to start.
    o.directory = folderPart(logFileName.isEmpty() ? configFileName : logFileName);
    o.fileName = QStringLiteral("*.TXT");
    o.helpContext = 2003; // the one save dialog, shared with the configuration's Save command
    return o;
}
