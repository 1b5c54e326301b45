// Sound aids of the window tests: wave files to play, and a window fixture whose audio engine runs on its manual
// output (render() mixes), optionally logging every media command sent.
#pragma once

#include "platform/audioengine.h"
#include "platform/mcicommand.h"
#include "platform/mcidevice.h"

#include <QFile>
#include <gtest/gtest.h>
#include <sndfile.h>

#include <cmath>
#include <string>
#include <vector>

namespace testing_support {

// A mono wave file at 44100 Hz (16-bit unless told) of the given samples.
inline void writeMonoWave(const QString& path, const std::vector<float>& samples,
                          int format = SF_FORMAT_WAV | SF_FORMAT_PCM_16) {
    SF_INFO info{0, 44100, 1, format, 0, 0};
    SNDFILE* f = sf_open(QFile::encodeName(path).constData(), SFM_WRITE, &info);
    ASSERT_NE(f, nullptr) << path.toStdString();
    sf_writef_float(f, samples.data(), static_cast<sf_count_t>(samples.size()));
    sf_close(f);
}

// A 440 Hz tone at half level.
inline void writeTone(const QString& path, double seconds, int format = SF_FORMAT_WAV | SF_FORMAT_PCM_16) {
    std::vector<float> data(static_cast<size_t>(seconds * 44100));
    for (size_t i = 0; i < data.size(); ++i) data[i] = 0.5f * std::sin(2 * 3.14159265f * 440 * i / 44100);
    writeMonoWave(path, data, format);
}

inline void writeLevel(const QString& path, double seconds, float level) {  // a constant level
    writeMonoWave(path, std::vector<float>(static_cast<size_t>(seconds * 44100), level));
}

// WindowTest with the audio engine on its manual output for the test's life.
template <class WindowTest>
class ManualSoundTest : public WindowTest {
protected:
    plat::AudioEngine& engine = plat::AudioEngine::instance();

    void SetUp() override {
        engine.stop();
        ASSERT_TRUE(engine.start(plat::AudioEngine::Output::Manual));
        WindowTest::SetUp();
    }
    void TearDown() override {
        WindowTest::TearDown();
        engine.stopEffect();
        plat::closeAllMciDevices();
        engine.stop();
    }
    void render(double seconds) {
        std::vector<float> out(static_cast<size_t>(seconds * 44100) * 2);
        engine.render(out.data(), static_cast<int>(out.size() / 2));
    }
};

// ... and every media command sent, in order; sent() takes those since the last call.
template <class WindowTest>
class RecorderCommandTest : public ManualSoundTest<WindowTest> {
protected:
    using Commands = std::vector<std::string>;
    Commands commands;

    void SetUp() override {
        ManualSoundTest<WindowTest>::SetUp();
        plat::setMciObserver([this](const std::string& text, uint32_t) { commands.push_back(text); });
    }
    void TearDown() override {
        plat::setMciObserver({});
        ManualSoundTest<WindowTest>::TearDown();
    }
    Commands sent() { return std::exchange(commands, {}); }
};

}  // namespace testing_support
