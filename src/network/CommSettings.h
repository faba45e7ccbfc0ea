#pragma once

#include <QString>

class ConfigTree;
class TForm0;
class TForm2;
struct ConfigNode;
struct SharedSettings;
struct Services;

// The three lines of the settings group as the shared settings give them.
QString portLineText(const SharedSettings& settings);      // "COM1,RS232,9600"
QString prefixLineText(const SharedSettings& settings);    // "Command Prefix,#"
QString separatorLineText(const SharedSettings& settings); // "Data Separator,Tab"

// Rewrites the settings group's three lines from the shared settings, re-sorting them. A tree
// without the group, or with fewer than three lines in it (a hand-edited file), gets the missing
// group and lines added first. Returns the group.
ConfigNode* writeCommSettings(ConfigTree& tree, const SharedSettings& settings);

// writeCommSettings, then the link is reopened with the new settings.
void ApplyCommSettings(ConfigTree& tree, TForm0& form0);

// "Configure &Communications": the link settings dialog and what follows a confirmed showing.
class CommSettingsCommand {
public:
    // Attaches the context help of the dialog's fields to its help box.
    CommSettingsCommand(Services& services, ConfigTree& tree, TForm2& form2);

    // Shows the dialog modally; unless it was cancelled, ApplyCommSettings. Also run by the welcome
    // dialog and the new-configuration sequence. Returns true when confirmed.
    bool Form2Show();

private:
    Services& services;
    ConfigTree& tree;
    TForm2& form2;
};
