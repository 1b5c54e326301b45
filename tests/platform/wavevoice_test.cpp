#include "audiotestutil.h"

#include "platform/wavevoice.h"

#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <thread>

using plat::LinearResampler;

namespace {

std::vector<float> sine(int rate, double hz, int frameCount) {
    std::vector<float> v(static_cast<size_t>(frameCount) * 2);
    for (int i = 0; i < frameCount; ++i) {
        float s = static_cast<float>(std::sin(2 * M_PI * hz * i / rate));
        v[2 * i] = s;
        v[2 * i + 1] = -s;
    }
    return v;
}

int risingZeroCrossings(const std::vector<float>& stereo) {
    int n = 0;
    for (size_t i = 1; i < stereo.size() / 2; ++i)
        if (stereo[2 * (i - 1)] < 0 && stereo[2 * i] >= 0) ++n;
    return n;
}

TEST(Resampler, KeepsPitchAndDuration) {
    for (int inRate : {8000, 22050, 48000}) {
        auto in = sine(inRate, 440, inRate);  // one second
        std::vector<float> out;
        LinearResampler r(inRate, 44100);
        r.process(in.data(), in.size() / 2, out);
        // The tail beyond the last input frame (under one input frame) is not produced.
        EXPECT_NEAR(static_cast<double>(out.size() / 2), 44100, 44100.0 / inRate + 1) << inRate;
        EXPECT_NEAR(risingZeroCrossings(out), 440, 1) << inRate;
        for (size_t i = 0; i < out.size(); i += 2) ASSERT_FLOAT_EQ(out[i], -out[i + 1]) << "channels kept apart";
    }
}

TEST(Resampler, ChunkedInputGivesTheSameResultAsWhole) {
    auto in = sine(22050, 300, 5000);
    std::vector<float> whole;
    LinearResampler(22050, 44100).process(in.data(), in.size() / 2, whole);

    std::mt19937 rng(7);
    std::vector<float> pieces;
    LinearResampler r(22050, 44100);
    for (size_t pos = 0; pos < in.size() / 2;) {
        size_t n = std::min<size_t>(1 + rng() % 300, in.size() / 2 - pos);
        r.process(in.data() + pos * 2, n, pieces);
        pos += n;
    }
    ASSERT_EQ(pieces.size(), whole.size());
    for (size_t i = 0; i < whole.size(); ++i) ASSERT_NEAR(pieces[i], whole[i], 1e-6) << i;
}

class VoiceFiles : public ::testing::Test {
protected:
    QTemporaryDir dir;
    std::string path(const char* name) const { return dir.filePath(name).toStdString(); }

    // Mixes blocks until the voice finishes or `limit` frames were asked for;
    // counts the frames that carried sound (the streaming voice may miss a
    // block when its feeder is late, which only delays the sound).
    static size_t soundingFrames(plat::WaveVoice& v, size_t limit, float* lastLevel = nullptr) {
        size_t sounding = 0;
        std::vector<float> block(2 * 64);
        for (size_t asked = 0; asked < limit * 4 && sounding < limit && !v.finished();) {
            int n = static_cast<int>(std::min<size_t>(64, limit - sounding));
            std::fill(block.begin(), block.end(), 0.0f);
            v.mixInto(block.data(), n, 1.0f, 1.0f);
            asked += static_cast<size_t>(n);
            int got = 0;
            for (int i = 0; i < n; ++i) {
                if (block[2 * i] != 0.0f) {
                    ++got;
                    if (lastLevel) *lastLevel = block[2 * i];
                }
            }
            sounding += static_cast<size_t>(got);
            if (got < n) std::this_thread::sleep_for(std::chrono::microseconds(200));
        }
        return sounding;
    }
};

TEST_F(VoiceFiles, LongFilesStreamShortOnesAreDecoded) {
    ASSERT_TRUE(audiotest::writeLevelWav(path("long.wav"), 0.25f, plat::kStreamAboveSeconds + 1, 8000));
    ASSERT_TRUE(audiotest::writeLevelWav(path("short.wav"), 0.25f, 1.0, 8000));
    auto longVoice = plat::openWaveVoice(path("long.wav"), 44100, false);
    auto shortVoice = plat::openWaveVoice(path("short.wav"), 44100, false);
    EXPECT_NE(dynamic_cast<plat::StreamVoice*>(longVoice.get()), nullptr);
    EXPECT_NE(dynamic_cast<plat::BufferVoice*>(shortVoice.get()), nullptr);
    EXPECT_EQ(plat::openWaveVoice(path("none.wav"), 44100, false), nullptr);
}

TEST_F(VoiceFiles, StreamVoicePlaysEveryFrameThenFinishes) {
    ASSERT_TRUE(audiotest::writeLevelWav(path("a.wav"), 0.25f, 2.0));
    auto v = plat::StreamVoice::open(path("a.wav"), 44100, false);
    ASSERT_TRUE(v);
    v->setGain(2.0f);
    float level = 0;
    EXPECT_EQ(soundingFrames(*v, 10 * 44100, &level), 2u * 44100);
    EXPECT_FLOAT_EQ(level, 0.5f);
    EXPECT_TRUE(v->finished());
}

TEST_F(VoiceFiles, StreamVoiceLoopsAndStops) {
    ASSERT_TRUE(audiotest::writeLevelWav(path("a.wav"), 0.25f, 0.3));
    auto v = plat::StreamVoice::open(path("a.wav"), 44100, true);
    ASSERT_TRUE(v);
    EXPECT_EQ(soundingFrames(*v, 44100), 44100u) << "a second of sound from a 0.3 s loop";
    EXPECT_FALSE(v->finished());
    v->stop();
    std::vector<float> block(2 * 64, 0.0f);
    v->mixInto(block.data(), 64, 1.0f, 1.0f);
    EXPECT_TRUE(v->finished());
    EXPECT_EQ(block, std::vector<float>(2 * 64, 0.0f));
}

TEST_F(VoiceFiles, DecodeKeepsTheFirstTwoOfManyChannels) {
    ASSERT_TRUE(audiotest::writeSoundFile(path("three.wav"), 44100, 3, 100,
                                          [](int, int ch) { return 0.1f * (ch + 1); }));
    auto frames = plat::decodeWaveFile(path("three.wav"), 44100);
    ASSERT_TRUE(frames);
    ASSERT_EQ(frames->size(), 200u);
    EXPECT_FLOAT_EQ((*frames)[0], 0.1f);
    EXPECT_FLOAT_EQ((*frames)[1], 0.2f);
}

}  // namespace
