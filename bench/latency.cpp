// Latency figures of the sound path, printed as "name: value" lines.
//
// The program plays to a private PulseAudio server with a null sink
// (bench/pulseserver.h), started before the program; without the pulseaudio
// package it falls back to the silent output (output: null).
//
// note_to_frame_ms_*: from a note-on given to midiOutShortMsg on the mapper
// to the mixer block in which that note's first frames appear, as a tap sees
// it (the span ends at the mixer, before the server's buffer);
// *_after_rest: the first note after the output has come to rest (the
// server's stream corked after a second of quiet). output_buffer_ms: the
// buffering the output adds after the mixer, as asked of the sound server;
// output_latency_ms: what the sound server reports queued for the stream
// (-1 without one). after_rest_extra_ms: median after rest minus median
// during play.
//
// startup_ms: from the start of main() to the main window shown, with the
// start-up window dismissed at once. key_to_frame_ms_*: from a key event
// delivered to the keyboard button to the note's first frames in the mixer;
// key_to_frame_ms_median_long_score: the same with 100,000 characters of
// score already recorded in the score box.
//
// note_to_device_ms_median / _p99 / _after_rest: from the note-on given to
// midiOutShortMsg to the first sounding frame read back from the null sink's
// monitor (the device end: what a listener would hear, plus the monitor's
// own small read latency); device_after_rest_extra_ms: after rest minus
// during play. key_event_to_device_ms_median / _p99: from a key event
// delivered to the keyboard button (after the X server and Qt's event
// queue) to the same monitor onset. -1 without a server.
//
// first_step_stretch_ms_median / _abs_p99 (_after_rest): a key's note sent
// at once, and the next step of a clock started by it, sent the clock's
// look-ahead before its deadline 600 ms later and stamped with it, both
// timed at the monitor from -60 dB: how much longer than 600 ms the step is
// heard (0: the clock's notes keep the live notes' latency); after rest: the
// key is the first sound after the output came to rest, as at a take's start.
//
// idle_cpu_percent: CPU time of the program (all threads) and of the sound
// server together over a stretch of wall time with the main window shown,
// after a note and then 2.5 s of quiet, in percent of one core
// (idle_cpu_percent_program, idle_cpu_percent_server: each on its own). The
// stretch is 30 s; "--idle-seconds N" shortens it for a quick check.
//
// MORVELA_BENCH_NOTES=N times N notes (and 5 after rest) instead of 300 and 40.
//
// The output is warmed up for three seconds before any note is timed: a sound
// server may hold the first writes of a new stream while it settles.
#include "benchsupport.h"
#include "keyboard/appfolder.h"
#include "keyboard/startupwindow.h"
#include "keyboard/mainwindow.h"
#include "keyboard/keyboardwidgets.h"
#include "midi/state.h"
#include "platform/audioengine.h"
#include "platform/dialogs.h"
#include "platform/midiout.h"
#include "platform/textcodec.h"
#include "pulseserver.h"

#include <QApplication>
#include <QKeyEvent>
#include <QEventLoop>
#include <QFile>
#include <QTimer>
#include <QTemporaryDir>

#include <fluidsynth.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <random>
#include <sys/resource.h>
#include <string>
#include <thread>
#include <utility>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;
using Figure = std::pair<std::string, double>;

const int kNotes = std::getenv("MORVELA_BENCH_NOTES") ? std::atoi(std::getenv("MORVELA_BENCH_NOTES")) : 300;
const int kNotesFromRest = std::getenv("MORVELA_BENCH_NOTES") ? 5 : 40;
constexpr float kSoundLevel = 1e-4f;  // a block above this carries the note
constexpr float kQuietLevel = 1e-6f;  // blocks below this are silence

using bench::median;

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


// Shows the main window as the program does at start, the splash dismissed
// at once; returns the window.
MainWindow* startProgram(const Clock::time_point& t0, std::vector<Figure>& figures, const QString& folder) {
    keyboard::SetProgramFolder(folder);
    StartupWindow::OtherInstanceRunning = [] { return false; };
    auto* splash = new StartupWindow();
    splash->Show();
    splash->Command1_Click();
    MainWindow* form = midi::G.Form1Instance;
    QCoreApplication::processEvents();
    if (form && form->isVisible()) {
        figures.push_back({"startup_ms", std::chrono::duration<double, std::milli>(Clock::now() - t0).count()});
    }
    return form;
}


double cpuSeconds() {
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    return static_cast<double>(u.ru_utime.tv_sec + u.ru_stime.tv_sec) +
           static_cast<double>(u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
}

// Runs the event loop for `seconds` with nothing to do but what the window
// and the engine do on their own, after one note and a second and a half of
// quiet.
std::vector<Figure> idleCpuFigures(double seconds, const bench::PulseServer& server) {
    auto runFor = [](double s) {
        QEventLoop loop;
        QTimer::singleShot(static_cast<int>(s * 1000), &loop, &QEventLoop::quit);
        loop.exec();
    };
    plat::AudioEngine::instance().midiShortMessage(0x00403C90);
    runFor(0.2);
    plat::AudioEngine::instance().midiShortMessage(0x00003C80);
    runFor(2.5);  // the program rests after a second, the server's output a second later
    const double cpu0 = cpuSeconds();
    const double server0 = server.cpuSeconds();
    const auto t0 = Clock::now();
    runFor(seconds);
    const double wall = std::chrono::duration<double>(Clock::now() - t0).count();
    const double program = 100.0 * (cpuSeconds() - cpu0) / wall;
    const double serverCpu = 100.0 * (server.cpuSeconds() - server0) / wall;
    return {{"idle_cpu_percent", program + serverCpu},
            {"idle_cpu_percent_program", program},
            {"idle_cpu_percent_server", serverCpu}};
}

// Dry sound on every channel: without reverb and chorus tails the silence
// between notes comes at once after "all sound off".
void drySound(plat::MidiOutHandleValue h) {
    for (uint32_t ch = 0; ch < 16; ++ch) {
        plat::midiOutShortMsg(h, 0x00005BB0 | ch);
        plat::midiOutShortMsg(h, 0x00005DB0 | ch);
    }
}

std::vector<double> deviceLatencies;  // of the last keyLatencies run

std::vector<double> keyLatencies(MainWindow* form, int notes) {
    plat::AudioEngine& engine = plat::AudioEngine::instance();
    OnsetTap tap;
    int tapId = engine.addTap([&tap](const float* f, int n) { tap(f, n); }, plat::AudioEngine::TapKind::WhileSounding);
    drySound(midi::G.MidiOutHandle);
    // One voice, an organ: sound from the first frame.
    form->ComSounds[1]->setListIndex(0);
    form->ComSounds[2]->setListIndex(0);
    form->ComSounds[0]->setListIndex(17);
    const Qt::Key keys[] = {Qt::Key_G, Qt::Key_H, Qt::Key_J, Qt::Key_K, Qt::Key_L, Qt::Key_T, Qt::Key_Y, Qt::Key_U};
    std::mt19937 rng(2);
    std::uniform_int_distribution<int> jitterUs(0, 3000);
    std::vector<double> latencies;
    bench::DeviceWatch watch(kSoundLevel);
    deviceLatencies.clear();
    for (int i = 0; i < notes; ++i) {
        // Silence first: the stop key releases every note.
        QKeyEvent stop(QEvent::KeyPress, Qt::Key_Space, Qt::NoModifier, QStringLiteral(" "));
        QCoreApplication::sendEvent(form->SFYXYZ, &stop);
        plat::AudioEngine::instance().midiShortMessage(0x000078B0);
        if (!waitFor([&] { return tap.quietBlocks >= 3; }, std::chrono::seconds(2))) continue;
        std::this_thread::sleep_for(std::chrono::microseconds(jitterUs(rng)));
        QKeyEvent press(QEvent::KeyPress, keys[i % 8], Qt::NoModifier);
        tap.armed = true;
        watch.armed = watch.running();
        const auto sent = Clock::now();
        QCoreApplication::sendEvent(form->SFYXYZ, &press);
        bool heard = waitFor([&] { return !tap.armed; }, std::chrono::seconds(1));
        if (waitFor([&] { return !watch.armed; }, std::chrono::seconds(1)) && watch.running()) {
            auto onset = Clock::time_point(Clock::duration(watch.onsetNs.load()));
            deviceLatencies.push_back(std::chrono::duration<double, std::milli>(onset - sent).count());
        }
        watch.armed = false;
        tap.armed = false;
        if (heard) {
            auto onset = Clock::time_point(Clock::duration(tap.onsetNs.load()));
            latencies.push_back(std::chrono::duration<double, std::milli>(onset - sent).count());
        }
    }
    engine.removeTap(tapId);
    return latencies;
}

std::vector<Figure> keyLatencyFigures(MainWindow* form) {
    std::vector<double> latencies = keyLatencies(form, kNotes);
    std::vector<Figure> figures = {
        {"key_to_frame_ms_median", median(latencies)},
        {"key_to_frame_ms_max", latencies.empty() ? -1 : *std::max_element(latencies.begin(), latencies.end())},
        {"key_event_to_device_ms_median", median(deviceLatencies)},
        {"key_event_to_device_ms_p99", bench::percentile(deviceLatencies, 0.99)},
    };
    form->Text3->setText(bench::longScore(100000));
    figures.push_back({"key_to_frame_ms_median_long_score", median(keyLatencies(form, kNotes / 3))});
    form->Text3->setText(QString());
    return figures;
}

std::vector<Figure> noteLatencyFigures() {
    plat::MidiOutHandleValue h = 0;
    if (plat::midiOutOpen(&h, 0xFFFFFFFF, 0, 0, 0) != plat::kMidiOk) return {};
    plat::AudioEngine& engine = plat::AudioEngine::instance();
    OnsetTap tap;
    int tapId = engine.addTap([&tap](const float* f, int n) { tap(f, n); }, plat::AudioEngine::TapKind::WhileSounding);
    std::this_thread::sleep_for(std::chrono::seconds(3));  // a new stream's first writes are held by the server

    // Dry sound only. The organ's samples sound from their first frame (some
    // piano samples begin with a few milliseconds of near silence, which
    // would be measured as latency).
    drySound(h);
    plat::midiOutShortMsg(h, 0x000010C0);  // drawbar organ on channel 0

    std::mt19937 rng(1);
    std::uniform_int_distribution<int> jitterUs(0, 3000);  // notes land anywhere within a block
    std::vector<double> latencies, fromRest, device, deviceFromRest;
    bench::DeviceWatch watch(kSoundLevel);
    for (int i = 0; i < kNotes + kNotesFromRest; ++i) {
        if (!waitFor([&] { return tap.quietBlocks >= 3; }, std::chrono::seconds(2))) continue;
        // The last notes wait until the output rests: the first note after a
        // pause in playing.
        const bool afterRest = i >= kNotes;
        if (afterRest && !waitFor([&] { return engine.outputResting(); }, std::chrono::seconds(5))) continue;
        std::this_thread::sleep_for(std::chrono::microseconds(jitterUs(rng)));
        const uint32_t note = 48 + static_cast<uint32_t>(i % 24);
        tap.armed = true;
        watch.armed = watch.running();
        const auto sent = Clock::now();
        plat::midiOutShortMsg(h, 0x00640090 | (note << 8));
        bool heard = waitFor([&] { return !tap.armed; }, std::chrono::seconds(1));
        if (waitFor([&] { return !watch.armed; }, std::chrono::seconds(1)) && watch.running()) {
            auto onset = Clock::time_point(Clock::duration(watch.onsetNs.load()));
            (afterRest ? deviceFromRest : device).push_back(std::chrono::duration<double, std::milli>(onset - sent).count());
        }
        watch.armed = false;
        tap.armed = false;
        if (heard) {
            auto onset = Clock::time_point(Clock::duration(tap.onsetNs.load()));
            (afterRest ? fromRest : latencies).push_back(std::chrono::duration<double, std::milli>(onset - sent).count());
        }
        plat::midiOutShortMsg(h, 0x00000080 | (note << 8));
        plat::midiOutShortMsg(h, 0x000078B0);  // all sound off
    }

    engine.removeTap(tapId);
    std::vector<Figure> figures = {
        {"note_to_frame_ms_median", median(latencies)},
        {"note_to_frame_ms_max", latencies.empty() ? -1 : *std::max_element(latencies.begin(), latencies.end())},
        {"note_to_frame_ms_median_after_rest", median(fromRest)},
        {"after_rest_extra_ms", fromRest.empty() || latencies.empty() ? -1 : median(fromRest) - median(latencies)},
        {"note_to_device_ms_median", median(device)},
        {"note_to_device_ms_p99", bench::percentile(device, 0.99)},
        {"note_to_device_ms_median_after_rest", median(deviceFromRest)},
        {"device_after_rest_extra_ms", device.empty() || deviceFromRest.empty() ? -1 : median(deviceFromRest) - median(device)},
        {"output_buffer_ms", engine.outputBufferMs()},
        {"output_latency_ms", engine.outputLatencyMs()},
    };
    plat::midiOutClose(h);
    return figures;
}

// A take's first step: a key sounds at once, and the clock that key started
// sends the next step a look-ahead before its deadline, stamped with it. The
// two are timed at the device: how much longer than the clock's step the
// gap between them is heard (0: the live note and the clock's note keep one
// latency). During play, and with the key the first sound after a rest.
std::vector<Figure> firstStepFigures() {
    plat::MidiOutHandleValue h = 0;
    if (plat::midiOutOpen(&h, 0xFFFFFFFF, 0, 0, 0) != plat::kMidiOk) return {};
    plat::AudioEngine& engine = plat::AudioEngine::instance();
    bench::DeviceWatch watch(1e-3f);  // from -60 dB: the server's small clicks between notes are not a note
    if (!watch.running()) return {};
    drySound(h);
    plat::midiOutShortMsg(h, 0x000010C0);  // drawbar organ on channel 0
    // A step long enough for the first note's tail to die away before the
    // second is timed, short enough that the output does not rest between.
    constexpr int64_t kStepNs = 600'000'000;
    auto steadyNs = [] { return int64_t(Clock::now().time_since_epoch().count()); };
    auto onset = [&](int64_t limitNs) {
        while (watch.armed && steadyNs() < limitNs) std::this_thread::sleep_for(std::chrono::microseconds(100));
        return watch.armed ? int64_t(-1) : watch.onsetNs.load();
    };
    std::vector<double> playing, fromRest;
    const int steps = std::max(5, kNotesFromRest / 2);
    for (int i = 0; i < 2 * steps; ++i) {
        const bool afterRest = i >= steps;
        plat::midiOutShortMsg(h, 0x000078B0);
        if (!waitFor([&] { return watch.quietBlocks >= 40; }, std::chrono::seconds(3))) continue;
        if (afterRest && !waitFor([&] { return engine.outputResting(); }, std::chrono::seconds(5))) continue;
        watch.armed = true;
        const int64_t key = steadyNs();
        plat::midiOutShortMsg(h, 0x00643C90);
        const int64_t first = onset(key + 1'000'000'000);
        watch.armed = false;
        plat::midiOutShortMsg(h, 0x00003C80);
        plat::midiOutShortMsg(h, 0x000078B0);  // all sound off
        std::this_thread::sleep_for(std::chrono::nanoseconds(key + kStepNs - plat::kClockLookAheadNs - steadyNs()));
        watch.armed = true;
        {
            plat::MidiDueTime due(key + kStepNs);
            plat::midiOutShortMsg(h, 0x00643E90);
        }
        const int64_t second = onset(key + 2'000'000'000);
        watch.armed = false;
        plat::midiOutShortMsg(h, 0x00003E80);
        if (first > 0 && second > 0) (afterRest ? fromRest : playing).push_back(double(second - first - kStepNs) / 1e6);
    }
    plat::midiOutClose(h);
    auto p99abs = [](std::vector<double> v) {
        for (double& x : v) x = std::fabs(x);
        return bench::percentile(v, 0.99);
    };
    return {{"first_step_stretch_ms_median", median(playing)},
            {"first_step_stretch_ms_abs_p99", p99abs(playing)},
            {"first_step_stretch_ms_median_after_rest", median(fromRest)},
            {"first_step_stretch_ms_abs_p99_after_rest", p99abs(fromRest)},
            {"first_steps_timed", double(playing.size() + fromRest.size())}};
}

}  // namespace

int main(int argc, char** argv) {
    const bench::PulseServer server;
    const auto t0 = Clock::now();
    double idleSeconds = 30;
    for (int i = 1; i + 1 < argc; ++i)
        if (std::string(argv[i]) == "--idle-seconds") idleSeconds = std::atof(argv[i + 1]);
    bench::App app(argc, argv, false);
    const bench::ProgramFolder folder(false);
    std::vector<Figure> figures;
    auto add = [&figures](std::vector<Figure> more) {
        figures.insert(figures.end(), more.begin(), more.end());
    };
    MainWindow* form = startProgram(t0, figures, folder.path());
    std::printf("output: %s\n", plat::AudioEngine::instance().outputName().c_str());
    if (form && idleSeconds > 0) add(idleCpuFigures(idleSeconds, server));
    add(noteLatencyFigures());
    add(firstStepFigures());
    if (form) add(keyLatencyFigures(form));
    figures.push_back({"underruns", double(plat::AudioEngine::instance().underruns())});
    for (const auto& [name, value] : figures) std::printf("%s: %.3f\n", name.c_str(), value);
    plat::AudioEngine::instance().stop();
    return figures.empty() ? 1 : 0;
}
