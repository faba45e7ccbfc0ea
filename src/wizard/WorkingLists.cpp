#include "WorkingLists.h"

#include "ConfigTree.h"
#include "Positional.h"
#include "Records.h"
#include "Unit0.h"

#include <algorithm>
#include <cmath>

namespace wizardlists {

WorkingLists load(const ConfigNode* instrument) {
    WorkingLists lists;
    lists.ChannelRecords = positional::childTexts(positional::channelGroup(instrument));
    lists.LoggingRecords = positional::childTexts(positional::loggingGroup(instrument));
    completeLogging(lists.LoggingRecords);
    return lists;
}

void completeLogging(QStringList& logging) {
    if (logging.size() < 1)
        logging.append(records::defaultHysteresisRecord());
    if (logging.size() < 2)
        logging.append(records::defaultLogSpecRecord());
    if (logging.size() < 3)
        logging.append(records::defaultPassRecord(1));
}

void writeBack(ConfigTree& tree, ConfigNode* instrument, const WorkingLists& lists) {
    // Row by row rather than rebuilt, so the view keeps every node's expansion and the current item.
    if (instrument->childCount() != 2)
        tree.removeChildren(instrument);
    if (instrument->childCount() == 0) {
        tree.appendChild(instrument, QString());
        tree.appendChild(instrument, QString());
    }
    ConfigNode* channels = instrument->child(0);
    ConfigNode* logging = instrument->child(1);
    // Renamed only when a hand-edited file named them otherwise; sorted, the two end up in this order.
    if (channels->text != QLatin1String("Channel Configuration"))
        tree.setText(channels, QStringLiteral("Channel Configuration"));
    if (logging->text != QLatin1String("Data Logging Parameters"))
        tree.setText(logging, QStringLiteral("Data Logging Parameters"));
    tree.setChildTexts(channels, lists.ChannelRecords);
    tree.setChildTexts(logging, lists.LoggingRecords);
}

QStringList channelNumberItems(const QStringList& channelRecords) {
    QStringList items;
    for (const QString& r : channelRecords) {
        if (!r.contains(QLatin1String("SET CHANNEL")))
            continue;
        const qsizetype first = r.indexOf(QLatin1Char(','));
        if (first < 0)
            continue;
        const qsizetype second = r.indexOf(QLatin1Char(','), first + 1);
        const QString address = r.mid(first + 1, second < 0 ? -1 : second - first - 1);
        if (!address.isEmpty())
            items.insert(sortedInsertPosition(items, address), address);
    }
    return items;
}

int sortedInsertPosition(const QStringList& items, const QString& item) {
    return int(std::upper_bound(items.begin(), items.end(), item, wordSortLess) - items.begin());
}

int findChannel(const QStringList& channelRecords, const QString& address) {
    const QString wanted = QStringLiteral("SET CHANNEL,") + address;
    for (int i = 0; i < channelRecords.size(); ++i)
        if (channelRecords[i].contains(wanted))
            return i;
    return -1;
}

int storeChannel(QStringList& channelRecords, int index, const QString& record) {
    if (index >= 0 && index < channelRecords.size()) {
        channelRecords[index] = record;
        return index;
    }
    channelRecords.append(record);
    // Stable, so records equal but for case keep their order and the new one is found after them.
    std::stable_sort(channelRecords.begin(), channelRecords.end(), wordSortLess);
    for (int i = int(channelRecords.size()) - 1; i >= 0; --i)
        if (channelRecords[i] == record)
            return i;
    return -1;
}

void setStageCount(QStringList& logging, int passes) {
    completeLogging(logging);
    while (logging.size() > passes + 2)
        logging.removeLast();
    while (logging.size() < passes + 2)
        logging.append(records::defaultPassRecord(int(logging.size()) - 1));
}

int passesFromText(const QString& text) {
    // The box keeps the text as typed, so "08" and "2.0" must count as the whole numbers they are.
    if (!records::isNumber(text))
        return 1;
    const double n = text.trimmed().toDouble();
    if (n != std::floor(n))
        return 1;
    return int(std::clamp(n, 1.0, 8.0));
}

bool storeStage(QStringList& logging, int stage, const QString& record) {
    const int entry = stage + 1;
    if (stage < 1 || entry >= logging.size())
        return false;
    logging[entry] = record;
    return true;
}

int stageCount(const QStringList& logging) {
    return std::max(0, int(logging.size()) - 2);
}

} // namespace wizardlists

int modifyInstrument(ConfigTree& tree, const QString& key, const std::function<int(WorkingLists&)>& wizard) {
    ConfigNode* instrument = positional::findInstrument(tree, key);
    if (!instrument)
        return -1;
    WorkingLists lists = wizardlists::load(instrument);
    const int result = wizard(lists);
    // The tree is untouched while the wizard is open, so a cancel leaves it exactly as it was.
    if (result != mrCancel)
        wizardlists::writeBack(tree, instrument, lists);
    return result;
}
