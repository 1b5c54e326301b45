#include "platform/audiooutput.h"

#include <pthread.h>
#include <pulse/error.h>
#include <pulse/simple.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <cstdio>
#include <thread>
#include <vector>

namespace plat {
namespace {

using Clock = std::chrono::steady_clock;

// The silent output rests after this much quiet (blocks of kOutputBlockFrames):
// about 0.2 s, so that the blocks between the notes of a tune keep their pace.
constexpr int kQuietBlocksBeforeRest = 138;

void announceSilentOutput() {
    static std::atomic<bool> told{false};
    if (!told.exchange(true)) {
        std::fprintf(stderr, "morvela: no sound device could be opened; sound goes to a silent output\n");
    }
}

pa_simple* openPulse(int sampleRate) {
    pa_sample_spec spec{};
    spec.format = PA_SAMPLE_FLOAT32NE;
    spec.rate = static_cast<uint32_t>(sampleRate);
    spec.channels = 2;
    const uint32_t frameBytes = 2 * sizeof(float);
    pa_buffer_attr attr{};
    attr.maxlength = static_cast<uint32_t>(-1);
    // Total buffering of at most kServerBufferMs; the server asks for more
    // once a block's worth has been played.
    attr.tlength = static_cast<uint32_t>(sampleRate * kServerBufferMs / 1000.0) * frameBytes;
    attr.prebuf = static_cast<uint32_t>(-1);
    attr.minreq = kOutputBlockFrames * frameBytes;
    attr.fragsize = static_cast<uint32_t>(-1);
    int error = 0;
    return pa_simple_new(nullptr, "Morvela", PA_STREAM_PLAYBACK, nullptr, "Keyboard", &spec,
                         nullptr, &attr, &error);
}

// Best effort: a real-time priority where the user may have one.
void raiseThreadPriority() {
    sched_param param{};
    param.sched_priority = 10;
    pthread_setschedparam(pthread_self(), SCHED_FIFO, &param);
}

}  // namespace

struct AudioOutput::Impl {
    int sampleRate = 44100;
    RenderFn render;
    pa_simple* pulse = nullptr;  // owned by the render thread once it runs
    std::atomic<bool> usingPulse{false};
    std::atomic<bool> quit{false};
    std::atomic<double> latencyMs{-1.0};
    std::thread thread;

    // Resting: the render thread waits on `woken` until wake() or quit.
    std::mutex restMutex;
    std::condition_variable woken;
    std::atomic<bool> wakeRequested{false};
    std::atomic<bool> isResting{false};

    void wake() {
        wakeRequested.store(true);
        if (isResting.load()) {
            std::lock_guard<std::mutex> lock(restMutex);
            woken.notify_one();
        }
    }

    // Waits until woken; false when the output is closing.
    bool rest() {
        std::unique_lock<std::mutex> lock(restMutex);
        isResting.store(true);
        // A wake between the last block and here is not lost: wake() sets
        // the request before it looks at isResting.
        woken.wait(lock, [this] { return wakeRequested.load() || quit.load(); });
        isResting.store(false);
        return !quit.load();
    }

    void run() {
        // Only a thread feeding a real device needs to win against the rest
        // of the desktop; the silent output just keeps time.
        if (pulse) raiseThreadPriority();
        std::vector<float> block(kOutputBlockFrames * 2);
        uint64_t blocksWritten = 0;
        const auto blockTime = std::chrono::duration_cast<Clock::duration>(
            std::chrono::duration<double>(static_cast<double>(kOutputBlockFrames) / sampleRate));
        auto next = Clock::now();
        int quietBlocks = 0;
        while (!quit.load(std::memory_order_relaxed)) {
            wakeRequested.store(false);
            const bool quiet = render(block.data(), kOutputBlockFrames);
            if (pulse) {
                int error = 0;
                if (pa_simple_write(pulse, block.data(), block.size() * sizeof(float), &error) >= 0) {
                    if (++blocksWritten % 256 == 0) {
                        pa_usec_t usec = pa_simple_get_latency(pulse, &error);
                        if (usec != static_cast<pa_usec_t>(-1)) latencyMs.store(usec / 1000.0);
                    }
                    continue;  // the write paces the loop
                }
                // The server went away: carry on silently at real-time pace.
                pa_simple_free(pulse);
                pulse = nullptr;
                usingPulse.store(false);
                announceSilentOutput();
                next = Clock::now();
            }
            quietBlocks = quiet ? quietBlocks + 1 : 0;
            if (quietBlocks >= kQuietBlocksBeforeRest && !wakeRequested.load()) {
                // Nothing to play: rest until something may sound, then go
                // on from that moment (the first block renders at once).
                if (!rest()) break;
                quietBlocks = 0;
                next = Clock::now();
                continue;
            }
            next += blockTime;
            auto now = Clock::now();
            if (now > next + std::chrono::milliseconds(100)) next = now;  // after a stall, do not race to catch up
            std::this_thread::sleep_until(next);
        }
        if (pulse) {
            int error = 0;
            pa_simple_flush(pulse, &error);
            pa_simple_free(pulse);
            pulse = nullptr;
        }
    }
};

AudioOutput::AudioOutput(std::unique_ptr<Impl> impl) : d(std::move(impl)) {}

std::unique_ptr<AudioOutput> AudioOutput::start(Kind kind, int sampleRate, RenderFn render) {
    auto impl = std::make_unique<Impl>();
    impl->sampleRate = sampleRate;
    impl->render = std::move(render);
    if (kind == Kind::Auto) {
        impl->pulse = openPulse(sampleRate);
        if (!impl->pulse) announceSilentOutput();
    }
    impl->usingPulse.store(impl->pulse != nullptr);
    std::unique_ptr<AudioOutput> out(new AudioOutput(std::move(impl)));
    Impl* d = out->d.get();
    d->thread = std::thread([d] { d->run(); });
    return out;
}

AudioOutput::~AudioOutput() {
    {
        std::lock_guard<std::mutex> lock(d->restMutex);
        d->quit.store(true);
        d->woken.notify_one();
    }
    if (d->thread.joinable()) d->thread.join();
}

std::string AudioOutput::name() const { return d->usingPulse.load() ? "pulse" : "null"; }

double AudioOutput::measuredLatencyMs() const { return d->usingPulse.load() ? d->latencyMs.load() : -1.0; }

void AudioOutput::wake() { d->wake(); }

bool AudioOutput::resting() const { return d->isResting.load(); }

uint64_t AudioOutput::underruns() const { return 0; }

double AudioOutput::bufferMs() const {
    if (d->usingPulse.load()) return kServerBufferMs;
    return 1000.0 * kOutputBlockFrames / d->sampleRate;
}

}  // namespace plat
