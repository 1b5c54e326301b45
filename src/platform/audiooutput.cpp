// The audio engine's outputs: the sound server stream and the silent real-time output.
#include "platform/audiooutput.h"

#include "platform/bufferpolicy.h"
#include "platform/frameclock.h"
#include "platform/threadpriority.h"

#include <pthread.h>
#include <pulse/pulseaudio.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <thread>
#include <vector>

namespace plat {
namespace {

using Clock = std::chrono::steady_clock;

// The silent output rests after this much quiet (blocks of kOutputBlockFrames):
// about 0.2 s, so that the blocks between the notes of a tune keep their pace.
constexpr int kQuietBlocksBeforeRest = 138;
// The server's stream is corked after about a second of quiet.
constexpr int kQuietBlocksBeforeCork = 690;
constexpr uint32_t kFrameBytes = 2 * sizeof(float);

int64_t steadyNs() {
    return std::chrono::duration_cast<std::chrono::nanoseconds>(Clock::now().time_since_epoch()).count();
}

void announceSilentOutput() {
    static std::atomic<bool> told{false};
    if (!told.exchange(true)) {
        std::fprintf(stderr, "morvela: no sound device could be opened; sound goes to a silent output\n");
    }
}

}  // namespace

struct AudioOutput::Impl {
    int sampleRate = 44100;
    RenderFn render;
    std::atomic<bool> quit{false};
    std::atomic<double> latencyMs{-1.0};
    std::atomic<uint64_t> underrunCount{0};
    std::thread thread;

    // The server connection: set up by start(), then used by the render
    // thread alone.
    pa_mainloop* loop = nullptr;
    pa_context* context = nullptr;
    pa_stream* stream = nullptr;
    std::atomic<bool> usingPulse{false};
    std::atomic<double> bufferNowMs{kServerBufferStartMs};
    BufferPolicy policy{kServerBufferMs, kServerBufferStartMs, kServerBufferMaxMs};
    std::atomic<uint64_t> underrunEvents{0};
    pa_buffer_attr attr{};
    bool corked = false;
    bool failed = false;
    std::vector<float> spare;
    // Frames written to the stream since the start, and when the first of
    // them is heard as the server's last timing report has it (0: no
    // report since the stream last started playing).
    uint64_t framesWritten = 0;
    int64_t heardNs = 0;
    // What the stream held ahead of the server's output at the last report
    // while playing: a stream woken from a rest starts with as much.
    size_t queuedBytes = 0;
    Clock::time_point nextTiming = Clock::now();

    // Resting: the silent output waits on `woken`; the server's stream is
    // corked and its thread waits in the server loop's poll.
    std::mutex restMutex;
    std::condition_variable woken;
    std::atomic<bool> wakeRequested{false};
    std::atomic<bool> isResting{false};
    int quietBlocks = 0;

    ~Impl() { closePulse(); }

    void wake() {
        wakeRequested.store(true);
        if (!isResting.load()) return;
        if (usingPulse.load()) {
            pa_mainloop_wakeup(loop);  // safe from any thread
        } else {
            std::lock_guard<std::mutex> lock(restMutex);
            woken.notify_one();
        }
    }

    // ---- the sound server

    static pa_buffer_attr attrFor(double ms, int rate) {
        pa_buffer_attr a{};
        a.maxlength = static_cast<uint32_t>(-1);
        a.tlength = static_cast<uint32_t>(rate * ms / 1000.0) * kFrameBytes;
        a.prebuf = kOutputBlockFrames * kFrameBytes;  // plays as soon as there is a block (at start, after an underrun)
        a.minreq = kOutputBlockFrames * kFrameBytes;
        a.fragsize = static_cast<uint32_t>(-1);
        return a;
    }

    // Runs the loop until `done` or about two seconds pass.
    template <class Done>
    bool iterateUntil(Done done) {
        const auto limit = Clock::now() + std::chrono::seconds(2);
        while (!done()) {
            if (Clock::now() > limit || pa_mainloop_iterate(loop, 0, nullptr) < 0) return false;
            if (!done()) std::this_thread::sleep_for(std::chrono::microseconds(200));
        }
        return true;
    }

    bool openPulse() {
        loop = pa_mainloop_new();
        if (!loop) return false;
        context = pa_context_new(pa_mainloop_get_api(loop), "Morvela");
        if (!context || pa_context_connect(context, nullptr, PA_CONTEXT_NOAUTOSPAWN, nullptr) < 0) return false;
        auto contextSettled = [this] {
            const pa_context_state_t s = pa_context_get_state(context);
            return s == PA_CONTEXT_READY || !PA_CONTEXT_IS_GOOD(s);
        };
        if (!iterateUntil(contextSettled) || pa_context_get_state(context) != PA_CONTEXT_READY) return false;
        pa_sample_spec spec{};
        spec.format = PA_SAMPLE_FLOAT32NE;
        spec.rate = static_cast<uint32_t>(sampleRate);
        spec.channels = 2;
        stream = pa_stream_new(context, "Keyboard", &spec, nullptr);
        if (!stream) return false;
        pa_stream_set_write_callback(stream, [](pa_stream*, size_t n, void* self) { static_cast<Impl*>(self)->fill(n); }, this);
        pa_stream_set_underflow_callback(stream, [](pa_stream*, void* self) { static_cast<Impl*>(self)->underflow(); }, this);
        attr = attrFor(kServerBufferStartMs, sampleRate);
        // Timing is asked for by hand while playing (sampleLatency) and
        // carried forward on the local clock between reports: a resting
        // stream then costs neither side a wakeup.
        const auto flags = static_cast<pa_stream_flags_t>(PA_STREAM_ADJUST_LATENCY | PA_STREAM_INTERPOLATE_TIMING);
        if (pa_stream_connect_playback(stream, nullptr, &attr, flags, nullptr, nullptr) < 0) return false;
        auto streamSettled = [this] {
            const pa_stream_state_t s = pa_stream_get_state(stream);
            return s == PA_STREAM_READY || !PA_STREAM_IS_GOOD(s);
        };
        return iterateUntil(streamSettled) && pa_stream_get_state(stream) == PA_STREAM_READY;
    }

    void closePulse() {
        if (stream) {
            pa_stream_set_write_callback(stream, nullptr, nullptr);
            pa_stream_set_underflow_callback(stream, nullptr, nullptr);
            pa_stream_disconnect(stream);
            pa_stream_unref(stream);
            stream = nullptr;
        }
        if (context) {
            pa_context_disconnect(context);
            pa_context_unref(context);
            context = nullptr;
        }
        if (loop) {
            pa_mainloop_free(loop);
            loop = nullptr;
        }
    }

    static void done(pa_operation* op) {
        if (op) pa_operation_unref(op);
    }

    void setBuffer(double ms) {
        bufferNowMs.store(ms);
        attr = attrFor(ms, sampleRate);
        done(pa_stream_set_buffer_attr(stream, &attr, nullptr, nullptr));
    }

    // The server ran out of sound: count it, give the stream more room at
    // a new dropout, and take up the server's timing again once it plays on
    // (the silence it played moved every later frame).
    void underflow() {
        if (corked) return;
        underrunCount.fetch_add(1, std::memory_order_relaxed);
        if (std::getenv("MORVELA_AUDIO_DEBUG")) std::fprintf(stderr, "underflow at %.3f buffer %.1f\n", steadyNs() / 1e9, bufferNowMs.load());
        heardNs = 0;
        nextTiming = Clock::now() + std::chrono::milliseconds(50);
        if (!policy.underflow(steadyNs())) return;
        underrunEvents.fetch_add(1, std::memory_order_relaxed);
        setBuffer(policy.ms());
    }

    // The server asks for `bytes`: rendered here, in whole blocks, until it
    // has all it can take (a stream starts playing only once its buffer
    // is full).
    void fill(size_t bytes) {
        if (corked) return;
        const size_t blockBytes = kOutputBlockFrames * kFrameBytes;
        while (bytes > 0 && bytes != static_cast<size_t>(-1)) {
            const size_t blocks = (bytes + blockBytes - 1) / blockBytes;
            void* data = nullptr;
            size_t size = blocks * blockBytes;
            if (pa_stream_begin_write(stream, &data, &size) < 0 || !data || size < blocks * blockBytes) {
                if (data) pa_stream_cancel_write(stream);
                spare.resize(blocks * kOutputBlockFrames * 2);
                data = spare.data();
                size = blocks * blockBytes;
            }
            float* out = static_cast<float*>(data);
            for (size_t i = 0; i < blocks; ++i) {
                wakeRequested.store(false);
                const bool quiet = render(out + i * kOutputBlockFrames * 2, kOutputBlockFrames, bufferNowMs.load(), heardNs);
                quietBlocks = quiet ? quietBlocks + 1 : 0;
            }
            if (pa_stream_write(stream, data, blocks * blockBytes, nullptr, 0, PA_SEEK_RELATIVE) < 0) {
                failed = true;
                return;
            }
            framesWritten += blocks * kOutputBlockFrames;
            bytes = pa_stream_writable_size(stream);
            if (bytes < blockBytes) break;
        }
        if (quietBlocks >= kQuietBlocksBeforeCork && !wakeRequested.load()) cork(true);
    }

    void cork(bool on) {
        corked = on;
        if (std::getenv("MORVELA_AUDIO_DEBUG")) std::fprintf(stderr, "cork %d at %.3f\n", on, std::chrono::duration<double>(Clock::now().time_since_epoch()).count());
        if (on) {
            isResting.store(true);
            // The stream keeps asking for its short latency, so that a wake
            // is heard at once; the server suspends its idle output itself.
            done(pa_stream_cork(stream, 1, nullptr, nullptr));
            return;
        }
        // What was left in the buffer is silence of unknown age: drop it, and
        // write at once rather than wait to be asked (the server's output may
        // still be asleep). The note that woke the stream comes after as
        // much fresh silence as the stream held during play, so that it is
        // heard as soon as a key during play, and as late: a clock started
        // by that key keeps its first step as long as the others.
        isResting.store(false);
        quietBlocks = 0;
        nextTiming = Clock::now() + std::chrono::milliseconds(50);
        done(pa_stream_flush(stream, nullptr, nullptr));
        done(pa_stream_cork(stream, 0, nullptr, nullptr));
        const size_t pad = std::min<size_t>(queuedBytes, attr.tlength) / kFrameBytes * kFrameBytes;
        if (pad > 0) {
            spare.assign(pad / sizeof(float), 0.0f);
            if (pa_stream_write(stream, spare.data(), pad, nullptr, 0, PA_SEEK_RELATIVE) < 0) {
                failed = true;
                return;
            }
        }
        // The rest moved the frames: until a report soon after says where
        // they are, the next frame rendered is heard after the fresh silence,
        // so that a clock's note due meanwhile keeps the latency of the note
        // that woke the stream (timed by the render moments alone, it would
        // come the silence later).
        heardNs = steadyNs() + nsOfFrames(pad / kFrameBytes, sampleRate) - nsOfFrames(framesWritten, sampleRate);
        fill(std::max<size_t>(attr.tlength - pad, kOutputBlockFrames * kFrameBytes));
    }

    void sampleLatency() {
        done(pa_stream_update_timing_info(stream, [](pa_stream*, int ok, void* self) { static_cast<Impl*>(self)->timingReported(ok); }, this));
    }

    // A fresh timing report: the next frame written is heard after the
    // stream's latency.
    void timingReported(int ok) {
        pa_usec_t usec = 0;
        int negative = 0;
        if (!ok || corked || pa_stream_get_latency(stream, &usec, &negative) != 0) return;
        latencyMs.store(negative ? 0.0 : usec / 1000.0);
        const pa_timing_info* info = pa_stream_get_timing_info(stream);
        if (negative || !info || !info->playing) return;
        if (!info->write_index_corrupt && !info->read_index_corrupt && info->write_index > info->read_index)
            queuedBytes = static_cast<size_t>(info->write_index - info->read_index);
        heardNs = steadyNs() + static_cast<int64_t>(usec) * 1000 - nsOfFrames(framesWritten, sampleRate);
    }


    // Serves the server until the output closes (true) or the server is lost.
    bool runPulse() {
        pthread_setname_np(pthread_self(), "morvela-sound");
        const std::string got = raiseToRealTime(10);
        if (std::getenv("MORVELA_AUDIO_DEBUG")) std::fprintf(stderr, "sound thread: %s\n", got.c_str());
        fill(std::max<size_t>(attr.tlength, pa_stream_writable_size(stream)));
        while (!quit.load(std::memory_order_relaxed)) {
            if (pa_mainloop_iterate(loop, 1, nullptr) < 0 || failed || pa_stream_get_state(stream) != PA_STREAM_READY ||
                pa_context_get_state(context) != PA_CONTEXT_READY)
                return false;
            if (corked && wakeRequested.load()) cork(false);
            const auto now = Clock::now();
            if (now >= nextTiming && !corked) {
                nextTiming = now + std::chrono::milliseconds(250);
                sampleLatency();
            }
            if (policy.check(steadyNs())) setBuffer(policy.ms());
        }
        done(pa_stream_flush(stream, nullptr, nullptr));
        pa_mainloop_iterate(loop, 0, nullptr);
        return true;
    }

    // ---- the silent output

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

    void runNull() {
        std::vector<float> block(kOutputBlockFrames * 2);
        const auto blockTime = std::chrono::duration_cast<Clock::duration>(
            std::chrono::duration<double>(static_cast<double>(kOutputBlockFrames) / sampleRate));
        auto next = Clock::now();
        quietBlocks = 0;
        while (!quit.load(std::memory_order_relaxed)) {
            wakeRequested.store(false);
            const bool quiet = render(block.data(), kOutputBlockFrames, 0.0, 0);
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
    }

    void run() {
        if (usingPulse.load()) {
            if (runPulse()) return;
            // The server went away: carry on silently at real-time pace.
            usingPulse.store(false);
            isResting.store(false);
            announceSilentOutput();
        }
        runNull();
    }
};

AudioOutput::AudioOutput(std::unique_ptr<Impl> impl) : d(std::move(impl)) {}

std::unique_ptr<AudioOutput> AudioOutput::start(Kind kind, int sampleRate, RenderFn render) {
    auto impl = std::make_unique<Impl>();
    impl->sampleRate = sampleRate;
    impl->render = std::move(render);
    if (kind == Kind::Auto) {
        if (impl->openPulse()) {
            impl->usingPulse.store(true);
        } else {
            impl->closePulse();
            announceSilentOutput();
        }
    }
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
    if (d->loop) pa_mainloop_wakeup(d->loop);
    if (d->thread.joinable()) d->thread.join();
}

std::string AudioOutput::name() const { return d->usingPulse.load() ? "pulse" : "null"; }

double AudioOutput::measuredLatencyMs() const { return d->usingPulse.load() ? d->latencyMs.load() : -1.0; }

void AudioOutput::wake() { d->wake(); }

bool AudioOutput::resting() const { return d->isResting.load(); }

uint64_t AudioOutput::underruns() const { return d->underrunCount.load(); }

uint64_t AudioOutput::underrunEvents() const { return d->underrunEvents.load(); }

double AudioOutput::bufferMs() const {
    if (d->usingPulse.load()) return d->bufferNowMs.load();
    return 1000.0 * kOutputBlockFrames / d->sampleRate;
}

}  // namespace plat
