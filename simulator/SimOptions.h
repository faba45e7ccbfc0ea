#pragma once

#include "SimInstrument.h"
#include "SimNetwork.h"

#include <QString>
#include <QStringList>

#include <memory>

namespace sim {

// Instrument descriptions as the sim917 program takes them: items separated by ";", each a key
// with a value or a bare fault name, e.g. "address=01;baud=19200;id=917 Version 2.00;delay=300".
//
//   address=HH  id=TEXT  prefix=C  mode=232|422|485  baud=600..57600  separator=@dd@dd
//   record=SET ...  (a saved record; repeatable)  seed=N
//   faults: silent  silent-from=N (from the Nth command framed for it on)  delay=MS  nolf  empty  garbage
//   pieces=N  gap=MS  unsolicited=MS
//           unsolicited-text=TEXT  vanish=N (halfway through the reply to the Nth command)
//
// Applies one key to config; returns an error text, empty when it was accepted.
QString applyInstrumentOption(InstrumentConfig& config, const QString& key, const QString& value);
// A whole description; on error returns false and says why.
bool parseInstrumentDescription(const QString& description, InstrumentConfig& config, QString* error);

// The network demo mode starts: a factory-new instrument at 00 and a configured one at 05 with
// channels and a logging set-up, both RS232 at 9600 baud.
QList<InstrumentConfig> demoInstruments();

class SimPtyServer;
// Starts the demo network on a pseudo-terminal; null, with the reason, when it cannot.
std::unique_ptr<SimPtyServer> startDemoServer(QString* error);

} // namespace sim
