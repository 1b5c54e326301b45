// Wave voices of the audio engine's mixer: a sound that adds stereo frames at
// the engine's rate into the mix. Two kinds: a decoded buffer (short sounds,
// decoded on the caller's thread before playing starts) and a streaming
// reader (long files, decoded ahead by a feeder thread into a ring buffer so
// the render thread never touches the disk).
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace plat {

// Linear-interpolation resampler for interleaved stereo, keeping its position
// across calls so a stream can be fed in chunks.
class LinearResampler {
public:
    LinearResampler(int inRate, int outRate);
    // Appends the resampled frames of `in` (frameCount stereo frames) to out.
    void process(const float* in, size_t frameCount, std::vector<float>& out);

private:
    double step_;        // input frames per output frame
    double pos_ = 0.0;   // position of the next output frame; 0 = prev_
    bool havePrev_ = false;
    float prev_[2] = {0, 0};
};

// Facts about a sound file, read without decoding it.
struct WaveFileInfo {
    int sampleRate = 0;
    int channels = 0;
    int64_t frames = 0;  // in the file's rate; may be an estimate (mp3)
};
bool probeWaveFile(const std::string& path, WaveFileInfo* info);

// Decodes a whole file (anything libsndfile reads: wav, mp3, flac, ogg...)
// into interleaved stereo at `rate`. Mono is doubled; beyond two channels
// the first two are kept. Null when the file cannot be read or is empty.
std::shared_ptr<const std::vector<float>> decodeWaveFile(const std::string& path, int rate);

class WaveVoice {
public:
    virtual ~WaveVoice() = default;

    // Render thread: adds up to frameCount frames into out (interleaved
    // stereo) scaled by the voice gain times gainL / gainR. Once the sound
    // has ended (or stop() was called) it marks itself finished and adds
    // nothing more.
    virtual void mixInto(float* out, int frameCount, float gainL, float gainR) = 0;

    void stop() { stopped_.store(true, std::memory_order_relaxed); }
    bool finished() const { return finished_.load(std::memory_order_acquire); }
    void setGain(float gain) { gain_.store(gain, std::memory_order_relaxed); }
    float gain() const { return gain_.load(std::memory_order_relaxed); }
    bool loops() const { return loop_; }

protected:
    explicit WaveVoice(bool loop) : loop_(loop) {}
    bool stopRequested() const { return stopped_.load(std::memory_order_relaxed); }
    void markFinished() { finished_.store(true, std::memory_order_release); }

private:
    const bool loop_;
    std::atomic<bool> stopped_{false};
    std::atomic<bool> finished_{false};
    std::atomic<float> gain_{1.0f};
};

// A voice over a decoded buffer (interleaved stereo at the engine's rate).
class BufferVoice : public WaveVoice {
public:
    BufferVoice(std::shared_ptr<const std::vector<float>> frames, bool loop);
    void mixInto(float* out, int frameCount, float gainL, float gainR) override;
    size_t frameCount() const { return frames_->size() / 2; }

private:
    std::shared_ptr<const std::vector<float>> frames_;
    size_t pos_ = 0;  // in frames
};

// A voice that streams a file: a feeder thread decodes and resamples into a
// lock-free ring buffer that the render thread reads. When the feeder falls
// behind the voice plays silence for the missing part rather than waiting.
class StreamVoice : public WaveVoice {
public:
    // Null when the file cannot be opened.
    static std::unique_ptr<StreamVoice> open(const std::string& path, int rate, bool loop);
    ~StreamVoice() override;
    void mixInto(float* out, int frameCount, float gainL, float gainR) override;

private:
    struct Feeder;
    explicit StreamVoice(bool loop);
    std::unique_ptr<Feeder> feeder_;
};

// Above this length (seconds) a file is streamed instead of decoded whole.
constexpr double kStreamAboveSeconds = 20.0;

// Opens the voice kind that suits the file: decoded for short files,
// streaming for long ones. Null when the file cannot be played.
std::shared_ptr<WaveVoice> openWaveVoice(const std::string& path, int rate, bool loop);

}  // namespace plat
