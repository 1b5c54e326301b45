// Dropouts where the sound starts, printed as "name: value" lines.
//
// The audio engine alone plays to a private PulseAudio server with a null
// sink (bench/pulseserver.h). starts: the output is started, a note is
// played once the stream plays, and the engine is stopped, so many times;
// start_underrun_events / start_underrun_callbacks: the underruns of those
// streams, within the first five seconds of each. wakes: a note is played
// as the first sound after the output has come to rest and the server has
// suspended its idle sink; wake_underrun_events / _callbacks: the underruns
// from the note to half a second after it. wake_note_to_device_ms_median /
// _max: that note, given to the engine, to its first sound at the sink's
// monitor; start_note_to_device_ms_*: the same for the first note of each
// started stream; play_note_to_device_ms_*: a note half a second after each
// wake note, the stream playing, the reference for both.
//
// Usage: sound_starts [--times N]   (default 20 of each)
#include "benchsupport.h"
#include "pulseserver.h"
#include "platform/audioengine.h"

#include <QCoreApplication>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <memory>
#include <thread>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

template <class Pred>
bool waitFor(Pred pred, std::chrono::milliseconds limit) {
    const auto deadline = Clock::now() + limit;
    while (!pred()) {
        if (Clock::now() > deadline) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    int times = 20;
    for (int i = 1; i + 1 < argc; ++i)
        if (std::strcmp(argv[i], "--times") == 0) times = std::max(1, std::atoi(argv[i + 1]));
    QCoreApplication app(argc, argv);
    auto server = std::make_unique<bench::PulseServer>();
    if (!server->running()) {
        std::fprintf(stderr, "no private sound server (pulseaudio missing?)\n");
        return 1;
    }
    plat::AudioEngine& engine = plat::AudioEngine::instance();
    bench::DeviceWatch watch(1e-3f);
    auto note = [&] {
        engine.midiShortMessage(0x00643C90);
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        engine.midiShortMessage(0x00003C80);
        engine.midiShortMessage(0x000078B0);
    };
    // Arms the watch once the monitor is quiet, plays a note, and keeps its
    // span to the first sound.
    auto timedNote = [&](std::vector<double>& spans) {
        waitFor([&] { return watch.quietBlocks >= 20; }, std::chrono::milliseconds(500));
        watch.armed = true;
        const auto sent = Clock::now();
        note();
        if (waitFor([&] { return !watch.armed; }, std::chrono::seconds(1)))
            spans.push_back(std::chrono::duration<double, std::milli>(Clock::time_point(Clock::duration(watch.onsetNs.load())) - sent).count());
        watch.armed = false;
    };
    std::vector<double> startLatency, wakeLatency, playLatency;
    uint64_t startEvents = 0, startCallbacks = 0;
    for (int i = 0; i < times; ++i) {
        engine.start(plat::AudioEngine::Output::Auto);
        // The stream plays once the server asks for more than its first fill.
        waitFor([&] { return engine.framesRendered() > 44100 / 10; }, std::chrono::seconds(4));
        std::this_thread::sleep_for(std::chrono::milliseconds(200));
        timedNote(startLatency);
        std::this_thread::sleep_for(std::chrono::seconds(2));
        startEvents += engine.underrunEvents();
        startCallbacks += engine.underruns();
        engine.stop();
        std::this_thread::sleep_for(std::chrono::milliseconds(1500));  // the sink suspends
    }
    engine.start(plat::AudioEngine::Output::Auto);
    waitFor([&] { return engine.framesRendered() > 44100 / 10; }, std::chrono::seconds(4));
    uint64_t wakeEvents = 0, wakeCallbacks = 0;
    for (int i = 0; i < times; ++i) {
        waitFor([&] { return engine.outputResting(); }, std::chrono::seconds(10));
        std::this_thread::sleep_for(std::chrono::milliseconds(1500));  // the sink suspends
        const uint64_t events = engine.underrunEvents(), callbacks = engine.underruns();
        const auto woken = Clock::now();
        timedNote(wakeLatency);
        std::this_thread::sleep_until(woken + std::chrono::milliseconds(500));
        wakeEvents += engine.underrunEvents() - events;
        wakeCallbacks += engine.underruns() - callbacks;
        timedNote(playLatency);
    }
    engine.stop();
    std::printf("output: pulse\n");
    std::printf("starts: %d\n", times);
    std::printf("start_underrun_events: %llu\n", static_cast<unsigned long long>(startEvents));
    std::printf("start_underrun_callbacks: %llu\n", static_cast<unsigned long long>(startCallbacks));
    std::printf("wakes: %d\n", times);
    std::printf("wake_underrun_events: %llu\n", static_cast<unsigned long long>(wakeEvents));
    std::printf("wake_underrun_callbacks: %llu\n", static_cast<unsigned long long>(wakeCallbacks));
    auto spread = [](const char* name, const std::vector<double>& v) {
        std::printf("%s_notes_timed: %zu\n", name, v.size());
        std::printf("%s_note_to_device_ms_median: %.3f\n", name, bench::median(v));
        std::printf("%s_note_to_device_ms_max: %.3f\n", name, v.empty() ? -1.0 : *std::max_element(v.begin(), v.end()));
    };
    spread("start", startLatency);
    spread("wake", wakeLatency);
    spread("play", playLatency);
    std::fflush(stdout);
    server.reset();
    std::_Exit(0);  // the engine needs no orderly teardown here
}
