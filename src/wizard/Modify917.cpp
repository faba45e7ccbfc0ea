#include "Modify917.h"

#include "ConfigTree.h"
#include "InstrumentChoice.h"
#include "Unit6.h"
#include "WorkingLists.h"

Modify917Command::Modify917Command(Services& services, ConfigTree& tree, TForm6& wizard,
                                   InstrumentPicker& picker, QObject* parent)
    : QObject(parent), svc(services), tree(tree), wizard(wizard), picker(picker) {}

QString Modify917Command::addedInstrumentKey(const QString& address, const QString& identification) {
    return address + QStringLiteral(" (") + identification + QLatin1Char(')');
}

void Modify917Command::Modify917Configuration(QObject* sender, const QString& addedKey) {
    QString key = addedKey;
    if (sender) {
        const InstrumentChoiceResult choice =
            chooseInstrument(picker, tree, tr("Modify 917 Configuration"), 3003);
        svc.settings().LastModalResult = choice.modalResult;
        if (choice.modalResult != mrOk || choice.entry.isEmpty())
            return;
        key = choice.entry;
    }
    if (key.isEmpty())
        return;
    const int result = modifyInstrument(tree, key, [this](WorkingLists& lists) {
        wizard.ChannelRecords = lists.ChannelRecords;
        wizard.LoggingRecords = lists.LoggingRecords;
        wizard.LoadChannelNumberBox();
        int r = wizard.exec();
        // Anything but OK and Exit discards the edits.
        if (r != mrOk && r != mrAbort)
            r = mrCancel;
        lists.ChannelRecords = wizard.ChannelRecords;
        lists.LoggingRecords = wizard.LoggingRecords;
        wizard.ChannelRecords.clear();
        wizard.LoggingRecords.clear();
        return r;
    });
    if (result >= 0)
        svc.settings().LastModalResult = result;
}
