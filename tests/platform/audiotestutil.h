// Helpers of the audio tests: sound files written with libsndfile, levels of
// rendered frames, and a fixture that runs the engine on the manual output.
#pragma once

#include "platform/audioengine.h"

#include <fluidsynth.h>
#include <gtest/gtest.h>
#include <sndfile.h>

#include <cmath>
#include <functional>
#include <string>
#include <vector>

namespace audiotest {

// Writes a float sound file; sample(frame, channel) gives each value.
inline bool writeSoundFile(const std::string& path, int rate, int channels, int frames,
                           const std::function<float(int, int)>& sample,
                           int format = SF_FORMAT_WAV | SF_FORMAT_FLOAT) {
    SF_INFO info{};
    info.samplerate = rate;
    info.channels = channels;
    info.format = format;
    SNDFILE* f = sf_open(path.c_str(), SFM_WRITE, &info);
    if (!f) return false;
    std::vector<float> data(static_cast<size_t>(frames) * channels);
    for (int i = 0; i < frames; ++i)
        for (int c = 0; c < channels; ++c) data[static_cast<size_t>(i) * channels + c] = sample(i, c);
    sf_count_t written = sf_writef_float(f, data.data(), frames);
    sf_close(f);
    return written == frames;
}

// A constant level, easy to recognise in the mix after resampling.
inline bool writeLevelWav(const std::string& path, float level, double seconds, int rate = 44100,
                          int channels = 1) {
    return writeSoundFile(path, rate, channels, static_cast<int>(seconds * rate),
                          [level](int, int) { return level; });
}

// RMS of one channel (0 = left, 1 = right) or both (-1) over frames [from, to).
inline double rms(const std::vector<float>& stereo, size_t from, size_t to, int channel = -1) {
    double sum = 0;
    size_t n = 0;
    for (size_t i = from; i < to && 2 * i + 1 < stereo.size(); ++i) {
        for (int c = 0; c < 2; ++c) {
            if (channel >= 0 && c != channel) continue;
            sum += double(stereo[2 * i + c]) * stereo[2 * i + c];
            ++n;
        }
    }
    return n ? std::sqrt(sum / n) : 0.0;
}

inline size_t frames(double seconds) { return static_cast<size_t>(seconds * 44100); }

// Runs the engine on the manual output; everything rendered is also kept as
// seen by a tap.
class EngineTest : public ::testing::Test {
protected:
    plat::AudioEngine& engine = plat::AudioEngine::instance();
    std::vector<float> tapped;  // every frame the tap saw
    int tapBlocks = 0;

    void SetUp() override {
        engine.stop();
        ASSERT_TRUE(engine.start(plat::AudioEngine::Output::Manual));
        // Channel state (programs, pedals) outlives a stop; begin from the defaults.
        fluid_synth_system_reset(engine.synth());
        engine.setWaveGain(1.0f, 1.0f);
        tapId_ = engine.addTap([this](const float* f, int n) {
            tapped.insert(tapped.end(), f, f + 2 * n);
            ++tapBlocks;
        });
    }
    void TearDown() override {
        engine.removeTap(tapId_);
        engine.stopEffect();
        engine.setWaveGain(1.0f, 1.0f);
        engine.stop();
    }

    // Renders the given time and returns what render() wrote.
    std::vector<float> render(double seconds) {
        std::vector<float> out(frames(seconds) * 2);
        engine.render(out.data(), static_cast<int>(out.size() / 2));
        return out;
    }
    double levelOf(double seconds, int channel = -1) {
        auto out = render(seconds);
        return rms(out, 0, out.size() / 2, channel);
    }

private:
    int tapId_ = 0;
};

}  // namespace audiotest
