#include "LinkState.h"

#include <QCoreApplication>

namespace {

// A path or name from outside may be any length; the status field stays one readable line.
QString elided(const QString& text) {
    constexpr qsizetype kMost = 80;
    if (text.size() <= kMost)
        return text;
    return text.left(kMost / 2 - 1) + QChar(0x2026) + text.right(kMost / 2);
}

QString shortReason(const LinkState& s) {
    using P = platform::PortProblem;
    switch (s.problem.kind) {
    case P::NoDevice:
        return QCoreApplication::translate("LinkState", "no device chosen");
    case P::Missing:
        return QCoreApplication::translate("LinkState", "no such device");
    case P::PermissionDenied:
        return QCoreApplication::translate("LinkState", "permission denied");
    case P::Busy:
        return s.problem.holder.isEmpty()
                   ? QCoreApplication::translate("LinkState", "in use by another program")
                   : QCoreApplication::translate("LinkState", "in use by %1").arg(elided(s.problem.holder));
    case P::NotATerminal:
        return QCoreApplication::translate("LinkState", "not a serial port");
    case P::Other:
        return s.problem.system.isEmpty() ? QCoreApplication::translate("LinkState", "failed")
                                          : elided(s.problem.system);
    case P::None:
        break;
    }
    return QCoreApplication::translate("LinkState", "failed");
}

QString portName(const LinkState& s) {
    return s.device.isEmpty() ? s.comName : s.comName + QLatin1Char(' ') + elided(s.device);
}

} // namespace

QString linkStatusText(const LinkState& s) {
    switch (s.condition) {
    case LinkState::Condition::Closed:
        return QCoreApplication::translate("LinkState", "%1: closed").arg(portName(s));
    case LinkState::Condition::Lost:
        return QCoreApplication::translate("LinkState", "%1: device gone, waiting for it to return")
            .arg(portName(s));
    case LinkState::Condition::NotOpen:
        return QCoreApplication::translate("LinkState", "%1: not open (%2)").arg(portName(s), shortReason(s));
    case LinkState::Condition::Open:
        break;
    }
    QString text = portName(s);
    if (!s.description.isEmpty())
        text += QStringLiteral(" (") + elided(s.description) + QLatin1Char(')');
    text += QLatin1Char(' ') + s.protocol + QLatin1Char(' ') + QString::number(s.baud);
    if (s.drive == LinkState::Drive::Kernel)
        text += QCoreApplication::translate("LinkState", ", RTS by kernel");
    else if (s.drive == LinkState::Drive::Rts)
        text += QCoreApplication::translate("LinkState", ", RTS toggled");
    if (!s.notice.isEmpty())
        text += QStringLiteral(", ") + elided(s.notice);
    return text;
}

QString linkFailureMessage(const LinkState& s) {
    if (s.condition == LinkState::Condition::Open || s.condition == LinkState::Condition::Closed)
        return QString();
    if (s.condition == LinkState::Condition::Lost)
        return QCoreApplication::translate(
                   "LinkState", "%1 has gone away. The link opens again by itself when it returns.")
            .arg(portName(s));
    const auto cannotOpen = [&s](const QString& reason) {
        return QCoreApplication::translate("LinkState", "%1 cannot be opened: %2").arg(portName(s), reason);
    };
    using P = platform::PortProblem;
    switch (s.problem.kind) {
    case P::NoDevice:
        return QCoreApplication::translate("LinkState",
                                           "%1 stands for no device. Choose one in the link settings.")
            .arg(s.comName);
    case P::Missing:
        return cannotOpen(QCoreApplication::translate(
            "LinkState", "there is no such device. The adapter is not plugged in, or the name is "
                         "wrong: choose the device in the link settings."));
    case P::PermissionDenied:
        // A group is named only where joining it helps: one with read and write that is not root's.
        if (s.problem.group.isEmpty())
            return cannotOpen(QCoreApplication::translate(
                "LinkState", "permission denied. Only its owner may open it: the system administrator "
                             "(or a udev rule) has to give access to it."));
        return cannotOpen(QCoreApplication::translate(
                              "LinkState",
                              "permission denied. The device belongs to the group \"%1\"; join it with\n"
                              "    sudo usermod -aG %1 $USER\nand log in again.")
                              .arg(s.problem.group));
    case P::Busy:
        return cannotOpen(
            s.problem.holder.isEmpty()
                ? QCoreApplication::translate(
                      "LinkState", "another program holds it. Close that program, or choose another device.")
                : QCoreApplication::translate(
                      "LinkState",
                      "another program holds it (%1). Close that program, or choose another device.")
                      .arg(s.problem.holder));
    case P::NotATerminal:
        return cannotOpen(
            QCoreApplication::translate("LinkState", "it is not a serial port (not a terminal)."));
    case P::Other:
    case P::None:
        break;
    }
    return cannotOpen(s.problem.system.isEmpty() ? QCoreApplication::translate("LinkState", "unknown reason.")
                                                 : s.problem.system + QLatin1Char('.'));
}
