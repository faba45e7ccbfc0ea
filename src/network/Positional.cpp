#include "Positional.h"

namespace positional {

ConfigNode* settingsGroup(const ConfigTree& tree) {
    return tree.firstRoot();
}

ConfigNode* settingsLine(const ConfigTree& tree, int i) {
    const ConfigNode* group = settingsGroup(tree);
    return group ? group->child(i) : nullptr;
}

QList<ConfigNode*> instruments(const ConfigTree& tree) {
    QList<ConfigNode*> out;
    for (int i = 1; i < tree.rootCount(); ++i)
        out.append(tree.rootAt(i));
    return out;
}

QString instrumentAddress(const ConfigNode* instrument) {
    return instrument ? instrument->text.mid(kAddressPrefixLength, 2) : QString();
}

QString listEntry(const ConfigNode* instrument) {
    return instrument ? instrument->text.mid(kAddressPrefixLength) : QString();
}

QStringList listEntries(const ConfigTree& tree) {
    QStringList out;
    for (const ConfigNode* n : instruments(tree))
        out.append(listEntry(n));
    return out;
}

ConfigNode* findInstrument(const ConfigTree& tree, const QString& entry) {
    if (entry.isEmpty())
        return nullptr;
    for (ConfigNode* n : instruments(tree))
        if (n->text.contains(entry))
            return n;
    return nullptr;
}

ConfigNode* channelGroup(const ConfigNode* instrument) {
    return instrument ? instrument->child(0) : nullptr;
}

ConfigNode* loggingGroup(const ConfigNode* instrument) {
    return instrument ? instrument->child(1) : nullptr;
}

QStringList childTexts(const ConfigNode* node) {
    QStringList out;
    if (node)
        for (const auto& c : node->children)
            out.append(c->text);
    return out;
}

QString instrumentNodeText(const QString& address, const QString& identification) {
    return QStringLiteral("Instrument Address ") + address + QStringLiteral(" (") + identification +
           QLatin1Char(')');
}

} // namespace positional
