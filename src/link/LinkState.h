#pragma once

#include "SerialPort.h"

#include <QString>

// The link as the user should see it: which device the COM name stands for, with which settings,
// and whether it is open, and if not, why. The status field, the link settings dialog and the
// operations read it; the link keeps it up to date.
struct LinkState {
    enum class Condition { Closed, Open, NotOpen, Lost };
    // Who drives RTS as transmit enable: nobody on RS232, the kernel's RS-485 mode where the driver
    // has one, else the link around each write.
    enum class Drive { None, Kernel, Rts };

    QString comName;     // "COM1"
    QString device;      // the path it stands for
    QString description; // the device's own description, when known
    QString notice;      // something the user should know about the open port
    QString protocol;    // "RS232", "RS422", "RS485"
    qint32 baud = 0;
    Condition condition = Condition::Closed;
    Drive drive = Drive::None;
    platform::PortProblem problem; // why it is not open
};

// One line for the status bar: "COM1 /dev/ttyUSB0 (FT232R USB UART) RS485 9600, RTS by kernel",
// "COM1 /dev/ttyUSB0: not open (permission denied)".
// Texts from outside (paths, descriptions, process names) are cut to a readable length there.
QString linkStatusText(const LinkState& state);
// What the user can do about a port that did not open; empty when it is open.
QString linkFailureMessage(const LinkState& state);
