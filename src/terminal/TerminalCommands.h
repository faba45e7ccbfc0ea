#pragma once

#include "Dialogs.h"

#include <QString>

#include <optional>

class QPlainTextEdit;
class QTextDocument;

// The line that Enter sends: the transmit window's last line, where a final empty line does not
// count. None for an empty window.
std::optional<QString> transmitLine(const QTextDocument& document);

// A ready-made terminal command: prefix, the address (the first two characters of the selected
// instrument entry) and the suffix with its leading blank, e.g. "#07 RUN".
QString terminalCommand(const QString& prefix, const QString& instrumentEntry, const QString& suffix);

// Writes a command into the transmit window as a line of its own: onto the final line when that is
// empty, otherwise onto a new line after it.
void writeCommandLine(QPlainTextEdit* window, const QString& command);

// The shared save dialog as data logging prepares it.
platform::FileDialogOptions dataLogDialogOptions(const QString& logFileName,
                                                 const QString& configFileName = QString());
