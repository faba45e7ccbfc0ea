#include "CommSettings.h"

#include "ConfigTree.h"
#include "FieldEvents.h"
#include "Positional.h"
#include "Unit0.h"
#include "Unit2.h"

QString portLineText(const SharedSettings& settings) {
    // Each part only for a known index, as the instruments' configuration files spell them.
    QString text = comPortText(settings.HostComPort);
    const QString protocol = comProtocolText(settings.HostComProtocol);
    if (!protocol.isEmpty())
        text += QLatin1Char(',') + protocol;
    const QString speed = comSpeedText(settings.HostComSpeed);
    if (!speed.isEmpty())
        text += QLatin1Char(',') + speed;
    return text;
}

QString prefixLineText(const SharedSettings& settings) {
    return QStringLiteral("Command Prefix,") + settings.HostCommandPrefix;
}

QString separatorLineText(const SharedSettings& settings) {
    return QStringLiteral("Data Separator,") + settings.HostDataSeparator.Name;
}

ConfigNode* writeCommSettings(ConfigTree& tree, const SharedSettings& settings) {
    ConfigNode* group = positional::settingsGroup(tree);
    if (!group)
        group = tree.appendRoot(QStringLiteral("Communication Settings"));
    while (group->childCount() < 3)
        tree.appendChild(group, QString());
    // Take the three lines before any is rewritten: each rewrite re-sorts the group.
    ConfigNode* port = positional::settingsLine(tree, 0);
    ConfigNode* prefix = positional::settingsLine(tree, 1);
    ConfigNode* separator = positional::settingsLine(tree, 2);
    tree.setText(port, portLineText(settings));
    tree.setText(prefix, prefixLineText(settings));
    tree.setText(separator, separatorLineText(settings));
    return group;
}

void ApplyCommSettings(ConfigTree& tree, TForm0& form0) {
    writeCommSettings(tree, form0.Settings);
    form0.ApplySettings();
}

CommSettingsCommand::CommSettingsCommand(Services& services, ConfigTree& tree, TForm2& form2)
    : services(services), tree(tree), form2(form2) {
    for (const auto& [field, topic] : form2.helpTopics())
        showHelpOnEnter(field, services.form0, form2.Memo1(), topic);
    for (const auto& [label, field] : form2.labelFields())
        focusOnLabelClick(label, field);
}

bool CommSettingsCommand::Form2Show() {
    if (form2.exec() != QDialog::Accepted)
        return false;
    ApplyCommSettings(tree, services.form0);
    return true;
}
