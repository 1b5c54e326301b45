// Latency figures of the sound path, printed as "name: value" lines.
//
// note_to_frame_ms_*: from a note-on given to midiOutShortMsg on the mapper
// to the mixer block in which that note's first frames appear, as a tap sees
// it, with the engine on its real output (the sound server, or the null
// output on a machine without one). output_buffer_ms: the buffering the
// output adds after that, as asked of the sound server.
#include "platform/audioengine.h"
#include "platform/midiout.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <random>
#include <string>
#include <thread>
#include <utility>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;
using Figure = std::pair<std::string, double>;

constexpr int kNotes = 300;
constexpr float kSoundLevel = 1e-4f;  // a block above this carries the note
constexpr float kQuietLevel = 1e-6f;  // blocks below this are silence

double median(std::vector<double> v) {
    if (v.empty()) return -1;
    std::sort(v.begin(), v.end());
    size_t n = v.size();
    return n % 2 ? v[n / 2] : (v[n / 2 - 1] + v[n / 2]) / 2;
}

// Watches the mixer: when armed, notes the time of the first block with sound.
struct OnsetTap {
    std::atomic<bool> armed{false};
    std::atomic<int64_t> onsetNs{0};
    std::atomic<int> quietBlocks{0};  // consecutive silent blocks

    void operator()(const float* frames, int frameCount) {
        float peak = 0;
        for (int i = 0; i < 2 * frameCount; ++i) peak = std::max(peak, std::fabs(frames[i]));
        quietBlocks = peak < kQuietLevel ? quietBlocks + 1 : 0;
        if (armed && peak > kSoundLevel) {
            onsetNs = Clock::now().time_since_epoch().count();
            armed = false;
        }
    }
};

template <class Pred>
bool waitFor(Pred pred, std::chrono::milliseconds limit) {
    auto deadline = Clock::now() + limit;
    while (!pred()) {
        if (Clock::now() > deadline) return false;
        std::this_thread::sleep_for(std::chrono::microseconds(100));
    }
    return true;
}

std::vector<Figure> noteLatencyFigures() {
    plat::MidiOutHandleValue h = 0;
    if (plat::midiOutOpen(&h, 0xFFFFFFFF, 0, 0, 0) != plat::kMidiOk) return {};
    plat::AudioEngine& engine = plat::AudioEngine::instance();
    OnsetTap tap;
    int tapId = engine.addTap([&tap](const float* f, int n) { tap(f, n); });

    // Dry sound only: without reverb and chorus tails the silence between
    // notes comes at once after "all sound off".
    plat::midiOutShortMsg(h, 0x00005BB0);  // reverb send 0
    plat::midiOutShortMsg(h, 0x00005DB0);  // chorus send 0
    plat::midiOutShortMsg(h, 0x000000C0);  // piano

    std::mt19937 rng(1);
    std::uniform_int_distribution<int> jitterUs(0, 3000);  // notes land anywhere within a block
    std::vector<double> latencies;
    for (int i = 0; i < kNotes; ++i) {
        if (!waitFor([&] { return tap.quietBlocks >= 3; }, std::chrono::seconds(2))) continue;
        std::this_thread::sleep_for(std::chrono::microseconds(jitterUs(rng)));
        const uint32_t note = 48 + static_cast<uint32_t>(i % 24);
        tap.armed = true;
        const auto sent = Clock::now();
        plat::midiOutShortMsg(h, 0x00640090 | (note << 8));
        bool heard = waitFor([&] { return !tap.armed; }, std::chrono::seconds(1));
        tap.armed = false;
        if (heard) {
            auto onset = Clock::time_point(Clock::duration(tap.onsetNs.load()));
            latencies.push_back(std::chrono::duration<double, std::milli>(onset - sent).count());
        }
        plat::midiOutShortMsg(h, 0x00000080 | (note << 8));
        plat::midiOutShortMsg(h, 0x000078B0);  // all sound off
    }

    engine.removeTap(tapId);
    std::vector<Figure> figures = {
        {"note_to_frame_ms_median", median(latencies)},
        {"note_to_frame_ms_max", latencies.empty() ? -1 : *std::max_element(latencies.begin(), latencies.end())},
        {"output_buffer_ms", engine.outputBufferMs()},
    };
    plat::midiOutClose(h);
    return figures;
}

}  // namespace

int main() {
    std::vector<Figure> figures;
    auto add = [&figures](std::vector<Figure> more) {
        figures.insert(figures.end(), more.begin(), more.end());
    };
    add(noteLatencyFigures());
    for (const auto& [name, value] : figures) std::printf("%s: %.3f\n", name.c_str(), value);
    plat::AudioEngine::instance().stop();
    return figures.empty() ? 1 : 0;
}
