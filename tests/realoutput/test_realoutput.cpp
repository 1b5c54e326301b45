// The audio engine's real output, played through a private PulseAudio server
// with a null sink and heard back from the sink's monitor: notes sound, the
// stream rests while quiet and wakes for the next note, a recorder's tap keeps
// it running. The server is this test's own (own runtime folder and socket),
// so tests run beside it never meet it. Skipped only where no server starts.
//
// The waits are bounded generously: a test asks that a sound arrives at all,
// never how soon.
#include "platform/audioengine.h"

#include "pulseserver.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <thread>

using plat::AudioEngine;

namespace {

constexpr uint32_t kNoteOnC4 = 0x00643C90;  // channel 0, note 60, velocity 100
constexpr uint32_t kNoteOffC4 = 0x00003C80;
constexpr float kHeardLevel = 0.01f;  // a block at the monitor above this is a sound

bool waitUntil(const std::function<bool()>& done, std::chrono::seconds bound) {
    const auto limit = std::chrono::steady_clock::now() + bound;
    while (!done() && std::chrono::steady_clock::now() < limit) std::this_thread::sleep_for(std::chrono::milliseconds(5));
    return done();
}

class RealOutput : public ::testing::Test {
protected:
    AudioEngine& engine = AudioEngine::instance();
    std::unique_ptr<bench::PulseServer> server;
    std::unique_ptr<bench::DeviceWatch> monitor;

    void SetUp() override {
        if (const char* s = std::getenv("PULSE_SERVER")) savedServer_ = s;
        engine.stop();
        server = std::make_unique<bench::PulseServer>();  // points PULSE_SERVER at itself
        if (!server->running())
            GTEST_SKIP() << "no private PulseAudio server could be started (is the pulseaudio package installed?)";
        monitor = std::make_unique<bench::DeviceWatch>(kHeardLevel);
        ASSERT_TRUE(monitor->running()) << "the null sink's monitor cannot be recorded";
        ASSERT_TRUE(engine.start(AudioEngine::Output::Auto));
        ASSERT_EQ(engine.outputName(), "pulse") << "the engine plays to the private server";
    }
    void TearDown() override {
        engine.stop();
        monitor.reset();
        server.reset();
        if (savedServer_)
            setenv("PULSE_SERVER", savedServer_->c_str(), 1);
        else
            unsetenv("PULSE_SERVER");
    }

    // Sends a note and tells whether the monitor hears it within a few seconds.
    bool noteHeard() {
        monitor->onsetNs = 0;
        monitor->armed = true;
        if (!engine.midiShortMessage(kNoteOnC4)) return false;
        const bool heard = waitUntil([&] { return monitor->onsetNs.load() != 0; }, std::chrono::seconds(10));
        monitor->armed = false;
        engine.midiShortMessage(kNoteOffC4);
        engine.allNotesOff();
        return heard;
    }

private:
    std::optional<std::string> savedServer_;
};

// A note sounds at the server; once quiet, the stream rests; after a rest of
// some seconds the next note wakes it and sounds too.
TEST_F(RealOutput, NotesSoundAlsoAfterTheStreamHasRested) {
    EXPECT_TRUE(noteHeard()) << "the first note";
    ASSERT_TRUE(waitUntil([&] { return engine.outputResting(); }, std::chrono::seconds(15))) << "the quiet stream rests";
    std::this_thread::sleep_for(std::chrono::seconds(3));
    ASSERT_TRUE(engine.outputResting());
    EXPECT_GT(monitor->quietBlocks.load(), 0) << "the sink is silent while the stream rests";
    EXPECT_TRUE(noteHeard()) << "a note after the rest";
    EXPECT_FALSE(engine.outputResting());
}

// A clock's note due shortly after the note that woke a rested stream keeps
// its distance from that note, as a key pressed at its time would: the
// stream's timing after the wake counts the silence played ahead of the
// woken note.
TEST_F(RealOutput, AClockNoteRightAfterAWakeKeepsItsDistanceFromTheWakingNote) {
    EXPECT_TRUE(noteHeard()) << "the stream plays and the server reports its timing";
    ASSERT_TRUE(waitUntil([&] { return engine.outputResting(); }, std::chrono::seconds(15))) << "the quiet stream rests";
    engine.setNoteOnTrace(true);
    constexpr int64_t kAfterMs = 40;
    const int64_t now = std::chrono::steady_clock::now().time_since_epoch().count();
    engine.midiShortMessage(kNoteOnC4);
    engine.midiShortMessage(0x00643E90, now + kAfterMs * 1'000'000);  // note 62, due 40 ms on
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    engine.setNoteOnTrace(false);
    const auto trace = engine.takeNoteOnTrace();
    engine.allNotesOff();
    ASSERT_EQ(trace.size(), 2u);
    const double gapMs = 1e3 * double(trace[1].frame - trace[0].frame) / engine.sampleRate();
    // (Within two blocks of the output.)
    EXPECT_NEAR(gapMs, double(kAfterMs), 3.0) << "the due note sounds as far after the waking note as it was sent";
}

// A recorder's tap records silence too: while it is there, the quiet stream
// keeps running and the tap gets every block; without it the stream rests.
TEST_F(RealOutput, ARecorderTapKeepsTheQuietStreamRunning) {
    ASSERT_TRUE(waitUntil([&] { return engine.outputResting(); }, std::chrono::seconds(15))) << "the quiet stream rests";
    std::atomic<uint64_t> recorded{0};
    const int recorder = engine.addTap([&](const float*, int n) { recorded += static_cast<uint64_t>(n); });
    // Two seconds of silence: longer than the quiet before a rest.
    const uint64_t twoSeconds = 2 * static_cast<uint64_t>(engine.sampleRate());
    EXPECT_TRUE(waitUntil([&] { return recorded.load() >= twoSeconds; }, std::chrono::seconds(10)))
        << "recorded " << recorded.load() << " frames";
    EXPECT_FALSE(engine.outputResting());
    engine.removeTap(recorder);
    EXPECT_TRUE(waitUntil([&] { return engine.outputResting(); }, std::chrono::seconds(15))) << "no recorder: the stream rests";
}

}  // namespace
