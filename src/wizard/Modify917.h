#pragma once

#include "Unit0.h"

#include <QObject>
#include <QString>

class ConfigTree;
class InstrumentPicker;
class TForm6;

// "Modify 917 Configuration": opens the wizard for one instrument of the tree and writes its records
// back on OK or Exit.
class Modify917Command : public QObject {
    Q_OBJECT
public:
    Modify917Command(Services& services, ConfigTree& tree, TForm6& wizard, InstrumentPicker& picker,
                     QObject* parent = nullptr);

    // With a sender (the Edit menu) the instrument is chosen in the instrument-choice dialog; without
    // one the add-instrument command names the instrument it has just added by its key.
    void Modify917Configuration(QObject* sender, const QString& addedKey = QString());
    // The key of an instrument just added: address + " (" + identification + ")".
    static QString addedInstrumentKey(const QString& address, const QString& identification);

private:
    Services& svc;
    ConfigTree& tree;
    TForm6& wizard;
    InstrumentPicker& picker;
};
