#pragma once

#include <memory>

namespace platform {

class Sound {
public:
    virtual ~Sound() = default;
    // The system's default beep.
    virtual void beep() = 0;
    // A tone of the given frequency and length. Returns no later than the tone's own length, so a
    // message box that follows comes after the tone, and never freezes the caller.
    virtual void tone(int frequencyHz, int durationMs) = 0;
};

// Plays generated sine tones through ALSA on a thread of its own; the default beep is the desktop's
// bell where there is one. No sound device: silently nothing, and nothing on standard error.
class AlsaSound final : public Sound {
public:
    AlsaSound();
    ~AlsaSound() override;
    void beep() override;
    void tone(int frequencyHz, int durationMs) override;

    struct State;

private:
    // Shared with the worker, which may outlive this object when a sound server hangs at exit.
    std::shared_ptr<State> state;
};

// Records what was asked, for tests.
class SilentSound final : public Sound {
public:
    void beep() override { ++beeps; }
    void tone(int frequencyHz, int durationMs) override {
        lastHz = frequencyHz;
        lastMs = durationMs;
        ++tones;
    }
    int beeps = 0;
    int tones = 0;
    int lastHz = 0;
    int lastMs = 0;
};

} // namespace platform
