// The synthesizer's soundfont held in memory, and MIDI messages handed to a
// render thread that lags behind.
#include "platform/audioengine.h"
#include "platform/synthesizer.h"

#include <QTemporaryDir>
#include <fluidsynth.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <thread>
#include <vector>

using plat::AudioEngine;

namespace {

// The soundfont the test setup names for every test that listens.
std::string testFont() {
    const char* font = std::getenv("MORVELA_SOUNDFONT");
    return font ? font : "";
}

// Overwrites the sample data of a soundfont file with zeros: whatever reads
// its samples from now on plays silence.
bool silenceSamples(const std::string& path) {
    std::fstream f(path, std::ios::in | std::ios::out | std::ios::binary);
    std::string bytes((std::istreambuf_iterator<char>(f)), std::istreambuf_iterator<char>());
    const size_t at = bytes.find("smpl");
    if (at == std::string::npos || at + 8 > bytes.size()) return false;
    uint32_t length = 0;
    std::memcpy(&length, bytes.data() + at + 4, 4);  // little-endian, as the file
    f.clear();
    f.seekp(static_cast<std::streamoff>(at + 8));
    const std::string zeros(std::min<size_t>(length, bytes.size() - at - 8), '\0');
    f.write(zeros.data(), static_cast<std::streamsize>(zeros.size()));
    return bool(f.flush());
}

}  // namespace

// Once loaded, every sample of the soundfont is in memory: choosing a program
// and striking a note never goes back to the file (which would stall the
// render thread). The file's samples are silenced after the load; every
// program still sounds.
TEST(SoundFontLoading, EverySampleIsInMemoryOnceLoaded) {
    if (!std::filesystem::exists(testFont())) GTEST_SKIP() << "no soundfont at " << testFont();
    QTemporaryDir dir;
    const std::string copy = dir.filePath("font.sf2").toStdString();
    std::filesystem::copy_file(testFont(), copy);
    plat::LoadedSynth s = plat::loadSynth(44100, copy, "");
    ASSERT_TRUE(s.synth);
    ASSERT_EQ(s.font, copy);
    ASSERT_TRUE(silenceSamples(copy));
    std::vector<int> silent;
    std::vector<float> out(2 * 4410);
    for (int program = 0; program < 128; ++program) {
        fluid_synth_program_change(s.synth, 0, program);
        fluid_synth_noteon(s.synth, 0, 60, 100);
        fluid_synth_write_float(s.synth, 4410, out.data(), 0, 2, out.data(), 1, 2);
        float peak = 0;
        for (float v : out) peak = std::max(peak, std::fabs(v));
        if (peak < 1e-4f) silent.push_back(program);
        fluid_synth_all_sounds_off(s.synth, 0);
    }
    EXPECT_TRUE(silent.empty()) << silent.size() << " programs silent, the first " << silent.front();
    plat::freeSynth(s);
}

// A run of twenty keys a second (faster than anyone plays the computer
// keyboard) on the default voices, each key released at the next, lets every
// note ring to its natural end: the voices sounding at once stay below the
// synthesizer's polyphony, where it would cut the oldest short.
TEST(SoundFontLoading, TheFastestRunOnTheDefaultVoicesIsNotCut) {
    if (!std::filesystem::exists(testFont())) GTEST_SKIP() << "no soundfont at " << testFont();
    plat::LoadedSynth s = plat::loadSynth(44100, testFont(), "");
    ASSERT_TRUE(s.synth);
    const int programs[3] = {51, 14, 78}, velocities[3] = {85, 70, 55};  // strings, tubular bells, whistle
    for (int ch = 0; ch < 3; ++ch) fluid_synth_program_change(s.synth, ch, programs[ch]);
    auto strike = [&](int key, bool on) {
        auto note = [&](int ch, int k) { on ? fluid_synth_noteon(s.synth, ch, k, velocities[ch]) : fluid_synth_noteoff(s.synth, ch, k); };
        for (int ch = 0; ch < 3; ++ch) note(ch, key);
        note(2, key - 12);  // voice 3's octave below
    };
    std::vector<float> out(2 * 441);
    int peak = 0;
    for (int i = 0, previous = 0; i < 200; ++i) {  // 10 s
        const int key = 60 + (i * 7) % 24;
        if (previous) strike(previous, false);
        strike(key, true);
        previous = key;
        for (int block = 0; block < 5; ++block) {  // 50 ms
            fluid_synth_write_float(s.synth, 441, out.data(), 0, 2, out.data(), 1, 2);
            peak = std::max(peak, fluid_synth_get_active_voice_count(s.synth));
        }
    }
    EXPECT_LT(peak, fluid_synth_get_polyphony(s.synth));
    EXPECT_GT(peak, 256) << "the run keeps more voices than the synthesizer's default polyphony";
    plat::freeSynth(s);
}

// A burst of program changes and notes four times the size of the engine's
// queue, sent while the render thread lags (it sleeps at every block): every
// message is taken, none refused, and the notes start in the order sent.
TEST(QueuedMessages, ABurstLargerThanTheQueueIsDeliveredInOrderWhileRenderingLags) {
    AudioEngine& engine = AudioEngine::instance();
    engine.stop();
    ASSERT_TRUE(engine.start(AudioEngine::Output::Null));
    const int slow = engine.addTap([](const float*, int) { std::this_thread::sleep_for(std::chrono::milliseconds(2)); });
    engine.takeNoteOnTrace();
    engine.setNoteOnTrace(true);
    // Note i: channel i % 8, key (i / 8) % 128, velocity 1 + i / 1024.
    constexpr int kNotes = 12000;
    auto noteOn = [](int i) { return uint32_t(0x90 + i % 8) | uint32_t((i / 8) % 128) << 8 | uint32_t(1 + i / 1024) << 16; };
    int refused = 0;
    for (int i = 0; i < kNotes; ++i) {
        const uint32_t channel = uint32_t(i % 8);
        refused += !engine.midiShortMessage(0xC0 | channel | uint32_t(i % 128) << 8);
        refused += !engine.midiShortMessage(noteOn(i));
        refused += !engine.midiShortMessage((noteOn(i) & 0xFFFF) - 0x10);  // note off
    }
    EXPECT_EQ(refused, 0);
    std::vector<uint32_t> started;
    // A safety net only: the notes are all there well within a second.
    const auto limit = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    while (started.size() < size_t(kNotes - refused) && std::chrono::steady_clock::now() < limit) {
        for (const auto& t : engine.takeNoteOnTrace()) started.push_back(t.message);
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    engine.setNoteOnTrace(false);
    engine.removeTap(slow);
    engine.stop();  // the synthesizer is ours to read now
    ASSERT_EQ(started.size(), size_t(kNotes));
    for (int i = 0; i < kNotes; ++i) ASSERT_EQ(started[size_t(i)], noteOn(i)) << "note " << i;
    for (int channel = 0; channel < 8; ++channel) {
        int sfont = 0, bank = 0, program = 0;
        fluid_synth_get_program(engine.synth(), channel, &sfont, &bank, &program);
        EXPECT_EQ(program, (kNotes - 8 + channel) % 128) << "the last program change on channel " << channel;
    }
}
