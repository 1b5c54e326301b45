// Music editor playback, printed as "name: value" lines.
//
// The song: 625 bars of 16 steps (positions 0..9999), all twelve tracks
// filled: notes, chords, rests, stops and holds on the seven melodic tracks,
// hits on the five percussion rows, and a settings line on every bar, so that
// each bar change applies its settings and shows the bar (note boxes, 80
// step boxes) while the window is on screen.
//
// step_us_median, step_us_max: wall time of one tick of the play clock over
// a whole-song play on a capture device (every step, bar changes included;
// steps_played: how many). messages_per_step_max: short messages the
// heaviest step sends.
//
// Then a real-time song play of 2000 steps (realtime_steps) on the embedded
// synthesizer, which plays to a private PulseAudio server with a null sink
// (bench/pulseserver.h; the silent output without one). output: "pulse" or
// "null". The step interval (realtime_interval_ms) is that of tempo 255
// (58 ms) unless a number of milliseconds is given as the first argument.
// note_error_ms_p50 / _p90 / _p99 / _max: how late each step is sent
// against its due time (start + k x interval, less the clock's look-ahead).
// drift_ms_end: the lateness of the last of those steps (when the tick ran).
// rendered_grid_error_ms_p50 / _p99 / _max: for every note-on the play clock
// sent, the frame at which it starts in the rendered stream against the
// tick's grid time (bench::gridErrorsMs): what is heard; rendered_notes: how
// many. rendered_grid_error_by_stretch_ms_p99 / _max: the same within each
// stretch between two underrun events, against that stretch's own straight
// line (bench::stretchGridErrorsMs);
// rendered_grid_error_from_1s_after_events_ms_p99 / _max: leaving out the
// notes due within a second after each event;
// rendered_notes_from_1s_after_events: how many are left;
// device_clock_drift_ppm: how far the device's clock runs from the steady
// clock. underruns: the server's underflow callbacks since the engine
// started. buffer_ms_over_time: each change of the output buffer (seconds
// from the engine's start); underrun_event_times, underrun_events,
// underrun_callbacks: the dropouts (a burst of callbacks is one event).
#include "benchsupport.h"
#include "editor/barsettings.h"
#include "editor/editorwindow.h"
#include "editor/songmodel.h"
#include "midi/midiout.h"
#include "midi/state.h"
#include "platform/audioengine.h"
#include "platform/midiout.h"
#include "pulseserver.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QTimer>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <memory>
#include <random>
#include <vector>
#include <thread>

namespace {

using Clock = std::chrono::steady_clock;

using bench::percentile;

// Fills every bar of the song at 16 steps.
void fillSong(editor::Song& song) {
    static const char* const tokens[] = {"KC", "KD", "KE", "HG", "WA", "--", "--", "--", "XZ", "TZ", "CC", "GM", "AM"};
    std::mt19937 rng(9);
    std::uniform_int_distribution<int> pick(0, 12);
    std::uniform_int_distribution<int> coin(0, 3);
    song.setBarLastStep(15);
    song.setBarCount(song.lastBarLimit());
    for (int32_t b = 0; b <= song.EditorBarCount; ++b) {
        for (int t = 0; t <= 6; ++t) {
            QString text;
            for (int s = 0; s < 16; ++s) text += QString::fromLatin1(tokens[pick(rng)]);
            song.commitTrackText(t, b, text);
        }
        for (int t = 7; t <= 11; ++t)
            for (int s = 0; s < 16; ++s) song.setDrumHit(t, b, s, coin(rng) == 0);
        editor::BarSettings settings;
        settings.program = {1, 51, 78, 82, 4, 4, 4, 1, 3, 4, 41, 17};
        settings.volume.fill(static_cast<editor::i16>(60 + b % 40));
        settings.key = static_cast<editor::i16>(b % 12);
        settings.tempo = 80;
        settings.depth = -3;
        settings.crescendo = b % 2 == 1;
        settings.vibrato = b % 3 == 0;
        editor::storeBarSettings(song, b, settings);
    }
}

void stepCost(EditorWindow& w, plat::CaptureMidiDevice& device) {
    std::vector<double> times;
    size_t maxMessages = 0;
    w.ST2->setValue(1);
    w.YYDS->setEnabled(false);  // driven by hand below
    w.YYDS->onTimer = nullptr;
    while (w.ST2->value() == 1) {
        device.messages.clear();
        const auto start = Clock::now();
        w.YYDS_Timer();
        const auto end = Clock::now();
        times.push_back(std::chrono::duration<double, std::micro>(end - start).count());
        maxMessages = std::max(maxMessages, device.messages.size());
    }
    w.YYDS->onTimer = [&w] { w.YYDS_Timer(); };
    std::printf("steps_played: %zu\n", times.size());
    std::printf("messages_per_step_max: %zu\n", maxMessages);
    std::printf("step_us_median: %.3f\n", percentile(times, 0.5));
    std::printf("step_us_max: %.3f\n", times.empty() ? -1.0 : *std::max_element(times.begin(), times.end()));
}

void realTimePlay(EditorWindow& w, int intervalMs, bench::OutputLog& log, int64_t started) {
    constexpr int kSteps = 2000;
    editor::Song& song = editor::song();
    song.setBarCount(kSteps / 16 - 1);
    w.HScroll1->setMax(song.EditorBarCount);
    for (int32_t b = 0; b <= song.EditorBarCount; ++b) song.BarHeaderTexts(b) = QString();
    w.DQSUDU->setText(QStringLiteral("255"));
    midi::G.BeatInterval = static_cast<midi::i16>(intervalMs);

    std::vector<qint64> sounded;
    sounded.reserve(kSteps + 2);
    auto handler = [&] {
        sounded.push_back(ui::Timer::nowNs());
        w.YYDS_Timer();
    };
    w.YYDS->onTimer = handler;
    QTimer poll;  // the underrun log, while the play waits for its events
    QObject::connect(&poll, &QTimer::timeout, [&log] { log.poll(); });
    poll.start(10);
    plat::AudioEngine& engine = plat::AudioEngine::instance();
    engine.takeNoteOnTrace();
    engine.setNoteOnTrace(true);
    w.ST2->setValue(1);
    const qint64 firstDue = w.YYDS->nextDeadlineNs();
    while (w.ST2->value() == 1 || w.YYDS->enabled()) QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    QElapsedTimer settle;
    settle.start();
    while (settle.elapsed() < 300) QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
    poll.stop();
    log.poll();
    engine.setNoteOnTrace(false);
    const auto trace = engine.takeNoteOnTrace();
    const std::vector<double> rendered = bench::gridErrorsMs(trace, engine.sampleRate());

    // Tick k (1-based) is due at the first deadline + (k - 1) intervals.
    std::vector<double> errors;
    const int n = std::min<int>(static_cast<int>(sounded.size()), kSteps - 1);
    for (int k = 0; k < n; ++k) {
        // The clock runs each tick the look-ahead before its deadline.
        const qint64 due = firstDue + qint64(k) * intervalMs * 1000000 - plat::kClockLookAheadNs;
        errors.push_back((sounded[k] - due) / 1e6);
    }
    std::vector<double> lateness;
    for (double e : errors) lateness.push_back(std::fabs(e));
    std::printf("realtime_interval_ms: %d\n", intervalMs);
    std::printf("realtime_steps: %d\n", n + 1);
    std::printf("note_error_ms_p50: %.3f\n", percentile(lateness, 0.5));
    std::printf("note_error_ms_p90: %.3f\n", percentile(lateness, 0.9));
    std::printf("note_error_ms_p99: %.3f\n", percentile(lateness, 0.99));
    std::printf("note_error_ms_max: %.3f\n", lateness.empty() ? -1.0 : *std::max_element(lateness.begin(), lateness.end()));
    std::printf("drift_ms_end: %.3f\n", errors.empty() ? 0.0 : errors.back());
    std::printf("rendered_notes: %zu\n", rendered.size());
    std::printf("rendered_grid_error_ms_p50: %.3f\n", percentile(rendered, 0.5));
    std::printf("rendered_grid_error_ms_p99: %.3f\n", percentile(rendered, 0.99));
    std::printf("rendered_grid_error_ms_max: %.3f\n", bench::maxOf(rendered));
    bench::printStretchGrid("rendered_grid_error", "rendered_notes", "device_clock_drift_ppm",
                            bench::stretchGrid(trace, engine.sampleRate(), log.eventsNs()));
    std::printf("underruns: %llu\n", static_cast<unsigned long long>(engine.underruns()));
    std::printf("output: %s\n", engine.outputName().c_str());
    log.print(started);
}

}  // namespace

int main(int argc, char** argv) {
    bench::App app(argc, argv, true);
    const int intervalMs = argc > 1 ? std::max(1, std::atoi(argv[1])) : 58;

    // Step cost, on a capture device.
    {
        auto device = std::make_shared<plat::CaptureMidiDevice>("基准设备");
        plat::setMidiDeviceTable(device, {device});
        midi::OpenMidiOut(-1);  // as the main window leaves it
        auto w = std::make_unique<EditorWindow>();
        w->Show();
        fillSong(editor::song());
        w->HScroll1->setMax(editor::song().EditorBarCount);
        stepCost(*w, *device);
        w.reset();
        midi::CloseMidiOut();
        plat::resetMidiDeviceTable();
    }

    // Real-time play on the embedded synthesizer, through a private server.
    const bench::PulseServer server;
    if (!server.running()) std::fprintf(stderr, "no private sound server (pulseaudio missing?): silent output\n");
    const int64_t started = Clock::now().time_since_epoch().count();
    bench::OutputLog log;
    plat::AudioEngine::instance().start(plat::AudioEngine::Output::Auto);
    // A new stream's first writes are held by the server for a second or two
    // (its start is in the underrun log).
    for (int i = 0; i < 300; ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
        log.poll();
    }
    midi::OpenMidiOut(-1);
    {
        auto w = std::make_unique<EditorWindow>();
        w->Show();
        fillSong(editor::song());
        realTimePlay(*w, intervalMs, log, started);
        w.reset();
    }
    midi::CloseMidiOut();
    plat::AudioEngine::instance().stop();
    return 0;
}
