#pragma once

#include <QString>
#include <QStringList>

#include <functional>

class ConfigTree;
struct ConfigNode;

// The two lists the wizard edits while it is open, and the rules that keep them in shape.
struct WorkingLists {
    QStringList ChannelRecords;
    QStringList LoggingRecords; // 0 hysteresis, 1 LOGSPEC, k + 1 stage k
};

namespace wizardlists {

// The instrument's two groups by position, in tree order; a missing group counts as empty. The
// logging group is completed with default records to at least three entries.
WorkingLists load(const ConfigNode* instrument);
// Fills the logging list up to the hysteresis, LOGSPEC and stage 1 records.
void completeLogging(QStringList& logging);
// Replaces every child of the instrument with the two groups built from the lists, in list order.
void writeBack(ConfigTree& tree, ConfigNode* instrument, const WorkingLists& lists);

// The channel number box's items: the address field of every channel record, sorted.
QStringList channelNumberItems(const QStringList& channelRecords);
// Where a new item goes in a sorted item list.
int sortedInsertPosition(const QStringList& items, const QString& item);

// Index of the first record that contains "SET CHANNEL," + address; -1 when none.
int findChannel(const QStringList& channelRecords, const QString& address);
// Replaces the record at index, or appends it and sorts the list when index is -1. Returns the
// record's index afterwards.
int storeChannel(QStringList& channelRecords, int index, const QString& record);

// Stage records after the first two entries: removes those beyond n stages, appends defaults up to n.
void setStageCount(QStringList& logging, int passes);
// The Number of Passes box as a stage count: 1 to 8, 1 for anything that is not a whole number.
int passesFromText(const QString& text);
// Stores stage `stage` (1-based) at its own entry; refuses a stage outside the list.
bool storeStage(QStringList& logging, int stage, const QString& record);
// Number of stages held by the logging list.
int stageCount(const QStringList& logging);

} // namespace wizardlists

// The modify command without its windows: finds the instrument by key, loads the lists, lets the
// wizard edit them and writes them back unless the result is cancel. Returns the wizard's result, or
// -1 when no instrument matches the key (the wizard then does not open).
int modifyInstrument(ConfigTree& tree, const QString& key, const std::function<int(WorkingLists&)>& wizard);
