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

typedef struct _fluid_synth_t fluid_synth_t;

namespace plat {

class WaveVoice;

// The soundfont the engine loads. envOverride (MORVELA_SOUNDFONT) wins when it
// names an existing file. Else the system's default GM soundfont when it
// resolves to a different file larger than TimGM6mb (a fuller set), else
// TimGM6mb, else whatever default GM soundfont exists. *dynamicLoading is set
// for large soundfonts, whose samples are then loaded as presets are first
// selected rather than all at start. Empty when nothing is found.
std::string pickSoundFont(const char* envOverride, const std::string& defaultGmPath,
                          const std::string& timGmPath, bool* dynamicLoading);

class AudioEngine {
public:
    enum class Output { Auto, Null, Manual };  // Manual: nothing renders until render() is called (tests)

    static AudioEngine& instance();

    // Starts the engine once (later calls do nothing and return true).
    // The soundfont is the system's default GM soundfont when it is a
    // better one than TimGM6mb, else TimGM6mb (see pickSoundFont); it is
    // loaded at the first start and stays loaded.
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

    // Synthesizer. Returns false when the synthesizer refused the event
    // (a note off for a note that is not sounding is not a refusal) or the
    // message is not well-formed (isWellFormedShortMessage), or before the
    // first start. System real-time messages are accepted and do nothing.
    bool midiShortMessage(uint32_t message);
    void allNotesOff();  // every channel: all notes off and sound off
    fluid_synth_t* synth();

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
    using Tap = std::function<void(const float* frames, int frameCount)>;
    int addTap(Tap tap);
    void removeTap(int id);

    // Manual output: renders frameCount frames into out (interleaved stereo),
    // passing them through the taps as the real output would.
    void render(float* out, int frameCount);

    // Frames rendered since the last start (all outputs).
    uint64_t framesRendered() const;

    // Render timing since the last reset: blocks rendered, the slowest one,
    // and how many took longer to render than they last when played (such a
    // block misses its deadline at the output). Taps are part of a block.
    struct RenderStats {
        uint64_t blocks = 0;
        double worstMs = 0;
        uint64_t late = 0;
    };
    RenderStats renderStats() const;
    void resetRenderStats();

private:
    AudioEngine();
    ~AudioEngine();
    struct Impl;
    std::unique_ptr<Impl> d;
};

}  // namespace plat
