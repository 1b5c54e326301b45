// The audio engine: the embedded synthesizer, the mixer of wave voices, the recorder tap and the
// MIDI message path.
#include "platform/audioengine.h"

#include "platform/audiooutput.h"
#include "platform/audioring.h"
#include "platform/frameclock.h"
#include "platform/midiout.h"
#include "platform/synthesizer.h"
#include "platform/wavevoice.h"

#include <fluidsynth.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdlib>
#include <mutex>
#include <thread>
#include <utility>
#include <vector>

namespace plat {
namespace {

constexpr int kSampleRate = 44100;
constexpr int kMaxRenderBlock = 1024;  // manual render() is cut into blocks of this size
// A block below this level is silence: -90 dB, under what 16-bit sound
// carries. Release and reverb tails take seconds more to fall further.
constexpr float kSilence = 3e-5f;
constexpr const char* kTimGmPath = "/usr/share/sounds/sf2/TimGM6mb.sf2";
constexpr const char* kDefaultGmPath = "/usr/share/sounds/sf2/default-GM.sf2";

float peak(const float* frames, int frameCount) {
    float m = 0.0f;
    for (int i = 0; i < frameCount * 2; ++i) m = std::max(m, std::fabs(frames[i]));
    return m;
}

}  // namespace

struct AudioEngine::Impl {
    enum Mode { Stopped, Threaded, Manual };

    // What other threads hand to the render thread.
    struct Event {
        enum Kind : uint8_t { Midi, MidiAtFrame, Silence, AddVoice, RemoveVoice };
        Kind kind = Midi;
        uint32_t message = 0;
        int64_t due = 0;       // steady ns (0 = at once), or a frame for MidiAtFrame
        void* voice = nullptr;  // AddVoice: a new std::shared_ptr<WaveVoice>; RemoveVoice: the voice
    };
    // A timed message waiting for its frame (render thread only).
    struct Pending {
        uint64_t frame;
        int64_t dueNs;
        uint32_t message;
        bool silence;
        bool timed;
    };

    std::mutex control;  // start / stop / synth creation (never taken by the render thread)
    LoadedSynth made;  // written by whoever makes the synthesizer, before `synth` is set
    std::atomic<fluid_synth_t*> synth{nullptr};
    std::thread loader;  // makes the synthesizer (see ensureSynth)
    std::atomic<bool> loading{false};
    mutable std::mutex fontMutex;
    std::string soundFont;
    std::atomic<int> mode{Stopped};
    std::unique_ptr<AudioOutput> output;
    std::atomic<uint64_t> frames{0};

    AudioRing<Event> events{8192};
    std::atomic<uint64_t> taken{0};  // events the render thread took
    std::atomic<uint64_t> takenAtRefusal{~uint64_t(0)};
    AudioRing<std::shared_ptr<WaveVoice>*> garbage{1024};  // voices the render thread let go

    // Render thread state (the stopping thread's once the output is closed).
    std::vector<Pending> pending;  // sorted by frame, capacity reserved
    std::array<uint64_t, 16> channelFrame{};  // frame of the last message per channel
    std::vector<std::shared_ptr<WaveVoice>*> mixing;  // capacity reserved; holders from AddVoice
    float synthBlock[kSynthBlockFrames * 2] = {};
    int synthPos = kSynthBlockFrames;  // frames of synthBlock already used
    FrameClock line{kSampleRate};  // when each frame is heard

    // Callers' side of the wave voices: the effect slot.
    mutable std::mutex callerMutex;  // never taken by the render thread
    std::shared_ptr<WaveVoice> effect;
    std::atomic<float> gainL{1.0f};
    std::atomic<float> gainR{1.0f};

    // Taps: the render thread reads a published list; a change publishes a
    // new list and waits (on the caller's thread) until the render thread no
    // longer reads the old one.
    struct TapEntry {
        int id;
        Tap tap;
        bool keepsRunning;
    };
    using TapList = std::vector<TapEntry>;
    std::mutex tapMutex;  // serialises changes; never taken by the render thread
    std::atomic<TapList*> taps{new TapList};
    std::atomic<TapList*> tapsInUse{nullptr};
    int nextTapId = 1;
    std::atomic<int> runningTaps{0};

    std::mutex wakeMutex;  // guards liveOutput against its destruction (callers only)
    AudioOutput* liveOutput = nullptr;
    void wake() {
        std::lock_guard<std::mutex> lock(wakeMutex);
        if (liveOutput) liveOutput->wake();
    }
    void setLiveOutput(AudioOutput* o) {
        std::lock_guard<std::mutex> lock(wakeMutex);
        liveOutput = o;
    }

    // Render timing, written by the rendering thread only.
    std::atomic<uint64_t> statBlocks{0};
    std::atomic<int64_t> statWorstNs{0};
    std::atomic<int64_t> statTotalNs{0};
    std::atomic<int> statVoicesPeak{0};
    std::atomic<uint64_t> statLateMessages{0};
    std::atomic<int64_t> statWorstLateFrames{0};
    std::atomic<uint64_t> underrunsAtReset{0};

    std::atomic<bool> tracing{false};
    AudioRing<NoteOnTrace> trace{1 << 16};

    Impl() {
        pending.reserve(kMaxPending);
        mixing.reserve(kMaxVoices);
    }

    ~Impl() {
        if (loader.joinable()) loader.join();
        output.reset();
        for (auto* v : mixing) delete v;
        releaseGarbage();
        delete taps.load();
        synth.store(nullptr);
        freeSynth(made);
    }

    static constexpr size_t kMaxPending = 8192;
    static constexpr auto kStallLimit = std::chrono::milliseconds(500);
    static constexpr auto kWaitLimit = std::chrono::seconds(5);
    static constexpr size_t kMaxVoices = 64;

    // The soundfont to load (cheap: files are only looked at).
    void pickFont() {
        std::lock_guard<std::mutex> lock(fontMutex);
        soundFont = pickSoundFont(std::getenv("MORVELA_SOUNDFONT"), kDefaultGmPath, kTimGmPath);
    }

    // Creates the synthesizer and loads the soundfont whole (a tenth of a
    // second or more for a large one); a broken override or default falls
    // back to TimGM6mb.
    fluid_synth_t* createSynth() {
        std::string font;
        {
            std::lock_guard<std::mutex> lock(fontMutex);
            font = soundFont;
        }
        made = loadSynth(kSampleRate, font, kTimGmPath);
        if (made.font != font) {
            std::lock_guard<std::mutex> lock(fontMutex);
            soundFont = made.font;
        }
        return made.synth;
    }

    // The synthesizer exists or is being made. With a real-time output it is
    // made on a thread of its own, so that starting returns at once; what is
    // sent meanwhile waits and sounds as soon as it is there.
    bool ensureSynth(bool inBackground) {
        if (synth.load() || loader.joinable()) return true;
        pickFont();
        if (!inBackground) {
            fluid_synth_t* s = createSynth();
            synth.store(s);
            return s != nullptr;
        }
        loading.store(true);
        loader = std::thread([this] {
            synth.store(createSynth());
            loading.store(false);
            wake();
        });
        return true;
    }

    // Full chords on three voices over drums can pass full scale: above the
    // knee the level bends smoothly towards 1 instead of clipping hard.
    static void softLimit(float* samples, int count) {
        constexpr float knee = 0.8f;
        constexpr float room = 1.0f - knee;
        for (int i = 0; i < count; ++i) {
            const float a = std::fabs(samples[i]);
            if (a > knee) samples[i] = std::copysign(knee + room * std::tanh((a - knee) / room), samples[i]);
        }
    }

    static int64_t steadyNs() {
        return std::chrono::duration_cast<std::chrono::nanoseconds>(std::chrono::steady_clock::now().time_since_epoch()).count();
    }

    void followClock(bool realTime, double aheadMs, int64_t heardNs) {
        if (realTime) line.follow(steadyNs(), frames.load(std::memory_order_relaxed), aheadMs, heardNs);
    }

    uint64_t frameOfTime(int64_t dueNs, bool realTime) const {
        const uint64_t now = frames.load(std::memory_order_relaxed);
        return realTime ? line.frameOf(dueNs, now) : now;
    }

    void schedule(Pending p, int channel) {
        if (channel < 0) {
            for (uint64_t f : channelFrame) p.frame = std::max(p.frame, f);
            channelFrame.fill(p.frame);
        } else {
            p.frame = std::max(p.frame, channelFrame[static_cast<size_t>(channel)]);
            channelFrame[static_cast<size_t>(channel)] = p.frame;
        }
        if (pending.size() >= kMaxPending) {
            apply(p, frames.load(std::memory_order_relaxed));  // no room to wait: sound it now rather than lose it
            return;
        }
        auto it = std::upper_bound(pending.begin(), pending.end(), p.frame,
                                   [](uint64_t f, const Pending& q) { return f < q.frame; });
        pending.insert(it, p);
    }

    // Takes in what other threads handed over (render thread). With every
    // waiting slot taken, the rest stays in the queue (its senders wait for
    // room) until messages sound: nothing is dropped.
    void takeEvents(bool realTime) {
        Event e;
        while (pending.size() < kMaxPending && events.pop(e)) {
            taken.fetch_add(1, std::memory_order_relaxed);
            switch (e.kind) {
            case Event::Midi:
            case Event::MidiAtFrame: {
                const uint64_t f = e.kind == Event::Midi ? frameOfTime(e.due, realTime)
                                                         : std::max<uint64_t>(static_cast<uint64_t>(e.due), frames.load(std::memory_order_relaxed));
                const bool timed = e.kind == Event::MidiAtFrame || (e.due > 0 && realTime);
                const bool system = (e.message & 0xF0) == 0xF0;
                schedule({f, e.kind == Event::Midi ? e.due : 0, e.message, false, timed}, system ? -1 : int(e.message & 0x0F));
                break;
            }
            case Event::Silence:
                schedule({frames.load(std::memory_order_relaxed), 0, 0, true, false}, -1);
                break;
            case Event::AddVoice: {
                auto* v = static_cast<std::shared_ptr<WaveVoice>*>(e.voice);
                if (mixing.size() >= kMaxVoices || !*v) {
                    if (!garbage.push(v)) mixing.push_back(v);  // never lost, never freed here
                } else {
                    mixing.push_back(v);
                }
                break;
            }
            case Event::RemoveVoice:
                for (auto* v : mixing)
                    if (v->get() == e.voice) (*v)->stop();
                break;
            }
        }
    }

    void apply(const Pending& p, uint64_t at) {
        fluid_synth_t* s = synth.load(std::memory_order_relaxed);
        if (!s) return;
        if (p.silence) {
            silence(s);
            return;
        }
        applyShortMessage(s, p.message);
        if (tracing.load(std::memory_order_relaxed) && (p.message & 0xF0) == 0x90 && ((p.message >> 16) & 0x7F) != 0)
            trace.push({p.message, p.dueNs, at});
    }

    static void silence(fluid_synth_t* s) {
        const int channels = fluid_synth_count_midi_channels(s);
        for (int ch = 0; ch < channels; ++ch) {
            fluid_synth_all_notes_off(s, ch);
            fluid_synth_all_sounds_off(s, ch);
        }
    }

    static void applyShortMessage(fluid_synth_t* s, uint32_t message) {
        const int status = static_cast<int>(message & 0xFF);
        const int ch = status & 0x0F;
        const int d1 = static_cast<int>((message >> 8) & 0x7F);
        const int d2 = static_cast<int>((message >> 16) & 0x7F);
        switch (status & 0xF0) {
        case 0x80: fluid_synth_noteoff(s, ch, d1); break;
        case 0x90:
            if (d2 == 0) fluid_synth_noteoff(s, ch, d1);
            else fluid_synth_noteon(s, ch, d1, d2);
            break;
        case 0xA0: fluid_synth_key_pressure(s, ch, d1, d2); break;
        case 0xB0: fluid_synth_cc(s, ch, d1, d2); break;
        case 0xC0: fluid_synth_program_change(s, ch, d1); break;
        case 0xD0: fluid_synth_channel_pressure(s, ch, d1); break;
        case 0xE0: fluid_synth_pitch_bend(s, ch, d1 | (d2 << 7)); break;
        default: break;  // real-time messages: nothing for a synthesizer to do
        }
    }

    // Applies the messages whose frame is nearer to the block starting at
    // blockStart than to the next one.
    void applyDue(uint64_t blockStart) {
        size_t n = 0;
        while (n < pending.size() && pending[n].frame < blockStart + kSynthBlockFrames / 2) {
            const Pending& p = pending[n];
            if (p.timed && blockStart > p.frame + kSynthBlockFrames / 2) {
                statLateMessages.fetch_add(1, std::memory_order_relaxed);
                const int64_t late = static_cast<int64_t>(blockStart - p.frame);
                if (late > statWorstLateFrames.load(std::memory_order_relaxed)) statWorstLateFrames.store(late, std::memory_order_relaxed);
            }
            apply(p, blockStart);
            ++n;
        }
        pending.erase(pending.begin(), pending.begin() + static_cast<long>(n));
    }

    // Renders one block, timed; true when it is silence, nothing is left
    // sounding (no synthesizer voice, no wave sound) and no tap wants every
    // block.
    bool renderBlock(float* out, int frameCount, bool realTime, double aheadMs = 0, int64_t heardNs = 0) {
        const auto began = std::chrono::steady_clock::now();
        followClock(realTime, aheadMs, heardNs);
        const bool quiet = mixBlock(out, frameCount, realTime);
        const int64_t ns = std::chrono::duration_cast<std::chrono::nanoseconds>(std::chrono::steady_clock::now() - began).count();
        statBlocks.fetch_add(1, std::memory_order_relaxed);
        statTotalNs.fetch_add(ns, std::memory_order_relaxed);
        if (ns > statWorstNs.load(std::memory_order_relaxed)) statWorstNs.store(ns, std::memory_order_relaxed);
        return quiet;
    }

    // The synthesizer renders whole blocks of kSynthBlockFrames; messages
    // are applied between them, each at its own block.
    void renderSynth(fluid_synth_t* s, float* out, int frameCount) {
        const uint64_t start = frames.load(std::memory_order_relaxed);
        for (int done = 0; done < frameCount;) {
            if (synthPos == kSynthBlockFrames) {
                applyDue(start + static_cast<uint64_t>(done));
                fluid_synth_write_float(s, kSynthBlockFrames, synthBlock, 0, 2, synthBlock, 1, 2);
                synthPos = 0;
            }
            const int n = std::min(kSynthBlockFrames - synthPos, frameCount - done);
            std::copy(synthBlock + 2 * synthPos, synthBlock + 2 * (synthPos + n), out + 2 * done);
            synthPos += n;
            done += n;
        }
    }

    bool mixBlock(float* out, int frameCount, bool realTime) {
        takeEvents(realTime);
        bool quiet = true;
        if (fluid_synth_t* s = synth.load(std::memory_order_acquire)) {
            renderSynth(s, out, frameCount);
            // Without the API lock this is a plain read of the synthesizer's count.
            const int voices = fluid_synth_get_active_voice_count(s);
            if (voices > statVoicesPeak.load(std::memory_order_relaxed)) statVoicesPeak.store(voices, std::memory_order_relaxed);
            // Voices still ringing below the silence level do not count:
            // the output may rest, and they ring on when it wakes.
            quiet = pending.empty();
        } else {
            std::fill(out, out + frameCount * 2, 0.0f);
            quiet = !loading.load() && pending.empty();
        }
        const float l = gainL.load(std::memory_order_relaxed);
        const float r = gainR.load(std::memory_order_relaxed);
        for (size_t i = 0; i < mixing.size();) {
            WaveVoice& v = **mixing[i];
            v.mixInto(out, frameCount, l, r);
            // A finished voice is handed back for the callers to destroy.
            if (v.finished() && garbage.push(mixing[i])) {
                mixing.erase(mixing.begin() + static_cast<long>(i));
                continue;
            }
            if (!v.finished()) quiet = false;
            ++i;
        }
        softLimit(out, frameCount * 2);
        TapList* list;
        do {
            list = taps.load();
            tapsInUse.store(list);
        } while (taps.load() != list);
        for (auto& t : *list) t.tap(out, frameCount);
        tapsInUse.store(nullptr);
        if (runningTaps.load(std::memory_order_relaxed) > 0) quiet = false;
        frames.fetch_add(static_cast<uint64_t>(frameCount), std::memory_order_relaxed);
        return quiet && peak(out, frameCount) < kSilence;
    }

    void releaseGarbage() {
        std::shared_ptr<WaveVoice>* v;
        while (garbage.pop(v)) delete v;
    }

    // Hands an event to the render thread. The thread empties the queue at
    // every block, so a full queue is a burst larger than the queue or a
    // render thread held up for a moment (a soundfont still loading, a busy
    // machine): the sender waits for room while the thread goes on taking.
    // Refused only without a render thread (the manual output, stopped),
    // once it has taken nothing for kStallLimit (a soundfont still loading
    // counts as progress) or after kWaitLimit in all; after such a refusal
    // a full queue refuses at once until the thread takes again, so a dead
    // sound server cannot hold every send.
    bool post(const Event& e) {
        if (events.push(e)) {
            wake();
            return true;
        }
        uint64_t seen = taken.load();
        if (seen == takenAtRefusal.load()) return false;
        const auto began = std::chrono::steady_clock::now();
        auto progress = began;
        while (mode.load() == Threaded) {
            wake();
            std::this_thread::sleep_for(std::chrono::microseconds(100));
            if (events.push(e)) {
                wake();
                return true;
            }
            const auto now = std::chrono::steady_clock::now();
            const uint64_t t = taken.load();
            if (t != seen || loading.load()) {
                seen = t;
                progress = now;
            } else if (now - progress > kStallLimit) {
                break;
            }
            if (now - began > kWaitLimit) break;
        }
        takenAtRefusal.store(seen);
        return false;
    }

    // Publishes a changed tap list (tapMutex held) and frees the old one once
    // the render thread has stopped reading it.
    void publishTaps(TapList* next) {
        TapList* old = taps.exchange(next);
        while (tapsInUse.load() == old) std::this_thread::sleep_for(std::chrono::microseconds(50));
        delete old;
    }

    // With the output closed (the caller now owns the synthesizer): what was
    // still waiting is applied in order, so that no setting is lost.
    void flushPending() {
        for (;;) {
            takeEvents(false);
            if (pending.empty()) break;
            for (const Pending& p : pending) apply(p, p.frame);
            pending.clear();
        }
        channelFrame.fill(0);
        line.reset();
    }

    // With the output closed, lets release and reverb tails run out so the
    // next start begins in silence. Bounded to a few seconds of rendering.
    void drainSynth() {
        fluid_synth_t* s = synth.load();
        if (!s) return;
        std::vector<float> block(kMaxRenderBlock * 2);
        for (int i = 0; i < 3 * kSampleRate / kMaxRenderBlock; ++i) {
            fluid_synth_write_float(s, kMaxRenderBlock, block.data(), 0, 2, block.data(), 1, 2);
            if (peak(block.data(), kMaxRenderBlock) < 1e-6f) break;
        }
        synthPos = kSynthBlockFrames;
    }
};

AudioEngine& AudioEngine::instance() {
    static AudioEngine engine;
    return engine;
}

AudioEngine::AudioEngine() : d(std::make_unique<Impl>()) {}
AudioEngine::~AudioEngine() = default;

bool AudioEngine::start(Output output) {
    std::lock_guard<std::mutex> lock(d->control);
    if (d->mode.load() != Impl::Stopped) return true;
    if (!d->ensureSynth(output != Output::Manual)) return false;
    d->frames.store(0);
    d->synthPos = kSynthBlockFrames;
    d->line.reset();
    if (output == Output::Manual) {
        d->mode.store(Impl::Manual);
        return true;
    }
    Impl* impl = d.get();
    d->output = AudioOutput::start(output == Output::Null ? AudioOutput::Kind::Null : AudioOutput::Kind::Auto,
                                   kSampleRate, [impl](float* out, int n, double aheadMs, int64_t heardNs) { return impl->renderBlock(out, n, true, aheadMs, heardNs); });
    d->setLiveOutput(d->output.get());
    d->mode.store(Impl::Threaded);
    return true;
}

void AudioEngine::stop() {
    std::lock_guard<std::mutex> lock(d->control);
    if (d->mode.load() == Impl::Stopped) return;
    if (d->loader.joinable()) d->loader.join();
    d->setLiveOutput(nullptr);
    d->output.reset();  // joins the render thread: the synthesizer is ours now
    d->mode.store(Impl::Stopped);
    d->flushPending();
    if (fluid_synth_t* s = d->synth.load()) Impl::silence(s);
    for (auto* v : d->mixing) {
        (*v)->stop();
        delete v;
    }
    d->mixing.clear();
    d->releaseGarbage();
    {
        std::lock_guard<std::mutex> vlock(d->callerMutex);
        d->effect.reset();
    }
    d->drainSynth();
}

bool AudioEngine::running() const { return d->mode.load() != Impl::Stopped; }

int AudioEngine::sampleRate() const { return kSampleRate; }

double AudioEngine::outputBufferMs() const {
    std::lock_guard<std::mutex> lock(d->control);
    return d->output ? d->output->bufferMs() : 0.0;
}

double AudioEngine::outputLatencyMs() const {
    std::lock_guard<std::mutex> lock(d->control);
    return d->output ? d->output->measuredLatencyMs() : -1.0;
}

std::string AudioEngine::outputName() const {
    std::lock_guard<std::mutex> lock(d->control);
    switch (d->mode.load()) {
    case Impl::Manual: return "manual";
    case Impl::Threaded: return d->output->name();
    default: return "stopped";
    }
}

std::string AudioEngine::soundFontPath() const {
    std::lock_guard<std::mutex> lock(d->fontMutex);
    return d->soundFont;
}

bool AudioEngine::midiShortMessage(uint32_t message, int64_t dueNs) {
    if ((!d->synth.load() && !d->loading.load()) || !isWellFormedShortMessage(message)) return false;
    Impl::Event e;
    e.kind = Impl::Event::Midi;
    e.message = message;
    e.due = dueNs;
    return d->post(e);
}

bool AudioEngine::midiShortMessageAtFrame(uint32_t message, uint64_t frame) {
    if ((!d->synth.load() && !d->loading.load()) || !isWellFormedShortMessage(message)) return false;
    Impl::Event e;
    e.kind = Impl::Event::MidiAtFrame;
    e.message = message;
    e.due = static_cast<int64_t>(frame);
    return d->post(e);
}

void AudioEngine::allNotesOff() {
    if (d->mode.load() == Impl::Stopped) return;  // stopping silenced it already
    Impl::Event e;
    e.kind = Impl::Event::Silence;
    d->post(e);
}

fluid_synth_t* AudioEngine::synth() { return d->synth.load(); }

bool AudioEngine::playEffect(const std::string& path, bool loop) {
    // Decoding happens here, before anything is handed over.
    std::shared_ptr<WaveVoice> voice = openWaveVoice(path, kSampleRate, loop);
    std::lock_guard<std::mutex> lock(d->callerMutex);
    d->releaseGarbage();
    if (d->effect) {
        d->effect->stop();
        d->effect.reset();
    }
    if (!voice) return false;
    Impl::Event e;
    e.kind = Impl::Event::AddVoice;
    e.voice = new std::shared_ptr<WaveVoice>(voice);
    if (!d->post(e)) {
        delete static_cast<std::shared_ptr<WaveVoice>*>(e.voice);
        return false;
    }
    d->effect = std::move(voice);
    return true;
}

void AudioEngine::stopEffect() {
    std::lock_guard<std::mutex> lock(d->callerMutex);
    d->releaseGarbage();
    if (d->effect) d->effect->stop();
    d->effect.reset();
}

bool AudioEngine::effectPlaying() const {
    std::lock_guard<std::mutex> lock(d->callerMutex);
    return d->effect && !d->effect->finished();
}

void AudioEngine::addVoice(std::shared_ptr<WaveVoice> voice) {
    if (!voice) return;
    std::lock_guard<std::mutex> lock(d->callerMutex);
    d->releaseGarbage();
    Impl::Event e;
    e.kind = Impl::Event::AddVoice;
    e.voice = new std::shared_ptr<WaveVoice>(std::move(voice));
    if (!d->post(e)) delete static_cast<std::shared_ptr<WaveVoice>*>(e.voice);
}

void AudioEngine::removeVoice(const std::shared_ptr<WaveVoice>& voice) {
    if (!voice) return;
    voice->stop();  // the render thread lets it go at its next block
    std::lock_guard<std::mutex> lock(d->callerMutex);
    d->releaseGarbage();
}

void AudioEngine::setWaveGain(float left, float right) {
    d->gainL.store(std::clamp(left, 0.0f, 1.0f));
    d->gainR.store(std::clamp(right, 0.0f, 1.0f));
}

float AudioEngine::waveGainLeft() const { return d->gainL.load(); }
float AudioEngine::waveGainRight() const { return d->gainR.load(); }

int AudioEngine::addTap(Tap tap, TapKind kind) {
    int id;
    {
        std::lock_guard<std::mutex> lock(d->tapMutex);
        id = d->nextTapId++;
        const bool keepsRunning = kind == TapKind::EveryBlock;
        auto* next = new Impl::TapList(*d->taps.load());
        next->push_back({id, std::move(tap), keepsRunning});
        d->publishTaps(next);
        if (keepsRunning) d->runningTaps.fetch_add(1);
    }
    d->wake();
    return id;
}

bool AudioEngine::outputResting() const {
    std::lock_guard<std::mutex> lock(d->control);
    return d->output && d->output->resting();
}

void AudioEngine::removeTap(int id) {
    std::lock_guard<std::mutex> lock(d->tapMutex);
    const Impl::TapList& now = *d->taps.load();
    auto it = std::find_if(now.begin(), now.end(), [id](const auto& t) { return t.id == id; });
    if (it == now.end()) return;
    const bool keepsRunning = it->keepsRunning;
    auto* next = new Impl::TapList;
    for (const auto& t : now)
        if (t.id != id) next->push_back(t);
    d->publishTaps(next);  // once it returns, the removed tap is not running
    if (keepsRunning) d->runningTaps.fetch_sub(1);
}

void AudioEngine::render(float* out, int frameCount) {
    if (d->mode.load() != Impl::Manual) {
        std::fill(out, out + std::max(frameCount, 0) * 2, 0.0f);
        return;
    }
    for (int done = 0; done < frameCount;) {
        int n = std::min(kMaxRenderBlock, frameCount - done);
        d->renderBlock(out + static_cast<size_t>(done) * 2, n, false);
        done += n;
    }
    d->releaseGarbage();
}

uint64_t AudioEngine::framesRendered() const { return d->frames.load(std::memory_order_relaxed); }

uint64_t AudioEngine::underruns() const {
    std::lock_guard<std::mutex> lock(d->control);
    return d->output ? d->output->underruns() : 0;
}

uint64_t AudioEngine::underrunEvents() const {
    std::lock_guard<std::mutex> lock(d->control);
    return d->output ? d->output->underrunEvents() : 0;
}

AudioEngine::RenderStats AudioEngine::renderStats() const {
    RenderStats r;
    r.blocks = d->statBlocks.load();
    r.worstMs = static_cast<double>(d->statWorstNs.load()) / 1e6;
    r.meanMs = r.blocks ? static_cast<double>(d->statTotalNs.load()) / 1e6 / static_cast<double>(r.blocks) : 0.0;
    r.voicesPeak = d->statVoicesPeak.load();
    r.lateMessages = d->statLateMessages.load();
    r.worstMessageLateMs = 1000.0 * static_cast<double>(d->statWorstLateFrames.load()) / kSampleRate;
    const uint64_t u = underruns();
    r.underruns = u >= d->underrunsAtReset.load() ? u - d->underrunsAtReset.load() : u;
    return r;
}

void AudioEngine::resetRenderStats() {
    d->statBlocks.store(0);
    d->statWorstNs.store(0);
    d->statTotalNs.store(0);
    d->statVoicesPeak.store(0);
    d->statLateMessages.store(0);
    d->statWorstLateFrames.store(0);
    d->underrunsAtReset.store(underruns());
}

void AudioEngine::setNoteOnTrace(bool on) { d->tracing.store(on); }

std::vector<AudioEngine::NoteOnTrace> AudioEngine::takeNoteOnTrace() {
    std::vector<NoteOnTrace> out;
    NoteOnTrace t;
    while (d->trace.pop(t)) out.push_back(t);
    return out;
}

}  // namespace plat
