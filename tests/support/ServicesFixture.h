#pragma once

#include "FakeDialogs.h"
#include "FakeSerialPort.h"
#include "Sound.h"
#include "Unit0.h"

#include <memory>

// A real TForm0 on a scripted port and clock, with dialogs and sounds recorded: what a command or a
// form needs from the program around it. Tests inherit it after QObject.
struct ServicesFixture {
    FakeClock clock;
    FakeDialogs dialogs;
    platform::SilentSound sound;
    FakeSerialPort* port = nullptr;
    std::unique_ptr<TForm0> form0;
    std::unique_ptr<Services> svc;

    // Fresh fakes and a new TForm0 whose link is open on the fake port with the shared settings.
    void resetServices() {
        svc.reset();
        auto p = std::make_unique<FakeSerialPort>(clock);
        port = p.get();
        form0 = std::make_unique<TForm0>(std::move(p), &clock);
        form0->ApplySettings();
        dialogs = FakeDialogs();
        sound = platform::SilentSound();
        svc = std::make_unique<Services>(Services{*form0, dialogs, sound});
    }
};
