#include "InstrumentChoice.h"

#include "Positional.h"

InstrumentChoiceResult chooseInstrument(InstrumentPicker& picker, const ConfigTree& tree,
                                        const QString& caption, int helpContext) {
    InstrumentChoiceResult r;
    r.modalResult = picker.pick(caption, helpContext, positional::listEntries(tree), r.entry);
    if (r.modalResult != mrOk || r.entry.isEmpty())
        return r;
    r.node = positional::findInstrument(tree, r.entry);
    return r;
}
