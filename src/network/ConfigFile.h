#pragma once

#include <QByteArray>
#include <QString>

class ConfigTree;
struct SharedSettings;

// The configuration file: one line per node in depth-first order, as many TABs as the node's depth,
// the text unchanged, CR LF after every line. 8-bit text, no header; an empty tree is an empty file.
QByteArray serializeConfig(const ConfigTree& tree);

// Writes the file so that a failure half-way never destroys the previous one: the bytes go to a new
// file beside it, which replaces the old one only once everything is written and flushed. A name
// with the wildcard "*" in it counts as one that cannot be created. On failure returns false and the
// message "Cannot create file <path>".
bool writeConfigFile(const ConfigTree& tree, const QString& path, QString* errorMessage = nullptr);
// The same safe writer for any other file the program writes whole (a programming report).
bool writeFileSafely(const QString& path, const QByteArray& bytes, QString* errorMessage = nullptr);

struct ConfigReadResult {
    // False when the file could not be opened or a line was too deep: the link settings are then not
    // taken from the tree.
    bool ok = true;
    // The line (from 1) at which reading stopped before the end of the file: a line too deep, or a NUL
    // byte. 0 when every line was read.
    int stoppedAtLine = 0;
    // For the user when !ok or stoppedAtLine: "Cannot open file ...", or "Invalid level (n) for item
    // "..."" or the NUL byte, each followed by where the reading stopped.
    QString errorMessage;
    bool wholeFileRead() const { return ok && stoppedAtLine == 0; }
};

// Appends the file's nodes to the tree (which the caller has emptied), by the reading rules: NUL ends
// the text, CR LF / CR / LF end lines, each leading TAB or blank is one level, the first line is a
// root, and every further line is placed by its depth against the tree level of the node the line
// before became; a line more than one level deeper stops the reading (nodes read so far stay).
// Nothing is sorted. Only a regular file of at most 256 MiB is read.
ConfigReadResult readConfigFile(ConfigTree& tree, const QString& path);
ConfigReadResult parseConfig(ConfigTree& tree, const QByteArray& bytes);

// Takes port, line mode, speed, command prefix and data separator from the tree's first nodes in
// depth-first order, falling back field by field; stops silently at the first missing node.
void takeLinkSettings(const ConfigTree& tree, SharedSettings& settings);
