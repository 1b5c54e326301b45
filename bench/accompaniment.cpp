// Cost of the heaviest accompaniment tick, printed as "name: value" lines.
//
// The main window runs on a capture MIDI device. Every measured tick is the
// heaviest one the rhythm audition clock (BZDS) can play: a bar start with
// the bar triad (channel 5 silenced, expression, three notes), a chord change
// on both chord tracks whose previous tokens were chords (track 1 releases 65
// notes, track 2 releases 65 notes on two channels), and a drum step with its
// accent and all three drum rows ticked.
//
// messages_per_tick: short messages one such tick sends.
// tick_us_median, tick_us_max: wall time of one tick, yield to pending
// window events included.
//
// Then the program plays for real through a private PulseAudio server with a
// null sink (bench/pulseserver.h; the silent output when none can be started):
// the rhythm audition with drums on every row and both chord tracks, in 4/4,
// and a melody key struck every 100 ms, for --seconds N (default 120).
// output: "pulse" or "null". underruns: the server's underflow notifications
// for the program's stream over the run (dropouts heard), as the program
// counted them; output_buffer_ms_end: the server buffering asked at the end
// (it grows after an underrun). clock_note_grid_error_ms_p50/_p99/_max: for
// every note-on the clocks sent, the frame at which it starts in the
// rendered stream against its grid time (see bench::gridErrorsMs);
// clock_notes: how many; late_messages: clock messages that reached the
// render thread after their frame had been rendered.
// synth_polyphony: voices the synthesizer sounds at once before it cuts the
// oldest; synth_voices_peak: the most that sounded at once in the run (below
// the polyphony: no note was cut). render_ms_per_block_mean/_max: the render
// thread's cost of one output block (block_ms of sound) over the run.
// render_ms_per_block_full_mean/_max: the same with every voice of the
// polyphony sounding (sustained notes on all channels), rendered by hand;
// full_voices: how many sounded.
// clock_note_grid_error_by_stretch_ms_*: the same within each stretch between
// two underrun events, against that stretch's own straight line (see
// bench::stretchGridErrorsMs); _from_1s_after_events_: leaving out the notes
// due within a second after each event; device_clock_drift_ppm: how far the
// device's clock runs from the steady clock. buffer_ms_over_time: each change
// of the output buffer (seconds from the start); underrun_event_times,
// underrun_events, underrun_callbacks: the dropouts (a burst of callbacks is
// one event). thread_policy_morvela-sound: the sound thread's scheduling
// policy. render_block_worst_ms: the slowest block rendered.
// rest_after_last_sound_s: from the last sound above -90 dB after the play
// stops to the output's rest; quiet_cpu_percent_*: the program and the
// server over the 10 s from two seconds after that last sound.
#include "benchsupport.h"
#include "keyboard/appfolder.h"
#include "keyboard/mainwindow.h"
#include "midi/midiout.h"
#include "midi/state.h"
#include "keyboard/startupwindow.h"
#include "platform/audioengine.h"
#include "platform/audiooutput.h"
#include "platform/synthesizer.h"
#include "platform/dialogs.h"
#include "pulseserver.h"
#include "platform/midiout.h"
#include "platform/textcodec.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTimer>
#include <QElapsedTimer>
#include <fluidsynth.h>
#include <QEventLoop>
#include <cstring>
#include <sys/resource.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <memory>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;
constexpr int kWarmUp = 200;
constexpr int kTicks = 5000;


// The grid and boxes for the heaviest tick.
void prepareHeaviestStep(MainWindow& form) {
    const QString chords = QStringLiteral("CC").repeated(16);
    form.Text4->setText(chords);
    form.Text5->setText(chords);
    form.Text6->setText(QStringLiteral("1645"));
    form.Text6_LostFocus();
    form.Check5->setValue(1);
    form.Check8->setValue(1);
    form.Option1[2]->setValue(true);
    for (int r = 0; r < 3; ++r) {
        form.LblInst[r]->setListIndex(r == 0 ? 0 : r == 1 ? 3 : 7);
        for (ui::CheckBox* box : form.StepRow(r)) box->setValue(1);
    }
    form.BzQd->setValue(1);
    // The clocks are driven here; keep their own timers from firing.
    form.BZDS->setInterval(65535);
    form.Timer4->setInterval(65535);
}

// Puts the counters at a bar start with chords sounding on both tracks.
void rewindToBarStart(MainWindow& form) {
    form.AccompTick = 0;
    midi::G.RhythmStep = 0;
    midi::G.DrumStep = 0;
    midi::G.AccompToken(1) = 65;
    midi::G.AccompToken(2) = 65;
}


// Every voice of the polyphony sounding: sustained instruments on every
// channel, notes struck until the synthesizer has no free voice, then blocks
// of the output's size rendered by hand.
void renderAtFullPolyphony(plat::AudioEngine& engine) {
    if (!engine.start(plat::AudioEngine::Output::Manual)) return;
    fluid_synth_t* synth = engine.synth();
    for (int ch = 0; ch < 16; ++ch) fluid_synth_program_change(synth, ch, ch == 9 ? 0 : 48 + ch % 8);  // strings, choirs
    for (int i = 0; i < 16 * 128 && fluid_synth_get_active_voice_count(synth) < plat::kSynthPolyphony; ++i)
        fluid_synth_noteon(synth, i % 16 == 9 ? 0 : i % 16, 24 + (i / 16) % 80, 100);
    const int voices = fluid_synth_get_active_voice_count(synth);
    std::vector<float> block(2 * plat::kOutputBlockFrames);
    engine.resetRenderStats();
    for (int i = 0; i < 2000; ++i) engine.render(block.data(), plat::kOutputBlockFrames);
    const plat::AudioEngine::RenderStats stats = engine.renderStats();
    std::printf("full_voices: %d\n", voices);
    std::printf("render_ms_per_block_full_mean: %.4f\n", stats.meanMs);
    std::printf("render_ms_per_block_full_max: %.3f\n", stats.worstMs);
    std::fflush(stdout);
    engine.stop();
}

// After the play is stopped: when the output rests after the last sound,
// and what the program and the server cost from two seconds after it.
void quietAfterPlay(const bench::PulseServer& server) {
    plat::AudioEngine& engine = plat::AudioEngine::instance();
    std::atomic<int64_t> lastSound{std::chrono::steady_clock::now().time_since_epoch().count()};
    const int tap = engine.addTap([&lastSound](const float* f, int n) {
        float peak = 0;
        for (int i = 0; i < 2 * n; ++i) peak = std::max(peak, std::fabs(f[i]));
        if (peak > 3e-5f) lastSound = std::chrono::steady_clock::now().time_since_epoch().count();  // -90 dB
    }, plat::AudioEngine::TapKind::WhileSounding);
    auto nowNs = [] { return int64_t(std::chrono::steady_clock::now().time_since_epoch().count()); };
    auto runFor = [](int ms) {
        QEventLoop loop;
        QTimer::singleShot(ms, &loop, &QEventLoop::quit);
        loop.exec();
    };
    // Two seconds after the last sound (above -90 dB at the mixer): the
    // stretch measured starts there.
    const int64_t limit = nowNs() + 60'000'000'000;
    int64_t rested = 0;
    while (nowNs() - lastSound.load() < 2'000'000'000 && nowNs() < limit) {
        runFor(20);
        if (!rested && engine.outputResting()) rested = nowNs();
    }
    rusage u0{};
    getrusage(RUSAGE_SELF, &u0);
    const double server0 = server.cpuSeconds();
    const int64_t t0 = nowNs();
    while (nowNs() - t0 < 10'000'000'000) {
        runFor(50);
        if (!rested && engine.outputResting()) rested = nowNs();
    }
    rusage u1{};
    getrusage(RUSAGE_SELF, &u1);
    engine.removeTap(tap);
    std::printf("rest_after_last_sound_s: %.3f\n", rested ? double(rested - lastSound.load()) / 1e9 : -1.0);
    auto secs = [](const rusage& u) {
        return double(u.ru_utime.tv_sec + u.ru_stime.tv_sec) + double(u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
    };
    const double wall = double(nowNs() - t0) / 1e9;
    const double program = 100.0 * (secs(u1) - secs(u0)) / wall;
    const double serverCpu = 100.0 * (server.cpuSeconds() - server0) / wall;
    std::printf("quiet_cpu_percent_from_2s_after_last_sound: %.3f\n", program + serverCpu);
    std::printf("quiet_cpu_percent_program: %.3f\n", program);
    std::printf("quiet_cpu_percent_server: %.3f\n", serverCpu);
}

// The program as started by a user, playing along for `seconds`.
void playThroughServer(int seconds) {
    bench::PulseServer server;
    if (!server.running()) std::fprintf(stderr, "no private sound server (pulseaudio missing?): silent output\n");
    plat::setMidiDeviceTable(nullptr, {});
    plat::resetMidiDeviceTable();
    const bench::ProgramFolder folder(true);
    keyboard::SetProgramFolder(folder.path());
    MainWindow* form = bench::startAsUser();
    if (!form) return;
    plat::AudioEngine& engine = plat::AudioEngine::instance();
    bench::startAccompaniment(*form);
    static const int keys[] = {71, 72, 74, 75, 76, 84, 89, 85, 73, 79};
    int strike = 0;
    QTimer melody;
    melody.setTimerType(Qt::PreciseTimer);
    QObject::connect(&melody, &QTimer::timeout, [&] { form->SFYXYZ_KeyDown(keys[strike++ % 10], 0); });
    QElapsedTimer clock;
    clock.start();
    const int64_t started = std::chrono::steady_clock::now().time_since_epoch().count();
    bench::OutputLog log;
    // The figures count from three seconds after the start: the stream's
    // start is in the buffer log and the underrun counts.
    while (clock.elapsed() < 3000) {
        QApplication::processEvents(QEventLoop::AllEvents, 10);
        log.poll();
    }
    engine.resetRenderStats();
    engine.takeNoteOnTrace();
    engine.setNoteOnTrace(true);
    melody.start(100);
    clock.restart();
    while (clock.elapsed() < seconds * 1000LL) {
        QApplication::processEvents(QEventLoop::AllEvents, 10);
        log.poll();
    }
    melody.stop();
    engine.setNoteOnTrace(false);
    const plat::AudioEngine::RenderStats stats = engine.renderStats();
    const auto trace = engine.takeNoteOnTrace();
    if (std::getenv("MORVELA_BENCH_TRACE"))
        for (const auto& t : trace) std::fprintf(stderr, "trace %08X due %.3f frame %llu rendered %llu\n", t.message, t.dueNs / 1e6, (unsigned long long)t.frame, (unsigned long long)engine.framesRendered());
    const std::vector<double> errors = bench::gridErrorsMs(trace, engine.sampleRate());
    form->BzQd->setValue(0);
    std::printf("output: %s\n", engine.outputName().c_str());
    bench::printThreadPolicies();
    std::printf("seconds_played: %d\n", seconds);
    std::printf("underruns: %llu\n", static_cast<unsigned long long>(stats.underruns));
    std::printf("output_buffer_ms_end: %.3f\n", engine.outputBufferMs());
    std::printf("clock_notes: %zu\n", errors.size());
    std::printf("clock_note_grid_error_ms_p50: %.3f\n", bench::percentile(errors, 0.5));
    std::printf("clock_note_grid_error_ms_p99: %.3f\n", bench::percentile(errors, 0.99));
    std::printf("clock_note_grid_error_ms_max: %.3f\n", bench::maxOf(errors));
    bench::printStretchGrid("clock_note_grid_error", "clock_notes", "device_clock_drift_ppm",
                            bench::stretchGrid(trace, engine.sampleRate(), log.eventsNs()));
    log.print(started);
    std::fflush(stdout);
    quietAfterPlay(server);
    std::printf("late_messages: %llu\n", static_cast<unsigned long long>(stats.lateMessages));
    std::printf("synth_polyphony: %d\n", plat::kSynthPolyphony);
    std::printf("synth_voices_peak: %d\n", stats.voicesPeak);
    std::printf("block_ms: %.3f\n", 1000.0 * plat::kOutputBlockFrames / engine.sampleRate());
    std::printf("render_ms_per_block_mean: %.4f\n", stats.meanMs);
    std::printf("render_ms_per_block_max: %.3f\n", stats.worstMs);
    std::printf("render_block_worst_ms: %.3f\n", stats.worstMs);
    std::fflush(stdout);
    engine.stop();
    renderAtFullPolyphony(engine);
}

}  // namespace

int main(int argc, char** argv) {
    int seconds = 120;
    for (int i = 1; i + 1 < argc; ++i)
        if (std::strcmp(argv[i], "--seconds") == 0) seconds = std::max(1, std::atoi(argv[i + 1]));
    bench::App app(argc, argv, true);

    auto device = std::make_shared<plat::CaptureMidiDevice>("基准设备");
    plat::setMidiDeviceTable(device, {device});

    const bench::ProgramFolder folder(true);
    keyboard::SetProgramFolder(folder.path());

    auto form = std::make_unique<MainWindow>();
    midi::G.Form1Instance = form.get();
    form->Show();
    prepareHeaviestStep(*form);

    std::vector<double> times;
    times.reserve(kTicks);
    size_t messagesPerTick = 0;
    for (int i = 0; i < kWarmUp + kTicks; ++i) {
        rewindToBarStart(*form);
        device->messages.clear();
        const auto start = Clock::now();
        form->BZDS->tick();
        const auto end = Clock::now();
        if (i < kWarmUp) continue;
        messagesPerTick = std::max(messagesPerTick, device->messages.size());
        times.push_back(std::chrono::duration<double, std::micro>(end - start).count());
    }

    form->BzQd->setValue(0);
    std::printf("messages_per_tick: %zu\n", messagesPerTick);
    std::printf("tick_us_median: %.3f\n", bench::median(times));
    std::printf("tick_us_max: %.3f\n", times.empty() ? -1.0 : *std::max_element(times.begin(), times.end()));

    form.reset();
    midi::G.Form1Instance = nullptr;
    midi::CloseMidiOut();
    plat::resetMidiDeviceTable();
    std::fflush(stdout);
    if (seconds > 0) playThroughServer(seconds);
    std::fflush(nullptr);
    std::_Exit(0);  // the windows need no orderly teardown here
}
