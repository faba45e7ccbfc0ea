#pragma once

#include <QList>
#include <QString>

class ConfigTree;

// A configuration file checked before it goes out: the layout every command relies on, and every
// record by the wizard's rules. The window loads whatever it is given; this says what is wrong.
struct ConfigProblem {
    int line = 0; // from 1; 0 when the file could not be read at all
    QString message;
};

// The tree as the reader built it from a file, unsorted: its node k in depth-first order came from
// line k + 1. Problems in line order; every problem is reported, not only the first.
QList<ConfigProblem> checkConfiguration(const ConfigTree& tree);

struct ConfigFileCheck {
    bool readable = true;          // false: the file could not be opened ("Cannot open file ...")
    bool readToTheEnd = true;      // false: an invalid level or a NUL byte stopped the reading
    QList<ConfigProblem> problems; // the reader's own stop among them, at its line
    bool clean() const { return readable && readToTheEnd && problems.isEmpty(); }
};

// Reads the file with the program's reader and checks what was read.
ConfigFileCheck checkConfigFile(const QString& path);
