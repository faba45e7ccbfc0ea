#pragma once

#include "Unit0.h"

#include <QString>
#include <QStringList>

class ConfigTree;
struct ConfigNode;

// The instrument-choice dialog as the commands see it (delete, print, modify, program).
class InstrumentPicker {
public:
    virtual ~InstrumentPicker() = default;
    // Shows the entries with the first selected (none when empty); returns mrOk or mrCancel and the
    // selected text (empty when nothing is selected).
    virtual int pick(const QString& caption, int helpContext, const QStringList& entries,
                     QString& selected) = 0;
};

struct InstrumentChoiceResult {
    int modalResult = mrCancel;
    QString entry;
    ConfigNode* node = nullptr; // null on cancel, an empty choice, or no match
};

// Fills the picker with the list entries of the instruments in tree order, shows it and maps the
// chosen entry back to the first instrument whose text contains it.
InstrumentChoiceResult chooseInstrument(InstrumentPicker& picker, const ConfigTree& tree,
                                        const QString& caption, int helpContext);
