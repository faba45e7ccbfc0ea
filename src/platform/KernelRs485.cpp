#include "KernelRs485.h"

#include <cstring>

#ifdef Q_OS_LINUX
#include <linux/serial.h>
#endif

namespace platform {

bool KernelRs485::set(bool on) {
#ifdef Q_OS_LINUX
    QByteArray current;
    if (!driver.get || !driver.set || !driver.get(current) ||
        current.size() != qsizetype(sizeof(serial_rs485)))
        return false;
    serial_rs485 rs{};
    std::memcpy(&rs, current.constData(), sizeof rs);
    const quint32 modeFlags =
        SER_RS485_ENABLED | SER_RS485_RTS_ON_SEND | SER_RS485_RTS_AFTER_SEND | SER_RS485_RX_DURING_TX;
    if (on) {
        rs.flags = (rs.flags & ~modeFlags) | SER_RS485_ENABLED | SER_RS485_RTS_ON_SEND;
        rs.delay_rts_before_send = 0;
        rs.delay_rts_after_send = 0;
    } else {
        rs.flags &= ~quint32(SER_RS485_ENABLED);
    }
    const QByteArray wanted(reinterpret_cast<const char*>(&rs), sizeof rs);
    if (wanted == current)
        return on;
    if (!saved)
        saved = current;
    return driver.set(wanted) && on;
#else
    Q_UNUSED(on);
    return false;
#endif
}

void KernelRs485::restore() {
    if (!saved)
        return;
    if (driver.set)
        driver.set(*saved);
    saved.reset();
}

} // namespace platform
