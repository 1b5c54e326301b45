// The audio engine: the embedded synthesizer, the mixer of wave voices, the recorder tap and the
// MIDI message path.
#include "platform/audioengine.h"

#include "platform/audiooutput.h"
#include "platform/midiout.h"
#include "platform/wavevoice.h"

#include <fluidsynth.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <mutex>
#include <system_error>
#include <utility>
#include <vector>

namespace plat {
namespace {

constexpr int kSampleRate = 44100;
constexpr int kMaxRenderBlock = 1024;
constexpr float kSilence = 1e-6f;  // a block below this level is silence (-120 dB)  // manual render() is cut into blocks of this size
constexpr const char* kTimGmPath = "/usr/share/sounds/sf2/TimGM6mb.sf2";
constexpr const char* kDefaultGmPath = "/usr/share/sounds/sf2/default-GM.sf2";
// Soundfonts above this size load their samples on demand.
constexpr std::uintmax_t kDynamicLoadingAbove = 16u * 1024u * 1024u;

namespace fs = std::filesystem;

std::uintmax_t fileSize(const fs::path& p) {
    std::error_code ec;
    auto n = fs::file_size(p, ec);
    return ec ? 0 : n;
}

bool isFile(const fs::path& p) {
    std::error_code ec;
    return fs::is_regular_file(p, ec);
}

fs::path resolved(const fs::path& p) {
    std::error_code ec;
    fs::path r = fs::canonical(p, ec);
    return ec ? p : r;
}

// fluidsynth reports missing presets, unknown settings and the like on
// stderr; the program has no use for that. Panics still go through, and
// MORVELA_AUDIO_DEBUG lets everything through.
void fluidLog(int level, const char* message, void*) {
    static const bool debug = std::getenv("MORVELA_AUDIO_DEBUG") != nullptr;
    if (level == FLUID_PANIC || debug) std::fprintf(stderr, "fluidsynth: %s\n", message);
}

void quietFluidLog() {
    static std::once_flag once;
    std::call_once(once, [] {
        for (int level : {FLUID_PANIC, FLUID_ERR, FLUID_WARN, FLUID_INFO, FLUID_DBG})
            fluid_set_log_function(level, fluidLog, nullptr);
    });
}

float peak(const float* frames, int frameCount) {
    float m = 0.0f;
    for (int i = 0; i < frameCount * 2; ++i) m = std::max(m, std::fabs(frames[i]));
    return m;
}

}  // namespace

std::string pickSoundFont(const char* envOverride, const std::string& defaultGmPath,
                          const std::string& timGmPath, bool* dynamicLoading) {
    *dynamicLoading = false;
    if (envOverride && *envOverride && isFile(envOverride)) {
        *dynamicLoading = fileSize(envOverride) > kDynamicLoadingAbove;
        return envOverride;
    }
    const bool haveTim = isFile(timGmPath);
    if (isFile(defaultGmPath)) {
        fs::path target = resolved(defaultGmPath);
        bool different = !haveTim || target != resolved(timGmPath);
        if (different && (!haveTim || fileSize(target) > fileSize(timGmPath))) {
            *dynamicLoading = true;
            return target.string();
        }
    }
    if (haveTim) return timGmPath;
    if (isFile(defaultGmPath)) {
        fs::path target = resolved(defaultGmPath);
        *dynamicLoading = fileSize(target) > kDynamicLoadingAbove;
        return target.string();
    }
    return {};
}

struct AudioEngine::Impl {
    enum Mode { Stopped, Threaded, Manual };

    std::mutex control;  // start / stop / synth creation
    fluid_settings_t* settings = nullptr;
    std::atomic<fluid_synth_t*> synth{nullptr};
    std::string soundFont;
    std::atomic<int> mode{Stopped};
    std::unique_ptr<AudioOutput> output;
    std::atomic<uint64_t> frames{0};

    // Wave voices: the list is touched by callers only for short pushes and
    // erases; voices are destroyed outside the lock on the caller's thread.
    mutable std::mutex voiceMutex;
    std::vector<std::shared_ptr<WaveVoice>> voices;
    std::shared_ptr<WaveVoice> effect;
    std::atomic<float> gainL{1.0f};
    std::atomic<float> gainR{1.0f};

    std::mutex tapMutex;
    struct TapEntry {
        int id;
        Tap tap;
        bool keepsRunning;
    };
    std::vector<TapEntry> taps;
    int nextTapId = 1;
    int runningTaps = 0;  // taps that want every block, silence included (tapMutex)

    // Lets a resting silent output render again (after anything that may
    // sound).
    std::mutex wakeMutex;  // guards liveOutput against its destruction
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
    std::atomic<uint64_t> statLate{0};

    ~Impl() {
        output.reset();
        if (fluid_synth_t* s = synth.exchange(nullptr)) delete_fluid_synth(s);
        if (settings) delete_fluid_settings(settings);
    }

    bool ensureSynth() {
        if (synth.load()) return true;
        quietFluidLog();
        settings = new_fluid_settings();
        if (!settings) return false;
        bool dynamic = false;
        soundFont = pickSoundFont(std::getenv("MORVELA_SOUNDFONT"), kDefaultGmPath, kTimGmPath, &dynamic);
        fluid_settings_setnum(settings, "synth.sample-rate", kSampleRate);
        fluid_settings_setint(settings, "synth.threadsafe-api", 1);
        fluid_settings_setint(settings, "synth.cpu-cores", 1);
        fluid_settings_setint(settings, "synth.lock-memory", 0);
        fluid_settings_setint(settings, "synth.dynamic-sample-loading", dynamic ? 1 : 0);
        // Loud enough to play along with: the mix is soft-limited below full scale.
        fluid_settings_setnum(settings, "synth.gain", 0.8);
        fluid_synth_t* s = new_fluid_synth(settings);
        if (!s) {
            delete_fluid_settings(settings);
            settings = nullptr;
            return false;
        }
        if (!soundFont.empty() && fluid_synth_sfload(s, soundFont.c_str(), 1) == FLUID_FAILED) {
            // A broken override or default: fall back to TimGM6mb.
            soundFont.clear();
            if (isFile(kTimGmPath) && fluid_synth_sfload(s, kTimGmPath, 1) != FLUID_FAILED) soundFont = kTimGmPath;
        }
        synth.store(s);
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

    // Renders one block, timed; true when it is silence, nothing is left
    // sounding (no synthesizer voice, no wave sound) and no tap wants every
    // block.
    bool renderBlock(float* out, int frameCount) {
        const auto began = std::chrono::steady_clock::now();
        const bool quiet = mixBlock(out, frameCount);
        const int64_t ns = std::chrono::duration_cast<std::chrono::nanoseconds>(std::chrono::steady_clock::now() - began).count();
        statBlocks.fetch_add(1, std::memory_order_relaxed);
        if (ns > statWorstNs.load(std::memory_order_relaxed)) statWorstNs.store(ns, std::memory_order_relaxed);
        if (ns * kSampleRate > int64_t(frameCount) * 1000000000) statLate.fetch_add(1, std::memory_order_relaxed);
        return quiet;
    }

    bool mixBlock(float* out, int frameCount) {
        bool quiet = true;
        if (fluid_synth_t* s = synth.load(std::memory_order_acquire)) {
            fluid_synth_write_float(s, frameCount, out, 0, 2, out, 1, 2);
            quiet = fluid_synth_get_active_voice_count(s) == 0;
        } else {
            std::fill(out, out + frameCount * 2, 0.0f);
        }
        {
            std::lock_guard<std::mutex> lock(voiceMutex);
            const float l = gainL.load(std::memory_order_relaxed);
            const float r = gainR.load(std::memory_order_relaxed);
            for (const auto& v : voices) {
                v->mixInto(out, frameCount, l, r);
                if (!v->finished()) quiet = false;
            }
        }
        softLimit(out, frameCount * 2);
        {
            std::lock_guard<std::mutex> lock(tapMutex);
            for (auto& t : taps) t.tap(out, frameCount);
            if (runningTaps > 0) quiet = false;
        }
        frames.fetch_add(static_cast<uint64_t>(frameCount), std::memory_order_relaxed);
        // Effect tails (reverb) fade on after the last voice: quiet only
        // once they are inaudible.
        return quiet && peak(out, frameCount) < kSilence;
    }

    // Takes finished voices off the list (lock held); the caller destroys them.
    void takeFinished(std::vector<std::shared_ptr<WaveVoice>>& garbage) {
        auto it = std::stable_partition(voices.begin(), voices.end(),
                                        [](const auto& v) { return !v->finished(); });
        std::move(it, voices.end(), std::back_inserter(garbage));
        voices.erase(it, voices.end());
        if (effect && effect->finished()) effect.reset();
    }

    void removeLocked(const std::shared_ptr<WaveVoice>& v, std::vector<std::shared_ptr<WaveVoice>>& garbage) {
        if (!v) return;
        v->stop();
        auto it = std::find(voices.begin(), voices.end(), v);
        if (it != voices.end()) {
            garbage.push_back(std::move(*it));
            voices.erase(it);
        }
    }

    void silenceSynth() {
        fluid_synth_t* s = synth.load();
        if (!s) return;
        int channels = fluid_synth_count_midi_channels(s);
        for (int ch = 0; ch < channels; ++ch) {
            fluid_synth_all_notes_off(s, ch);
            fluid_synth_all_sounds_off(s, ch);
        }
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
    if (!d->ensureSynth()) return false;
    d->frames.store(0);
    if (output == Output::Manual) {
        d->mode.store(Impl::Manual);
        return true;
    }
    Impl* impl = d.get();
    d->output = AudioOutput::start(output == Output::Null ? AudioOutput::Kind::Null : AudioOutput::Kind::Auto,
                                   kSampleRate, [impl](float* out, int n) { return impl->renderBlock(out, n); });
    d->setLiveOutput(d->output.get());
    d->mode.store(Impl::Threaded);
    return true;
}

void AudioEngine::stop() {
    std::vector<std::shared_ptr<WaveVoice>> garbage;
    {
        std::lock_guard<std::mutex> lock(d->control);
        if (d->mode.load() == Impl::Stopped) return;
        d->silenceSynth();
        d->setLiveOutput(nullptr);
        d->output.reset();  // joins the render thread
        d->mode.store(Impl::Stopped);
        {
            std::lock_guard<std::mutex> vlock(d->voiceMutex);
            for (auto& v : d->voices) v->stop();
            garbage = std::move(d->voices);
            d->voices.clear();
            d->effect.reset();
        }
        d->drainSynth();
    }
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
    std::lock_guard<std::mutex> lock(d->control);
    return d->soundFont;
}

bool AudioEngine::midiShortMessage(uint32_t message) {
    const bool ok = applyShortMessage(message);
    d->wake();  // after the event: the block the output renders next holds it
    return ok;
}

bool AudioEngine::applyShortMessage(uint32_t message) {
    fluid_synth_t* s = d->synth.load();
    if (!s || !isWellFormedShortMessage(message)) return false;
    const int status = static_cast<int>(message & 0xFF);
    const int ch = status & 0x0F;
    const int d1 = static_cast<int>((message >> 8) & 0x7F);
    const int d2 = static_cast<int>((message >> 16) & 0x7F);
    switch (status & 0xF0) {
    case 0x80:
        fluid_synth_noteoff(s, ch, d1);  // fails only when the note is not sounding
        return true;
    case 0x90:
        if (d2 == 0) {
            fluid_synth_noteoff(s, ch, d1);
            return true;
        }
        return fluid_synth_noteon(s, ch, d1, d2) == FLUID_OK;
    case 0xA0: return fluid_synth_key_pressure(s, ch, d1, d2) == FLUID_OK;
    case 0xB0: return fluid_synth_cc(s, ch, d1, d2) == FLUID_OK;
    case 0xC0: return fluid_synth_program_change(s, ch, d1) == FLUID_OK;
    case 0xD0: return fluid_synth_channel_pressure(s, ch, d1) == FLUID_OK;
    case 0xE0: return fluid_synth_pitch_bend(s, ch, d1 | (d2 << 7)) == FLUID_OK;
    default: return true;  // real-time messages: nothing for a synthesizer to do
    }
}

void AudioEngine::allNotesOff() { d->silenceSynth(); }

fluid_synth_t* AudioEngine::synth() { return d->synth.load(); }

bool AudioEngine::playEffect(const std::string& path, bool loop) {
    // Decoding happens here, before the voice list is touched.
    std::shared_ptr<WaveVoice> voice = openWaveVoice(path, kSampleRate, loop);
    std::vector<std::shared_ptr<WaveVoice>> garbage;
    {
        std::lock_guard<std::mutex> lock(d->voiceMutex);
        d->removeLocked(d->effect, garbage);
        d->effect.reset();
        d->takeFinished(garbage);
        if (voice) {
            d->voices.push_back(voice);
            d->effect = voice;
        }
    }
    d->wake();
    return voice != nullptr;
}

void AudioEngine::stopEffect() {
    std::vector<std::shared_ptr<WaveVoice>> garbage;
    std::lock_guard<std::mutex> lock(d->voiceMutex);
    d->removeLocked(d->effect, garbage);
    d->effect.reset();
}

bool AudioEngine::effectPlaying() const {
    std::lock_guard<std::mutex> lock(d->voiceMutex);
    return d->effect && !d->effect->finished();
}

void AudioEngine::addVoice(std::shared_ptr<WaveVoice> voice) {
    if (!voice) return;
    std::vector<std::shared_ptr<WaveVoice>> garbage;
    std::lock_guard<std::mutex> lock(d->voiceMutex);
    d->takeFinished(garbage);
    d->voices.push_back(std::move(voice));
    d->wake();
}

void AudioEngine::removeVoice(const std::shared_ptr<WaveVoice>& voice) {
    std::vector<std::shared_ptr<WaveVoice>> garbage;
    std::lock_guard<std::mutex> lock(d->voiceMutex);
    d->removeLocked(voice, garbage);
    d->takeFinished(garbage);
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
        d->taps.push_back({id, std::move(tap), keepsRunning});
        if (keepsRunning) ++d->runningTaps;
    }
    d->wake();
    return id;
}

bool AudioEngine::outputResting() const {
    std::lock_guard<std::mutex> lock(d->control);
    return d->output && d->output->resting();
}

void AudioEngine::removeTap(int id) {
    Tap removed;  // destroyed after the lock is released
    std::lock_guard<std::mutex> lock(d->tapMutex);
    auto it = std::find_if(d->taps.begin(), d->taps.end(), [id](const auto& t) { return t.id == id; });
    if (it != d->taps.end()) {
        removed = std::move(it->tap);
        if (it->keepsRunning) --d->runningTaps;
        d->taps.erase(it);
    }
}

void AudioEngine::render(float* out, int frameCount) {
    if (d->mode.load() != Impl::Manual) {
        std::fill(out, out + std::max(frameCount, 0) * 2, 0.0f);
        return;
    }
    for (int done = 0; done < frameCount;) {
        int n = std::min(kMaxRenderBlock, frameCount - done);
        d->renderBlock(out + static_cast<size_t>(done) * 2, n);
        done += n;
    }
}

uint64_t AudioEngine::framesRendered() const { return d->frames.load(std::memory_order_relaxed); }

AudioEngine::RenderStats AudioEngine::renderStats() const {
    RenderStats r;
    r.blocks = d->statBlocks.load();
    r.worstMs = static_cast<double>(d->statWorstNs.load()) / 1e6;
    r.late = d->statLate.load();
    return r;
}

void AudioEngine::resetRenderStats() {
    d->statBlocks.store(0);
    d->statWorstNs.store(0);
    d->statLate.store(0);
}

}  // namespace plat
