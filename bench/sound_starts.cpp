// Dropouts where the sound starts, printed as "name: value" lines.
//
// The audio engine alone plays to a private PulseAudio server with a null
// sink (bench/pulseserver.h). starts: the output is started, a note is
// played once the stream plays, and the engine is stopped, so many times;
// start_underrun_events / start_underrun_callbacks: the underruns of those
// streams, within the first five seconds of each. wakes: a note is played
// as the first sound after the output has come to rest and the server has
// suspended its idle sink; wake_underrun_events / _callbacks: the underruns
// from the note to a second after it. wake_note_to_device_ms_median / _max:
// that note, given to the engine, to its first sound at the sink's monitor.
//
// Usage: sound_starts [--times N]   (default 20 of each)
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

double medianOf(std::vector<double> v) {
    if (v.empty()) return -1;
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
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
    uint64_t startEvents = 0, startCallbacks = 0;
    for (int i = 0; i < times; ++i) {
        engine.start(plat::AudioEngine::Output::Auto);
        // The stream plays once the server asks for more than its first fill.
        waitFor([&] { return engine.framesRendered() > 44100 / 10; }, std::chrono::seconds(4));
        std::this_thread::sleep_for(std::chrono::milliseconds(200));
        note();
        std::this_thread::sleep_for(std::chrono::seconds(2));
        startEvents += engine.underrunEvents();
        startCallbacks += engine.underruns();
        engine.stop();
        std::this_thread::sleep_for(std::chrono::milliseconds(1500));  // the sink suspends
    }
    engine.start(plat::AudioEngine::Output::Auto);
    waitFor([&] { return engine.framesRendered() > 44100 / 10; }, std::chrono::seconds(4));
    uint64_t wakeEvents = 0, wakeCallbacks = 0;
    std::vector<double> wakeLatency;
    for (int i = 0; i < times; ++i) {
        waitFor([&] { return engine.outputResting(); }, std::chrono::seconds(10));
        std::this_thread::sleep_for(std::chrono::milliseconds(1500));  // the sink suspends
        const uint64_t events = engine.underrunEvents(), callbacks = engine.underruns();
        watch.armed = true;
        const auto sent = Clock::now();
        note();
        if (waitFor([&] { return !watch.armed; }, std::chrono::seconds(1)))
            wakeLatency.push_back(std::chrono::duration<double, std::milli>(Clock::time_point(Clock::duration(watch.onsetNs.load())) - sent).count());
        watch.armed = false;
        std::this_thread::sleep_for(std::chrono::seconds(1));
        wakeEvents += engine.underrunEvents() - events;
        wakeCallbacks += engine.underruns() - callbacks;
    }
    engine.stop();
    std::printf("output: pulse\n");
    std::printf("starts: %d\n", times);
    std::printf("start_underrun_events: %llu\n", static_cast<unsigned long long>(startEvents));
    std::printf("start_underrun_callbacks: %llu\n", static_cast<unsigned long long>(startCallbacks));
    std::printf("wakes: %d\n", times);
    std::printf("wake_underrun_events: %llu\n", static_cast<unsigned long long>(wakeEvents));
    std::printf("wake_underrun_callbacks: %llu\n", static_cast<unsigned long long>(wakeCallbacks));
    std::printf("wake_notes_timed: %zu\n", wakeLatency.size());
    std::printf("wake_note_to_device_ms_median: %.3f\n", medianOf(wakeLatency));
    std::printf("wake_note_to_device_ms_max: %.3f\n", wakeLatency.empty() ? -1.0 : *std::max_element(wakeLatency.begin(), wakeLatency.end()));
    std::fflush(stdout);
    server.reset();
    std::_Exit(0);  // the engine needs no orderly teardown here
}
