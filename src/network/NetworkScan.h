#pragma once

#include <QList>
#include <QString>

#include <functional>

class TKovComms;

struct ScanHit {
    QString address;
    QString reply;
};

// The time-out of one silent address during a scan, and the link's usual time-out it returns to.
inline constexpr quint16 kScanTimeoutMs = 250;
inline constexpr quint16 kNormalTimeoutMs = 4000;

// Sends the presence query to every address 00..last in ascending order, each read with the short
// time-out; any non-empty reply counts as an instrument. progress(n) runs before address n is asked,
// found() after each answer, stop() after each exchange but the last: true ends the scan there, and
// *lastAsked tells the last address asked. A link that was open and loses its device ends the scan
// after that address's reply, with *linkLost set. The link's time-out is the usual 4000 ms again
// when this returns.
QList<ScanHit> scanNetwork(TKovComms& comms, const QString& prefix, int last,
                           const std::function<void(int)>& progress = {},
                           const std::function<void(const ScanHit&)>& found = {},
                           const std::function<bool()>& stop = {}, int* lastAsked = nullptr,
                           bool* linkLost = nullptr);
// "Instrument Address " + address + " (" + reply + ")".
QString scanResultLine(const ScanHit& hit);
