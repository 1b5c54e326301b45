// The program's one audio engine: a mixer that renders the embedded General
// MIDI synthesizer and any wave sounds (effects, media playback) into one
// stereo stream, offers a tap that the wave recorder writes from, and sends
// the stream to the desktop's sound server. Without a sound device it keeps
// running at real-time pace into a null output.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

typedef struct _fluid_synth_t fluid_synth_t;

namespace plat {

class WaveVoice;

class AudioEngine {
public:
    enum class Output { Auto, Null, Manual };  // Manual: nothing renders until render() is called (tests)

    static AudioEngine& instance();

    // Starts the engine once (later calls do nothing and return true).
    // The soundfont is the system's default GM soundfont when it is a
    // better one than TimGM6mb, else TimGM6mb; it is loaded whole at the
    // first start and stays loaded (pickSoundFont, loadSynth: synthesizer.h).
    bool start(Output output = Output::Auto);
    // Silence and close the output; the synth stays loaded. Wave sounds are
    // ended and the synthesizer's effect tails run out before the next start.
    void stop();
    bool running() const;

    int sampleRate() const;          // 44100
    double outputBufferMs() const;   // buffering asked of the sound server
    double outputLatencyMs() const;  // latency the sound server reports (-1 none)
    std::string outputName() const;  // "pulse", "null", "manual"; "stopped" before start / after stop
    std::string soundFontPath() const;

    // Synthesizer. Only the thread that renders calls the synthesizer: every
    // other thread hands its messages over through a lock-free queue, and
    // the message sounds at dueNs (steady clock, nanoseconds; 0 = at once,
    // from the next block rendered). The synthesizer starts notes at the edges
    // of its 64-frame blocks: a timed message sounds from the edge nearest
    // its due frame. On one channel messages keep the order they were sent
    // in (a message due earlier waits for the ones sent before it). The
    // manual output sounds every message at once (the next render() call).
    // Returns false when the message is not well-formed
    // (isWellFormedShortMessage) or before the first start. When the queue
    // is full, waits for room while an output's render thread takes from it
    // (a burst is delivered whole, in order); refuses a full queue only when
    // no render thread runs (manual output, stopped) or it has taken nothing
    // for half a second (while the soundfont loads: after five seconds).
    // System real-time messages do nothing.
    bool midiShortMessage(uint32_t message, int64_t dueNs = 0);
    // The message sounds from frame `frame` (counted from the start) on, or
    // at once when that frame has been rendered.
    bool midiShortMessageAtFrame(uint32_t message, uint64_t frame);
    void allNotesOff();  // every channel: all notes off and sound off (after what was sent before)
    // For the thread that renders (the manual output's caller) or while stopped.
    fluid_synth_t* synth();
    static constexpr int kSynthBlockFrames = 64;

    // Wave sounds. One "effect" slot for the asynchronous sound player:
    // a new request ends the one in progress.
    bool playEffect(const std::string& path, bool loop);
    void stopEffect();
    bool effectPlaying() const;

    // Further wave voices (media playback). The voice is mixed until it
    // finishes or is removed; finished voices are released on the caller's
    // thread at the next add/remove/play call, never on the render thread.
    void addVoice(std::shared_ptr<WaveVoice> voice);
    void removeVoice(const std::shared_ptr<WaveVoice>& voice);

    // Gain of wave sounds (effects and media), 0..1 per side.
    void setWaveGain(float left, float right);
    float waveGainLeft() const;
    float waveGainRight() const;

    // Tap: called from the render thread with every block of interleaved
    // stereo float frames after mixing. Returns an id for removeTap. Once
    // removeTap returns, the tap is not running and will not be called again.
    // A tap must not add or remove taps.
    //
    // Without a sound server the output rests while nothing sounds (no
    // blocks, no CPU) and starts again at the next sound. An EveryBlock tap
    // (a recorder: silence is part of what it records) keeps the output
    // running at real-time pace; a WhileSounding tap sees the blocks the
    // output renders anyway and lets it rest.
    enum class TapKind { EveryBlock, WhileSounding };
    using Tap = std::function<void(const float* frames, int frameCount)>;
    int addTap(Tap tap, TapKind kind = TapKind::EveryBlock);
    void removeTap(int id);

    // Manual output: renders frameCount frames into out (interleaved stereo),
    // passing them through the taps as the real output would.
    void render(float* out, int frameCount);

    // Frames rendered since the last start (all outputs; the silent output
    // renders none while it rests).
    uint64_t framesRendered() const;
    // The silent output is resting: nothing sounds and no tap wants blocks.
    bool outputResting() const;

    // Render timing since the last reset: blocks rendered, the slowest one,
    // the mean; the most synthesizer voices sounding at once;
    // timed messages that reached the render thread after their due frame
    // (more than half a synthesizer block late) and the latest of them; and
    // the output's underruns (the sound server ran out of sound: heard as a
    // dropout), as the server reported them.
    struct RenderStats {
        uint64_t blocks = 0;
        double worstMs = 0;
        double meanMs = 0;
        int voicesPeak = 0;
        uint64_t lateMessages = 0;
        double worstMessageLateMs = 0;
        uint64_t underruns = 0;
    };
    RenderStats renderStats() const;
    void resetRenderStats();
    // Underruns of the output since it was started (never reset): underflow
    // callbacks, and the dropouts they make (a burst of callbacks is one).
    uint64_t underruns() const;
    uint64_t underrunEvents() const;

    // Benchmarks: while on, the render thread notes every note-on it applies
    // with the frame at which the note starts sounding.
    struct NoteOnTrace {
        uint32_t message;
        int64_t dueNs;   // as stamped (0 = at once)
        uint64_t frame;  // first frame of the note in the rendered stream
    };
    void setNoteOnTrace(bool on);
    std::vector<NoteOnTrace> takeNoteOnTrace();

private:
    AudioEngine();
    ~AudioEngine();
    struct Impl;
    std::unique_ptr<Impl> d;
};

}  // namespace plat
