// The wave recorder: records what the user hears, the audio engine's mix,
// through the engine's tap. The render thread only copies each block into a
// lock-free ring; a writer thread converts the frames to the chosen rate and
// channel count and writes them with libsndfile into a scratch wave file in
// the chosen sample format. A save copies that file into place.
#pragma once

#include "platform/mcidevice.h"

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace plat {

class AudioEngine;

// A single-producer single-consumer ring of interleaved stereo frames. The
// producer (render thread) never waits: what does not fit is dropped and
// counted.
class FrameRing {
public:
    explicit FrameRing(size_t capacityFrames);  // rounded up to a power of two
    // Producer: copies up to frameCount frames; returns the number taken.
    size_t push(const float* frames, size_t frameCount);
    // Consumer: moves up to maxFrames frames into out; returns the number.
    size_t pop(float* out, size_t maxFrames);
    size_t capacity() const { return mask_ + 1; }

private:
    std::vector<float> buf_;
    size_t mask_;
    std::atomic<uint64_t> head_{0};  // frames written
    std::atomic<uint64_t> tail_{0};  // frames read
};

struct WaveFormat {
    int bitsPerSample = 8;     // 8 (unsigned samples) or 16
    int samplesPerSec = 11025;
    int channels = 1;
};

class WaveRecorder : public MciDevice {
public:
    explicit WaveRecorder(AudioEngine& engine);
    ~WaveRecorder() override;

    // Settings, one per "set" command:
    //   bitspersample 8|16, samplespersec <8000..96000>, channels 1|2,
    //   file format tag pcm, format tag pcm, algorithm pcm,
    //   assemble record on|off (accepted; a record always appends).
    // The format cannot change while recording or once a take exists.
    uint32_t set(const std::vector<std::string>& words) override;
    // Starts (or continues) the take; starts the audio engine if needed.
    uint32_t record() override;
    uint32_t stop() override;
    // Writes the take (an empty one when nothing was recorded) to path
    // through the program's writer (savefile.h); a failed save keeps it.
    uint32_t save(const std::string& path) override;
    // "recording"; "not ready" once the scratch file takes no more of what is
    // heard (a full disk): the take then holds what came before; "stopped".
    std::string mode() const override;
    bool canSave() const override { return true; }

    WaveFormat format() const { return format_; }
    uint64_t framesDropped() const;  // mix frames lost because the writer fell behind

private:
    struct Take;
    uint32_t openTake();
    AudioEngine& engine_;
    WaveFormat format_;
    std::unique_ptr<Take> take_;
    int tapId_ = 0;
    bool recording_ = false;
};

// The scratch files of takes that a power loss or a kill cut short, in the
// temporary folder: removes those whose recording process is gone. The
// number removed.
int removeLeftoverTakes();

}  // namespace plat
