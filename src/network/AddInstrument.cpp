#include "AddInstrument.h"

#include "ConfigTree.h"
#include "Dialogs.h"
#include "InstrumentChoice.h"
#include "Positional.h"
#include "SetupCommands.h"
#include "Sound.h"

#include <QCoreApplication>
#include <QWidget>

namespace {

bool isDigitIn(const QString& text, char first, char last) {
    return text.size() == 1 && text[0] >= QLatin1Char(first) && text[0] <= QLatin1Char(last);
}

// One exchange: the line, then one reply line (empty after the time-out).
QString exchange(TKovComms& comms, const QString& line) {
    comms.SendText(line);
    return comms.ReadReply();
}

// The link at the instrument's present line mode and speed, on the port the network uses.
void usePresentSettings(TKovComms& comms, const InstrumentFields& fields) {
    comms.setComMode(TComMode(fields.presentMode.toInt()));
    comms.setComSpeed(TComSpeed(fields.presentSpeed.toInt()));
}

} // namespace

bool isValidNewAddress(const QString& text) {
    return setup::isHexAddress(text) && text != QLatin1String("00");
}

FieldError checkInstrumentFields(const InstrumentFields& f) {
    if (!setup::isHexAddress(f.presentAddress))
        return FieldError::PresentAddress;
    if (!isDigitIn(f.presentMode, '0', '2'))
        return FieldError::PresentMode;
    if (!isDigitIn(f.presentSpeed, '0', '7'))
        return FieldError::PresentSpeed;
    if (!isValidNewAddress(f.newAddress))
        return FieldError::NewAddress;
    return FieldError::None;
}

QString fieldErrorMessage(FieldError error) {
    switch (error) {
    case FieldError::PresentAddress:
        return QCoreApplication::translate(
            "InstrumentCommands", "Error detected in the address of the current instrument configuration");
    case FieldError::PresentMode:
        return QCoreApplication::translate(
            "InstrumentCommands", "Error detected in the mode of the current instrument configuration");
    case FieldError::PresentSpeed:
        return QCoreApplication::translate(
            "InstrumentCommands", "Error detected in the baud rate of the current instrument configuration");
    case FieldError::NewAddress:
        return QCoreApplication::translate("InstrumentCommands",
                                           "Error detected in the new instrument address");
    case FieldError::None:
        break;
    }
    return QString();
}

FindOutcome findInstrument(Services& svc, QWidget* parent, const InstrumentFields& fields) {
    SharedSettings& s = svc.settings();
    s.InstrumentIdentification.clear();
    svc.form0.RX.clear();

    if (const FieldError e = checkInstrumentFields(fields); e != FieldError::None) {
        svc.sound.beep();
        svc.dialogs.error(parent, fieldErrorMessage(e));
        return FindOutcome::InvalidField;
    }

    TKovComms& comms = svc.comms();
    usePresentSettings(comms, fields);
    comms.Open();
    // Kept as received but for NUL, the one character that would end the saved file's text (CR and LF
    // never reach a reply); the checks below see the rest.
    QString reply = exchange(comms, setup::identificationQuery(fields.presentAddress));
    reply.remove(QChar(u'\0'));
    svc.form0.ApplySettings();

    svc.sound.beep();
    if (reply.isEmpty()) {
        svc.dialogs.error(
            parent, QCoreApplication::translate(
                        "InstrumentCommands",
                        "No response received from the instrument, please check settings and try again"));
        return FindOutcome::NoResponse;
    }
    if (!reply.contains(QLatin1String("917 Version"), Qt::CaseSensitive)) {
        svc.dialogs.error(parent, QCoreApplication::translate(
                                      "InstrumentCommands",
                                      "Instrument type does not match, please check settings and try again"));
        return FindOutcome::WrongType;
    }
    svc.dialogs.information(
        parent, QCoreApplication::translate("InstrumentCommands", "Instrument '#%1 %2' has been located")
                    .arg(fields.presentAddress, reply));
    s.InstrumentIdentification = reply;
    return FindOutcome::Located;
}

AddOutcome addInstrument(Services& svc, ConfigTree& tree, StatusReporter& status,
                         const InstrumentFields& fields, QWidget* parent, QWidget* treeView) {
    if (checkInstrumentFields(fields) != FieldError::None)
        return AddOutcome::Refused;
    const SharedSettings& s = svc.settings();

    for (const ConfigNode* n : positional::instruments(tree)) {
        if (positional::instrumentAddress(n).contains(fields.newAddress)) {
            svc.sound.tone(500, 100);
            svc.dialogs.error(
                parent,
                QCoreApplication::translate(
                    "InstrumentCommands",
                    "Not adding instrument because an instrument with the defined address already exists"));
            return AddOutcome::Duplicate;
        }
    }

    ConfigNode* node =
        tree.appendRoot(positional::instrumentNodeText(fields.newAddress, s.InstrumentIdentification));

    // No event loop runs until the sequence ends, so every change of the status bar repaints itself.
    status.setStatusText(QCoreApplication::translate("InstrumentCommands",
                                                     "Please wait - adding the instrument to the network"));
    status.setProgressRange(10);
    status.setProgressPosition(0);
    status.setProgressVisible(true);
    status.setProgressPosition(1);

    tree.appendChild(node, QStringLiteral("Channel Configuration"));
    status.setProgressPosition(2);
    ConfigNode* logging = tree.appendChild(node, QStringLiteral("Data Logging Parameters"));
    status.setProgressPosition(3);
    tree.appendChild(logging, QStringLiteral("SET HYSTERISES,0"));
    status.setProgressPosition(4);
    tree.appendChild(logging, QStringLiteral("SET LOGSPEC,1,1,OFF,OFF,COMM,ASCII,ON,OFF"));
    status.setProgressPosition(5);
    tree.appendChild(logging, QStringLiteral("SET PASS,1,1,0,IMM,,,,BURST,1,,"));

    TKovComms& comms = svc.comms();
    comms.Close();
    usePresentSettings(comms, fields);
    comms.Open();
    status.setProgressPosition(6);

    // Replies are acknowledgements only; a silent instrument costs the time-out and nothing else.
    const QString& prefix = s.HostCommandPrefix;
    exchange(comms, setup::setCommandPrefix(fields.presentAddress, prefix));
    status.setProgressPosition(7);
    exchange(comms, setup::setDelimiters(prefix, fields.presentAddress, s.HostDataSeparator.Code));
    status.setProgressPosition(8);
    exchange(comms, setup::setComms(prefix, fields.presentAddress, fields.newAddress, s.HostComProtocol,
                                    s.HostComSpeed));
    status.setProgressPosition(9);

    // The instrument now listens at the network settings and its new address.
    svc.form0.ApplySettings();
    status.setProgressPosition(10);
    exchange(comms, setup::save(prefix, fields.newAddress));

    tree.sortAll();
    if (treeView)
        treeView->repaint();
    status.setProgressVisible(false);
    status.setStatusText(QString());
    svc.form0.ApplySettings();
    return AddOutcome::Added;
}

InstrumentCommands::InstrumentCommands(Services& svc, ConfigTree& tree, StatusReporter& status,
                                       AddInstrumentDialog& dialog, QWidget* treeView, QObject* parent)
    : QObject(parent), svc(svc), tree(tree), status(status), dialog(dialog), treeView(treeView) {}

void InstrumentCommands::EditAddItemClick() {
    SharedSettings& s = svc.settings();
    s.LastModalResult = dialog.showModal();
    if (s.LastModalResult != mrOk)
        return;
    const InstrumentFields fields = dialog.fields();
    lastNewAddress = fields.newAddress;
    QWidget* parent = treeView ? treeView->window() : nullptr;
    if (addInstrument(svc, tree, status, fields, parent, treeView) != AddOutcome::Added)
        return;
    if (!runWizardForNewInstrument)
        return;
    runWizardForNewInstrument();
    svc.form0.ApplySettings();
}

void InstrumentCommands::EditDeleteItemClick(InstrumentPicker& picker) {
    const InstrumentChoiceResult r =
        chooseInstrument(picker, tree, tr("Delete Instrument Configuration"), 3002);
    if (r.node)
        tree.removeNode(r.node);
}
