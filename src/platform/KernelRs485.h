#pragma once

#include <QByteArray>

#include <functional>
#include <optional>

namespace platform {

// The kernel's RS-485 mode of one open device. The settings are the driver's, not ours: what the
// device had is saved before the first change and put back when the port closes, so the next
// program finds the device as this one did.
class KernelRs485 {
public:
    // The driver's settings block as the kernel passes it (TIOCGRS485 and TIOCSRS485); false when
    // the driver has no RS-485 mode or refuses.
    struct Driver {
        std::function<bool(QByteArray& settings)> get;
        std::function<bool(const QByteArray& settings)> set;
    };

    explicit KernelRs485(Driver driver) : driver(std::move(driver)) {}

    // on: RTS raised while sending and dropped after, the receiver off meanwhile. off: the mode off
    // (a device left in it by another program would deafen a full-duplex line). Returns whether the
    // kernel now drives RTS; false also where the settings cannot be read, since they could not be
    // put back.
    bool set(bool on);
    // Puts back what the device had before the first change, once; nothing if nothing changed.
    void restore();

private:
    Driver driver;
    std::optional<QByteArray> saved;
};

} // namespace platform
