#pragma once

#include "ConfigTree.h"

#include <QList>
#include <QString>

// The positional contract of the configuration tree: every command finds what it needs by position
// and fixed text. On a tree that breaks the layout (a hand-edited file) these answer null or empty.
namespace positional {

inline constexpr int kAddressPrefixLength = 19; // "Instrument Address "

ConfigNode* settingsGroup(const ConfigTree& tree);
// 0 the port line, 1 the prefix line, 2 the separator line.
ConfigNode* settingsLine(const ConfigTree& tree, int i);
// The roots after the settings group, in tree order.
QList<ConfigNode*> instruments(const ConfigTree& tree);
// Characters 20 and 21 of the node text.
QString instrumentAddress(const ConfigNode* instrument);
// The node text less its first 19 characters: address, " (", identification, ")".
QString listEntry(const ConfigNode* instrument);
QStringList listEntries(const ConfigTree& tree);
// The first instrument whose text contains the entry; null for an empty entry or no match.
ConfigNode* findInstrument(const ConfigTree& tree, const QString& entry);
ConfigNode* channelGroup(const ConfigNode* instrument);
ConfigNode* loggingGroup(const ConfigNode* instrument);
QStringList childTexts(const ConfigNode* node);
QString instrumentNodeText(const QString& address, const QString& identification);

} // namespace positional
