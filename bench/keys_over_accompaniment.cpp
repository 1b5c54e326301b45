// Key to sound while the accompaniment plays, minute by minute, printed as
// "name: value" lines.
//
// The program (its windows and sound path, in this process) shows on an X
// display of its own (Xvfb, Qt's xcb platform) and plays to a private
// PulseAudio server with a null sink (bench/pulseserver.h). It plays the
// rhythm audition with drums on every row and both chord tracks, in 4/4
// (bench::startAccompaniment), and every 250 ms a key is pressed with XTest:
// "g" (middle C on the voices), then, 100 ms later, Backspace (the rest key,
// which releases the melody note and leaves the accompaniment playing).
//
// To hear the key's note apart from the accompaniment at the sink's monitor,
// the benchmark sends, once at the start, generator offsets (the SoundFont
// NRPNs, controller 99 = 120) on every channel of the synthesizer: the
// melody voices' channels 0-2 sound hard left and end 16 ms after their
// note-off, every other channel sounds hard right, and nothing feeds the
// reverb or the chorus. The left channel then carries the keys alone. A key
// is timed when the left channel was silent (below -74 dB) for 40 ms before
// it; the span ends at the first 64-frame block above -60 dB in the left
// channel (the instruments' attack is part of it). A sound of two blocks or
// less is no onset: when a synthesizer voice that last sounded left is
// reused on a right channel, its level glides from the old pan to the new
// over the first 64 frames, a click in the left channel.
//
// key_to_sound_ms_median / _p99: XTest press to the monitor, over the run;
// _minute_N: the keys of minute N. keys_sent / keys_timed: keys pressed and
// keys heard and timed (fewer than 90 % timed: exit 1); keys_after_sound:
// keys not timed because the left channel was not silent before them.
// xtest_to_key_event_ms_median / _p99: the press to Qt delivering the key
// event to the program (the X server and the event queue).
// underrun_events_minute_N: the dropouts of each minute; the lines of
// bench::OutputLog (buffer_ms_over_time, underrun_event_times,
// underrun_events, underrun_callbacks); clock_note_grid_error_*: the
// accompaniment's notes against their grid in the rendered stream, as in
// bench/accompaniment.cpp (whole run, by stretch, and from 1 s after each
// underrun event); _between_buffer_changes_: the stretches cut also where
// the buffer's size changed (each change moves the later notes with the
// keys: a lower size tried after minutes without a dropout, or the way back
// after one), from 1 s after each cut. device_clock_drift_ppm: how far the
// device's clock runs from the steady clock (the notes follow the device);
// monitor_frames_per_second: the same, counted at the monitor.
// thread_policy_*: the sound thread's scheduling policy.
//
// Usage: keys_over_accompaniment [--minutes M]   (default 10)
// Needs Xvfb, pulseaudio and libXtst (scripts/bench-deps.sh).
#include "benchsupport.h"
#include "midi/midiout.h"
#include "midi/state.h"
#include "platform/audioengine.h"
#include "platform/midiout.h"
#include "pulseserver.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QKeyEvent>

#include <X11/Xlib.h>
#include <X11/keysym.h>
#include "xdisplay.h"
#undef KeyPress  // Xlib's event numbers, not Qt's
#undef KeyRelease

#include <atomic>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

int64_t nowNs() { return Clock::now().time_since_epoch().count(); }

// Sets a generator offset on a channel: NRPN 120/gen, data value - 8192.
void generatorOffset(int16_t channel, int16_t gen, int value) {
    const int data = std::clamp(value + 8192, 0, 16383);
    midi::ControlChange(channel, 99, 120);
    midi::ControlChange(channel, 98, gen);
    midi::ControlChange(channel, 38, static_cast<int16_t>(data & 127));
    midi::ControlChange(channel, 6, static_cast<int16_t>(data >> 7));
}

// The voices' channels left and short, the rest right, all dry.
void separateKeysFromAccompaniment() {
    constexpr int16_t kChorusSend = 15, kReverbSend = 16, kPan = 17, kVolEnvRelease = 38;
    for (int16_t ch = 0; ch < 16; ++ch) {
        const bool voice = ch <= 2;
        generatorOffset(ch, kPan, voice ? -8192 : 8191);
        generatorOffset(ch, kReverbSend, -8192);
        generatorOffset(ch, kChorusSend, -8192);
        if (voice) generatorOffset(ch, kVolEnvRelease, -8192);
    }
}

// Notes when Qt hands the program a press of "g".
class KeyEventStamp : public QObject {
public:
    std::atomic<int64_t> lastNs{0};

protected:
    bool eventFilter(QObject* o, QEvent* e) override {
        if (e->type() == QEvent::KeyPress) {
            auto* k = static_cast<QKeyEvent*>(e);
            if (k->key() == Qt::Key_G && !k->isAutoRepeat() && lastSeen_ != k) {
                lastSeen_ = k;  // the same event reaches several filters' objects
                lastNs = nowNs();
            }
        }
        return QObject::eventFilter(o, e);
    }

private:
    const QKeyEvent* lastSeen_ = nullptr;
};

struct KeyResult {
    int64_t pressedNs;
    bool quiet;      // the left channel was silent before the press
    double ms;       // press to monitor; -1: not heard
    double eventMs;  // press to the key event; -1: none seen
};

void printSpread(const char* name, const std::vector<double>& v) {
    std::printf("%s_median: %.3f\n", name, bench::median(v));
    std::printf("%s_p99: %.3f\n", name, bench::percentile(v, 0.99));
}

}  // namespace

int main(int argc, char** argv) {
    double minutes = 10;
    for (int i = 1; i + 1 < argc; ++i)
        if (std::strcmp(argv[i], "--minutes") == 0) minutes = std::max(0.1, std::atof(argv[i + 1]));

    bench::PulseServer server;
    if (!server.running()) {
        std::fprintf(stderr, "no private sound server (pulseaudio missing?)\n");
        return 1;
    }
    bench::XServer x;
    if (x.display().empty()) {
        std::fprintf(stderr, "no X server (Xvfb missing?)\n");
        return 1;
    }
    setenv("DISPLAY", x.display().c_str(), 1);
    setenv("QT_QPA_PLATFORM", "xcb", 1);
    const bench::XTestFakeKeyEventFn fakeKey = bench::loadFakeKey();
    if (!fakeKey) return 1;

    bench::App app(argc, argv, true);
    KeyEventStamp stamp;
    qApp->installEventFilter(&stamp);
    plat::setMidiDeviceTable(nullptr, {});
    plat::resetMidiDeviceTable();
    const bench::ProgramFolder folder(true);
    keyboard::SetProgramFolder(folder.path());
    MainWindow* form = bench::startAsUser();
    if (!form) return 1;
    plat::AudioEngine& engine = plat::AudioEngine::instance();
    auto runFor = [](int ms) {
        QElapsedTimer t;
        t.start();
        while (t.elapsed() < ms) QApplication::processEvents(QEventLoop::AllEvents, 5);
    };
    runFor(500);
    Display* dpy = XOpenDisplay(x.display().c_str());
    if (!dpy) return 1;
    XSetInputFocus(dpy, Window(form->winId()), RevertToParent, CurrentTime);
    XSync(dpy, False);
    separateKeysFromAccompaniment();
    bench::startAccompaniment(*form);

    bench::DeviceWatch watch(1e-3f, 0, 2);
    bench::OutputLog log;
    const int64_t started = nowNs();
    // The stream's start is in the buffer log and the underrun counts; the
    // keys and the grid count from three seconds on.
    QElapsedTimer settle;
    settle.start();
    while (settle.elapsed() < 3000) {
        QApplication::processEvents(QEventLoop::AllEvents, 5);
        log.poll();
    }
    engine.takeNoteOnTrace();
    engine.setNoteOnTrace(true);

    const unsigned keyG = XKeysymToKeycode(dpy, XK_g);
    const unsigned keyRest = XKeysymToKeycode(dpy, XK_BackSpace);
    const int64_t keysFrom = nowNs();
    const uint64_t monitorFrom = watch.framesRead;
    const int64_t keysUntil = keysFrom + int64_t(minutes * 60e9);
    std::atomic<bool> done{false};
    std::vector<KeyResult> results;
    std::thread presser([&] {
        auto key = [&](unsigned code, bool down) {
            fakeKey(dpy, code, down ? 1 : 0, 0);
            XFlush(dpy);
        };
        auto until = [](int64_t ns) { std::this_thread::sleep_until(Clock::time_point(Clock::duration(ns))); };
        for (int64_t at = keysFrom; at < keysUntil; at += 250'000'000) {
            until(at);
            const bool quiet = watch.quietBlocks >= 28;  // 40 ms
            watch.armed = quiet;
            const int64_t pressed = nowNs();
            key(keyG, true);
            until(at + 50'000'000);
            key(keyG, false);
            until(at + 100'000'000);
            const bool heard = quiet && !watch.armed;
            watch.armed = false;
            const int64_t event = stamp.lastNs.load();
            results.push_back({pressed, quiet, heard ? double(watch.onsetNs.load() - pressed) / 1e6 : -1.0,
                               event >= pressed ? double(event - pressed) / 1e6 : -1.0});
            key(keyRest, true);
            key(keyRest, false);
        }
        done = true;
    });
    while (!done) {
        QApplication::processEvents(QEventLoop::AllEvents, 5);
        log.poll();
    }
    presser.join();
    const double monitorRate = double(watch.framesRead - monitorFrom) / (double(nowNs() - keysFrom) / 1e9);
    runFor(300);
    log.poll();
    engine.setNoteOnTrace(false);
    const auto trace = engine.takeNoteOnTrace();
    form->BzQd->setValue(0);

    std::vector<double> all, events;
    std::vector<std::vector<double>> byMinute;
    for (const KeyResult& r : results) {
        if (r.eventMs >= 0) events.push_back(r.eventMs);
        if (r.ms < 0) continue;
        all.push_back(r.ms);
        const size_t minute = size_t(double(r.pressedNs - keysFrom) / 60e9);
        byMinute.resize(std::max(byMinute.size(), minute + 1));
        byMinute[minute].push_back(r.ms);
    }
    std::printf("output: %s\n", engine.outputName().c_str());
    std::printf("sound_font: %s\n", engine.soundFontPath().c_str());
    bench::printThreadPolicies();
    std::printf("keys_sent: %zu\n", results.size());
    std::printf("keys_timed: %zu\n", all.size());
    const auto afterSound = std::count_if(results.begin(), results.end(), [](const KeyResult& r) { return !r.quiet; });
    std::printf("keys_after_sound: %zu\n", size_t(afterSound));
    printSpread("key_to_sound_ms", all);
    for (size_t m = 0; m < byMinute.size(); ++m) {
        std::printf("key_to_sound_ms_median_minute_%zu: %.3f\n", m + 1, bench::median(byMinute[m]));
        std::printf("key_to_sound_ms_p99_minute_%zu: %.3f\n", m + 1, bench::percentile(byMinute[m], 0.99));
    }
    printSpread("xtest_to_key_event_ms", events);
    const size_t minuteCount = size_t(std::ceil(minutes));
    std::vector<int> eventsByMinute(minuteCount, 0);
    for (int64_t t : log.eventsNs())
        if (t >= keysFrom && t < keysUntil) ++eventsByMinute[std::min(minuteCount - 1, size_t(double(t - keysFrom) / 60e9))];
    for (size_t m = 0; m < minuteCount; ++m) std::printf("underrun_events_minute_%zu: %d\n", m + 1, eventsByMinute[m]);
    log.print(started);
    const std::vector<double> errors = bench::gridErrorsMs(trace, engine.sampleRate());
    const std::vector<double> byStretch = bench::stretchGridErrorsMs(trace, engine.sampleRate(), log.eventsNs(), 0);
    double driftPpm = 0;
    const std::vector<double> settled =
        bench::stretchGridErrorsMs(trace, engine.sampleRate(), log.eventsNs(), 1'000'000'000, &driftPpm);
    std::printf("clock_notes: %zu\n", errors.size());
    std::printf("clock_note_grid_error_ms_p99: %.3f\n", bench::percentile(errors, 0.99));
    std::printf("clock_note_grid_error_by_stretch_ms_p99: %.3f\n", bench::percentile(byStretch, 0.99));
    std::printf("clock_note_grid_error_by_stretch_ms_max: %.3f\n", bench::maxOf(byStretch));
    std::printf("clock_note_grid_error_from_1s_after_events_ms_p99: %.3f\n", bench::percentile(settled, 0.99));
    std::printf("clock_note_grid_error_from_1s_after_events_ms_max: %.3f\n", bench::maxOf(settled));
    const std::vector<double> steady =
        bench::stretchGridErrorsMs(trace, engine.sampleRate(), log.latencyMovesNs(), 1'000'000'000);
    std::printf("clock_note_grid_error_between_buffer_changes_ms_p99: %.3f\n", bench::percentile(steady, 0.99));
    std::printf("clock_note_grid_error_between_buffer_changes_ms_max: %.3f\n", bench::maxOf(steady));
    std::printf("device_clock_drift_ppm: %.1f\n", driftPpm);
    std::printf("monitor_frames_per_second: %.2f\n", monitorRate);
    std::fflush(stdout);
    const bool enough = all.size() * 10 >= results.size() * 9;
    if (!enough) std::fprintf(stderr, "fewer than 90 %% of the keys were timed\n");
    XCloseDisplay(dpy);
    std::fflush(nullptr);
    std::_Exit(enough ? 0 : 1);  // the windows need no orderly teardown here
}
