#include "NetworkScan.h"

#include "KovComms.h"
#include "Positional.h"
#include "SetupCommands.h"

namespace {

// The usual time-out comes back however the scan ends.
class ScanTimeout {
public:
    explicit ScanTimeout(TKovComms& comms) : comms(comms) { comms.setOutputTimeout(kScanTimeoutMs); }
    ~ScanTimeout() { comms.setOutputTimeout(kNormalTimeoutMs); }
    ScanTimeout(const ScanTimeout&) = delete;
    ScanTimeout& operator=(const ScanTimeout&) = delete;

private:
    TKovComms& comms;
};

} // namespace

QList<ScanHit> scanNetwork(TKovComms& comms, const QString& prefix, int last,
                           const std::function<void(int)>& progress,
                           const std::function<void(const ScanHit&)>& found,
                           const std::function<bool()>& stop, int* lastAsked, bool* linkLost) {
    QList<ScanHit> hits;
    const ScanTimeout timeout(comms);
    // A closed link answers nothing at once, as the rules want; one that goes away mid-scan would
    // report the rest of the network as silent.
    const bool wasOpen = comms.IsOpen();
    if (linkLost)
        *linkLost = false;
    for (int n = 0; n <= qMin(last, 255); ++n) {
        if (n > 0 && stop && stop())
            break;
        if (lastAsked)
            *lastAsked = n;
        if (progress)
            progress(n);
        const QString address = setup::addressText(n);
        comms.SendText(setup::presenceQuery(prefix, address));
        const QString reply = comms.ReadReply();
        if (!reply.isEmpty()) {
            hits.append({address, reply});
            if (found)
                found(hits.last());
        }
        if (wasOpen && !comms.IsOpen()) {
            if (linkLost)
                *linkLost = true;
            break;
        }
    }
    return hits;
}

QString scanResultLine(const ScanHit& hit) {
    return positional::instrumentNodeText(hit.address, hit.reply);
}
