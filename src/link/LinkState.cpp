#include "LinkState.h"

namespace {

QString shortReason(const LinkState& s) {
    using P = platform::PortProblem;
    switch (s.problem.kind) {
    case P::NoDevice:
        return QStringLiteral("no device chosen");
    case P::Missing:
        return QStringLiteral("no such device");
    case P::PermissionDenied:
        return QStringLiteral("permission denied");
    case P::Busy:
        return s.problem.holder.isEmpty() ? QStringLiteral("in use by another program")
                                          : QStringLiteral("in use by ") + s.problem.holder;
    case P::NotATerminal:
        return QStringLiteral("not a serial port");
    case P::Other:
        return s.problem.system.isEmpty() ? QStringLiteral("failed") : s.problem.system;
    case P::None:
        break;
    }
    return QStringLiteral("failed");
}

QString portName(const LinkState& s) {
    return s.device.isEmpty() ? s.comName : s.comName + QLatin1Char(' ') + s.device;
}

} // namespace

QString linkStatusText(const LinkState& s) {
    switch (s.condition) {
    case LinkState::Condition::Closed:
        return portName(s) + QStringLiteral(": closed");
    case LinkState::Condition::Lost:
        return portName(s) + QStringLiteral(": device gone, waiting for it to return");
    case LinkState::Condition::NotOpen:
        return portName(s) + QStringLiteral(": not open (") + shortReason(s) + QLatin1Char(')');
    case LinkState::Condition::Open:
        break;
    }
    QString text = portName(s);
    if (!s.description.isEmpty())
        text += QStringLiteral(" (") + s.description + QLatin1Char(')');
    text += QLatin1Char(' ') + s.protocol + QLatin1Char(' ') + QString::number(s.baud);
    if (s.drive == LinkState::Drive::Kernel)
        text += QStringLiteral(", RTS by kernel");
    else if (s.drive == LinkState::Drive::Rts)
        text += QStringLiteral(", RTS toggled");
    return text;
}

QString linkFailureMessage(const LinkState& s) {
    if (s.condition == LinkState::Condition::Open || s.condition == LinkState::Condition::Closed)
        return QString();
    if (s.condition == LinkState::Condition::Lost)
        return portName(s) +
               QStringLiteral(" has gone away. The link opens again by itself when it returns.");
    const QString head = portName(s) + QStringLiteral(" cannot be opened: ");
    using P = platform::PortProblem;
    switch (s.problem.kind) {
    case P::NoDevice:
        return s.comName + QStringLiteral(" stands for no device. Choose one in the link settings.");
    case P::Missing:
        return head + QStringLiteral("there is no such device. The adapter is not plugged in, or the name is "
                                     "wrong: choose the device in the link settings.");
    case P::PermissionDenied: {
        const QString group = s.problem.group.isEmpty() ? QStringLiteral("dialout") : s.problem.group;
        return head +
               QStringLiteral("permission denied. The device belongs to the group \"%1\"; join it with\n"
                              "    sudo usermod -aG %1 $USER\nand log in again.")
                   .arg(group);
    }
    case P::Busy:
        return head + QStringLiteral("another program holds it") +
               (s.problem.holder.isEmpty() ? QString()
                                           : QStringLiteral(" (") + s.problem.holder + QLatin1Char(')')) +
               QStringLiteral(". Close that program, or choose another device.");
    case P::NotATerminal:
        return head + QStringLiteral("it is not a serial port (not a terminal).");
    case P::Other:
    case P::None:
        break;
    }
    return head + (s.problem.system.isEmpty() ? QStringLiteral("unknown reason.")
                                              : s.problem.system + QLatin1Char('.'));
}
