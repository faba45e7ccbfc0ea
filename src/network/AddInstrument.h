#pragma once

#include "Unit0.h"

#include <QObject>
#include <QString>

#include <functional>

class ConfigTree;
class InstrumentPicker;
class QWidget;

// The four fields of the add dialog as typed.
struct InstrumentFields {
    QString presentAddress; // Edit2a
    QString presentMode;    // Edit2b: 0 RS232, 1 RS422, 2 RS485
    QString presentSpeed;   // Edit2c: 0..7 for 600 .. 57600
    QString newAddress;     // Edit4
};

enum class FieldError { None, PresentAddress, PresentMode, PresentSpeed, NewAddress };

// Two hexadecimal digits, and not 00: address 00 is where a new instrument waits to be found.
bool isValidNewAddress(const QString& text);
// The first bad field in the order the dialog reports them.
FieldError checkInstrumentFields(const InstrumentFields& fields);
QString fieldErrorMessage(FieldError error);

enum class FindOutcome { InvalidField, NoResponse, WrongType, Located };

// "Find Instrument": checks the fields, asks the instrument for its identification at its present line
// mode and speed, goes back to the network settings, and tells the user. A located instrument's reply,
// as received but without NUL bytes, becomes InstrumentIdentification; every other outcome leaves it
// empty.
FindOutcome findInstrument(Services& svc, QWidget* parent, const InstrumentFields& fields);

enum class AddOutcome { Refused, Duplicate, Added };

// Adds the instrument found with these fields: its node and default records, then its set-up lines at
// its present settings and SAVE at the network settings, then the full sort. Fields that would not pass
// the find's checks are refused before anything is changed or sent.
AddOutcome addInstrument(Services& svc, ConfigTree& tree, StatusReporter& status,
                         const InstrumentFields& fields, QWidget* parent = nullptr,
                         QWidget* treeView = nullptr);

// The add dialog as the add command sees it.
class AddInstrumentDialog {
public:
    virtual ~AddInstrumentDialog() = default;
    // mrOk or mrCancel.
    virtual int showModal() = 0;
    virtual InstrumentFields fields() const = 0;
};

// The Edit menu's add and delete commands.
class InstrumentCommands : public QObject {
    Q_OBJECT
public:
    InstrumentCommands(Services& svc, ConfigTree& tree, StatusReporter& status, AddInstrumentDialog& dialog,
                       QWidget* treeView = nullptr, QObject* parent = nullptr);

    void EditAddItemClick();
    void EditDeleteItemClick(InstrumentPicker& picker);

    // Opens the wizard on the instrument just added; it finds the node by newInstrumentAddress() + " ("
    // + InstrumentIdentification + ")" and sets LastModalResult itself. Unset: the add ends after the
    // sort.
    std::function<void()> runWizardForNewInstrument;
    // The new address of the last add that got past its dialog.
    QString newInstrumentAddress() const { return lastNewAddress; }

private:
    Services& svc;
    ConfigTree& tree;
    StatusReporter& status;
    AddInstrumentDialog& dialog;
    QWidget* treeView;
    QString lastNewAddress;
};
