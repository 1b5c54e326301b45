// Where the audio engine's mix goes: a render thread that renders fixed
// blocks from the mixer and writes them to the desktop's sound server itself
// (its own connection, driven from that thread at real-time priority where
// the system allows), or — without a server — paces itself at real time into
// a silent output so that timing, taps and recording behave the same. When
// nothing has sounded for a while the output rests (the server's stream is
// corked, the silent output stops rendering), so that an idle program costs
// no CPU, and whatever may make a sound wakes it.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

namespace plat {

// Frames per block the render thread asks of the mixer (about 1.45 ms).
constexpr int kOutputBlockFrames = 64;
// Output buffering asked of the sound server: kServerBufferStartMs at first;
// after an underrun it grows (up to kServerBufferMaxMs) and comes back
// within seconds while none comes; after minutes without one it tries
// smaller sizes down to kServerBufferMs (see BufferPolicy). Most of it is
// the server's own: a block rendered now is heard about 9 ms later at 15 ms.
constexpr double kServerBufferMs = 10.0;
constexpr double kServerBufferStartMs = 15.0;
constexpr double kServerBufferMaxMs = 60.0;

class AudioOutput {
public:
    enum class Kind { Auto, Null };
    // Renders one block; returns true when the block is silence and nothing
    // is left sounding (the output may then rest until woken). aheadMs: how
    // far ahead of being heard the output renders a block (the buffer asked
    // of the server now). heardNs: when the first frame rendered since the
    // start is heard (steady clock, ns), so frame f is heard at heardNs plus
    // f's time, as the server's last timing report has it; 0 while there is
    // none (the silent output, a new stream).
    using RenderFn = std::function<bool(float* interleaved, int frameCount, double aheadMs, int64_t heardNs)>;

    // Auto: the sound server, else (after one line on stderr, once per
    // process) the null output. Null: the null output. Starts the render
    // thread, which calls render until the output is destroyed.
    static std::unique_ptr<AudioOutput> start(Kind kind, int sampleRate, RenderFn render);
    ~AudioOutput();  // stops the thread and closes the stream

    std::string name() const;  // "pulse" or "null"
    double bufferMs() const;   // buffering asked of the server now
    // The latency the sound server reports for the stream (what is queued
    // and not yet heard), sampled now and then by the render thread; -1
    // without a server.
    double measuredLatencyMs() const;

    // Something may sound now: a resting output renders again at once.
    // Cheap while the output is not resting. Any thread.
    void wake();
    // The output is resting (renders nothing until woken).
    bool resting() const;
    // Times the sound server ran out of sound for the stream (0 without one):
    // each underflow callback, and the events they make (a burst of
    // callbacks is one dropout).
    uint64_t underruns() const;
    uint64_t underrunEvents() const;

private:
    struct Impl;
    explicit AudioOutput(std::unique_ptr<Impl> d);
    std::unique_ptr<Impl> d;
};

}  // namespace plat
