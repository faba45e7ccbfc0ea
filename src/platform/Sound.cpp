#include "Sound.h"

#include <QApplication>

#include <alsa/asoundlib.h>

#include <chrono>
#include <cmath>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <thread>
#include <vector>

namespace platform {

namespace {
constexpr unsigned kRate = 44100;
// A machine without a sound device is normal (a server, a virtual machine); ALSA's own complaints
// about it would only clutter the terminal the program was started from.
void quietAlsa(const char*, int, const char*, int, const char*, ...) {}

// Stand-in for the default system beep: short and mid-pitched.
constexpr int kBeepHz = 880;
constexpr int kBeepMs = 120;
} // namespace

struct AlsaSound::State {
    struct Request {
        int hz;
        int ms;
    };
    std::mutex mutex;
    std::condition_variable wake;
    std::condition_variable done;
    std::deque<Request> queue;
    unsigned long long requested = 0;
    unsigned long long finished = 0;
    bool stopping = false;
};

namespace {
void play(int hz, int ms);

void serve(std::shared_ptr<AlsaSound::State> s);
} // namespace

AlsaSound::AlsaSound() : state(std::make_shared<State>()) {
    static std::once_flag quiet;
    std::call_once(quiet, [] { snd_lib_error_set_handler(quietAlsa); });
    std::thread([s = state] { serve(s); }).detach();
}

AlsaSound::~AlsaSound() {
    {
        std::lock_guard lock(state->mutex);
        state->stopping = true;
        state->queue.clear();
    }
    state->wake.notify_all();
    state->done.notify_all();
}

void AlsaSound::beep() {
    // Under X the desktop's own bell is what the user has chosen (or turned off); elsewhere there
    // is no bell to ring, so a short tone stands in.
    if (qobject_cast<QApplication*>(QCoreApplication::instance()) &&
        QGuiApplication::platformName() == QLatin1String("xcb")) {
        QApplication::beep();
        return;
    }
    tone(kBeepHz, kBeepMs);
}

void AlsaSound::tone(int frequencyHz, int durationMs) {
    if (frequencyHz <= 0 || durationMs <= 0)
        return;
    unsigned long long ticket;
    {
        std::lock_guard lock(state->mutex);
        if (state->queue.size() > 4)
            return; // the device is stuck; do not pile up
        state->queue.push_back({frequencyHz, durationMs});
        ticket = ++state->requested;
    }
    state->wake.notify_one();
    std::unique_lock lock(state->mutex);
    state->done.wait_for(lock, std::chrono::milliseconds(durationMs),
                         [&] { return state->finished >= ticket || state->stopping; });
}

namespace {
void serve(std::shared_ptr<AlsaSound::State> s) {
    for (;;) {
        AlsaSound::State::Request r;
        {
            std::unique_lock lock(s->mutex);
            s->wake.wait(lock, [&] { return s->stopping || !s->queue.empty(); });
            if (s->stopping)
                return;
            r = s->queue.front();
            s->queue.pop_front();
        }
        play(r.hz, r.ms);
        {
            std::lock_guard lock(s->mutex);
            ++s->finished;
        }
        s->done.notify_all();
    }
}

void play(int hz, int ms) {
    snd_pcm_t* pcm = nullptr;
    if (snd_pcm_open(&pcm, "default", SND_PCM_STREAM_PLAYBACK, 0) < 0)
        return;
    if (snd_pcm_set_params(pcm, SND_PCM_FORMAT_S16_LE, SND_PCM_ACCESS_RW_INTERLEAVED, 1, kRate, 1, 50000) <
        0) {
        snd_pcm_close(pcm);
        return;
    }
    const size_t frames = size_t(kRate) * size_t(ms) / 1000;
    std::vector<short> samples(frames);
    const size_t fade = std::min<size_t>(frames / 4, kRate / 200); // 5 ms ramps, no clicks
    for (size_t i = 0; i < frames; ++i) {
        double gain = 0.4;
        if (i < fade)
            gain *= double(i) / double(fade);
        else if (frames - i < fade)
            gain *= double(frames - i) / double(fade);
        samples[i] = short(gain * 32767.0 * std::sin(2.0 * M_PI * hz * double(i) / kRate));
    }
    size_t offset = 0;
    while (offset < frames) {
        snd_pcm_sframes_t n = snd_pcm_writei(pcm, samples.data() + offset, frames - offset);
        if (n < 0)
            n = snd_pcm_recover(pcm, int(n), 1);
        if (n < 0)
            break;
        offset += size_t(n);
    }
    snd_pcm_drain(pcm);
    snd_pcm_close(pcm);
}

} // namespace

} // namespace platform
