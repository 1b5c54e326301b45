#include "audiotestutil.h"

#include "platform/audioengine.h"

#include <QTemporaryDir>
#include <fluidsynth.h>
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <thread>

using audiotest::EngineTest;
using audiotest::frames;
using audiotest::rms;
using plat::AudioEngine;

namespace {

constexpr uint32_t kNoteOnC4 = 0x00643C90;   // channel 0, note 60, velocity 100
constexpr double kSilent = 1e-5;

using EngineSynth = EngineTest;

TEST_F(EngineSynth, NoteOnReachesTheTapAndRenderOutput) {
    EXPECT_LT(levelOf(0.05), kSilent) << "engine starts silent";
    ASSERT_TRUE(engine.midiShortMessage(kNoteOnC4));
    auto out = render(0.2);
    EXPECT_GT(rms(out, 0, out.size() / 2), 1e-3);
    // The tap saw exactly what render() produced, after the silent start.
    ASSERT_EQ(tapped.size(), frames(0.05) * 2 + out.size());
    EXPECT_TRUE(std::equal(out.begin(), out.end(), tapped.end() - static_cast<long>(out.size())));
    EXPECT_EQ(engine.framesRendered(), frames(0.25));
    EXPECT_EQ(engine.outputName(), "manual");
}

TEST_F(EngineSynth, AllNotesOffSilencesEvenWithTheSustainPedalDown) {
    ASSERT_TRUE(engine.midiShortMessage(0x007F40B0));  // sustain pedal down, channel 0
    ASSERT_TRUE(engine.midiShortMessage(kNoteOnC4));
    ASSERT_TRUE(engine.midiShortMessage(0x00503099));  // a drum on channel 9
    ASSERT_TRUE(engine.midiShortMessage(0x00644093));  // channel 3
    ASSERT_TRUE(engine.midiShortMessage(0x00003C80));  // released, but held by the pedal
    EXPECT_GT(levelOf(0.2), 1e-3);
    engine.allNotesOff();
    auto out = render(2.0);
    EXPECT_LT(rms(out, out.size() / 2 - frames(0.1), out.size() / 2), kSilent);
}

TEST_F(EngineSynth, NoteOffAndZeroVelocityEndTheNote) {
    EXPECT_TRUE(engine.midiShortMessage(0x00003D80)) << "note off for a note that is not sounding";
    EXPECT_TRUE(engine.midiShortMessage(0x00003D90)) << "velocity 0 for a note that is not sounding";

    // A held note is still clearly audible after 1.5 s; one ended by a
    // zero-velocity note on has died away by then.
    ASSERT_TRUE(engine.midiShortMessage(kNoteOnC4));
    render(1.5);
    double held = levelOf(0.1);
    engine.allNotesOff();
    render(2.0);
    ASSERT_TRUE(engine.midiShortMessage(kNoteOnC4));
    render(0.1);
    ASSERT_TRUE(engine.midiShortMessage(0x00003C90));
    render(1.4);
    double released = levelOf(0.1);
    EXPECT_LT(released, held / 20) << "held " << held << " released " << released;
}

TEST_F(EngineSynth, MalformedMessagesAreRefusedAndNeverResetTheSynth) {
    ASSERT_TRUE(engine.midiShortMessage(0x000028C0));  // program 40 on channel 0
    for (uint32_t bad : {0xFFFFFFC0u, 0x00000000u, 0x000000FFu, 0x0000FFC0u, 0x00FF3C90u})
        EXPECT_FALSE(engine.midiShortMessage(bad)) << std::hex << bad;
    int sfont = 0, bank = 0, program = 0;
    ASSERT_EQ(fluid_synth_get_program(engine.synth(), 0, &sfont, &bank, &program), FLUID_OK);
    EXPECT_EQ(program, 40) << "the channel kept its program";
    EXPECT_TRUE(engine.midiShortMessage(0x000000F8)) << "real-time messages are accepted";
}

TEST_F(EngineSynth, ChannelMessagesReachTheSynth) {
    fluid_synth_t* s = engine.synth();
    ASSERT_TRUE(engine.midiShortMessage(0x005A07B2));  // volume 90, channel 2
    ASSERT_TRUE(engine.midiShortMessage(0x007F7FE2));  // pitch bend to the top, channel 2
    ASSERT_TRUE(engine.midiShortMessage(0x000019C2));  // program 25, channel 2
    int value = 0;
    fluid_synth_get_cc(s, 2, 7, &value);
    EXPECT_EQ(value, 90);
    fluid_synth_get_pitch_bend(s, 2, &value);
    EXPECT_EQ(value, 0x3FFF);
    int sfont = 0, bank = 0, program = 0;
    fluid_synth_get_program(s, 2, &sfont, &bank, &program);
    EXPECT_EQ(program, 25);
    ASSERT_TRUE(engine.midiShortMessage(0x004000E2));  // bend back to the centre
    fluid_synth_get_pitch_bend(s, 2, &value);
    EXPECT_EQ(value, 0x2000);
}

TEST_F(EngineSynth, WaveGainLeavesTheSynthAlone) {
    engine.setWaveGain(0.0f, 0.0f);
    ASSERT_TRUE(engine.midiShortMessage(kNoteOnC4));
    EXPECT_GT(levelOf(0.2), 1e-3);
    engine.setWaveGain(2.0f, -1.0f);
    EXPECT_EQ(engine.waveGainLeft(), 1.0f);
    EXPECT_EQ(engine.waveGainRight(), 0.0f);
}

TEST_F(EngineSynth, RemovedTapIsNotCalledAgain) {
    render(0.01);
    int before = tapBlocks;
    std::atomic<int> second{0};
    int id = engine.addTap([&](const float*, int) { ++second; });
    render(0.01);
    EXPECT_GT(second.load(), 0);
    engine.removeTap(id);
    int seen = second.load();
    render(0.01);
    EXPECT_EQ(second.load(), seen);
    EXPECT_GT(tapBlocks, before);
}

TEST_F(EngineSynth, StopSilencesAndStartBeginsAfresh) {
    ASSERT_TRUE(engine.midiShortMessage(kNoteOnC4));
    render(0.2);
    engine.stop();
    EXPECT_FALSE(engine.running());
    std::vector<float> idle(2 * 256, 1.0f);
    int blocks = tapBlocks;
    engine.render(idle.data(), 256);
    EXPECT_EQ(idle, std::vector<float>(2 * 256, 0.0f)) << "render() without the manual output gives silence";
    EXPECT_EQ(tapBlocks, blocks) << "and does not call the taps";

    ASSERT_TRUE(engine.start(AudioEngine::Output::Manual));
    EXPECT_EQ(engine.framesRendered(), 0u);
    EXPECT_LT(levelOf(0.05), kSilent) << "neither the note nor its tail survive a stop";
    EXPECT_FALSE(engine.soundFontPath().empty()) << "the soundfont stays loaded";
    ASSERT_TRUE(engine.midiShortMessage(kNoteOnC4));
    EXPECT_GT(levelOf(0.2), 1e-3);
}

TEST_F(EngineSynth, NullOutputRendersOnItsOwnThread) {
    engine.stop();
    ASSERT_TRUE(engine.start(AudioEngine::Output::Null));
    EXPECT_EQ(engine.outputName(), "null");
    EXPECT_GT(engine.outputBufferMs(), 0.0);
    EXPECT_LE(engine.outputBufferMs(), 10.0);
    std::atomic<bool> heard{false};
    int id = engine.addTap([&](const float* f, int n) {
        for (int i = 0; i < 2 * n; ++i)
            if (std::fabs(f[i]) > 1e-3f) heard = true;
    });
    ASSERT_TRUE(engine.midiShortMessage(kNoteOnC4));
    auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (!heard && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    engine.removeTap(id);
    EXPECT_TRUE(heard.load());
    EXPECT_GT(engine.framesRendered(), 0u);
    engine.stop();
    EXPECT_EQ(engine.outputBufferMs(), 0.0);
}

// --- choice of soundfont -----------------------------------------------------

class SoundFontChoice : public ::testing::Test {
protected:
    QTemporaryDir dir;
    std::string path(const char* name) const {
        return (std::filesystem::canonical(dir.path().toStdString()) / name).string();
    }
    void makeFile(const char* name, size_t bytes) const {
        std::ofstream(path(name), std::ios::binary) << std::string(bytes, 'x');
    }
    void link(const char* target, const char* name) const {
        std::filesystem::create_symlink(path(target), path(name));
    }
};

TEST_F(SoundFontChoice, LargerDefaultGmSoundfontWinsWithDynamicLoading) {
    makeFile("Tim.sf2", 1000);
    makeFile("Full.sf2", 5000);
    link("Full.sf2", "default-GM.sf2");
    bool dynamic = false;
    EXPECT_EQ(plat::pickSoundFont(nullptr, path("default-GM.sf2"), path("Tim.sf2"), &dynamic), path("Full.sf2"));
    EXPECT_TRUE(dynamic);
}

TEST_F(SoundFontChoice, DefaultGmThatIsTimOrSmallerKeepsTim) {
    makeFile("Tim.sf2", 1000);
    makeFile("Small.sf2", 500);
    link("Tim.sf2", "default-GM.sf2");
    bool dynamic = true;
    EXPECT_EQ(plat::pickSoundFont(nullptr, path("default-GM.sf2"), path("Tim.sf2"), &dynamic), path("Tim.sf2"));
    EXPECT_FALSE(dynamic);
    std::filesystem::remove(path("default-GM.sf2"));
    link("Small.sf2", "default-GM.sf2");
    EXPECT_EQ(plat::pickSoundFont("", path("default-GM.sf2"), path("Tim.sf2"), &dynamic), path("Tim.sf2"));
}

TEST_F(SoundFontChoice, OverrideWinsOnlyWhenItExists) {
    makeFile("Tim.sf2", 1000);
    makeFile("Mine.sf2", 10);
    bool dynamic = true;
    EXPECT_EQ(plat::pickSoundFont(path("Mine.sf2").c_str(), path("none.sf2"), path("Tim.sf2"), &dynamic),
              path("Mine.sf2"));
    EXPECT_FALSE(dynamic);
    EXPECT_EQ(plat::pickSoundFont(path("Missing.sf2").c_str(), path("none.sf2"), path("Tim.sf2"), &dynamic),
              path("Tim.sf2"));
}

TEST_F(SoundFontChoice, WithoutTimTheDefaultGmOrNothing) {
    makeFile("Other.sf2", 100);
    link("Other.sf2", "default-GM.sf2");
    bool dynamic = false;
    EXPECT_EQ(plat::pickSoundFont(nullptr, path("default-GM.sf2"), path("Tim.sf2"), &dynamic), path("Other.sf2"));
    EXPECT_EQ(plat::pickSoundFont(nullptr, path("nothing.sf2"), path("Tim.sf2"), &dynamic), "");
}

}  // namespace
