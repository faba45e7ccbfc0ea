#pragma once

#include <QString>

// The terminal's own options, each off by default so that the log file and the receive window hold
// exactly what they hold without them. Remembered per user beside the chosen serial devices.
struct TerminalOptions {
    bool timeStampLog = false;   // "Time stamp each line" of the data log
    bool showTimeStamps = false; // arrival time in front of each line of the receive window
    bool hexView = false;        // the receive window shows bytes in hex
    bool echoSent = false;       // lines sent appear in the receive window, led by "> "

    friend bool operator==(const TerminalOptions&, const TerminalOptions&) = default;
};

// From the [Terminal] group of the per-user settings file; defaults where it says nothing. An empty
// file name means nowhere.
TerminalOptions loadTerminalOptions(const QString& file);
void saveTerminalOptions(const QString& file, const TerminalOptions& options);
