#pragma once

#include "FakeDialogs.h"
#include "FakeSerialPort.h"
#include "Main.h"

#include <memory>

// What a main window under test is built from: a scripted port on the test's clock, recorded dialogs
// and sounds, and a folder of the test's own as the program's folder. The port stays reachable
// through portOut.
inline MainFormDeps fakeMainFormDeps(FakeClock& clock, FakeDialogs& dialogs, platform::Sound& sound,
                                     const QString& folder, FakeSerialPort** portOut = nullptr) {
    MainFormDeps deps;
    auto port = std::make_unique<FakeSerialPort>(clock);
    if (portOut)
        *portOut = port.get();
    deps.port = std::move(port);
    deps.dialogs = &dialogs;
    deps.sound = &sound;
    deps.clock = &clock;
    deps.executableFolder = folder + "/";
    return deps;
}
