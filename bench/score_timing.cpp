// Timing of the score player, printed as "name: value" lines.
//
// The main window plays scores of notes through its play button, its score
// clock and the real event loop; the MIDI device is the embedded synthesizer
// (on the output below), wrapped so that the moment each note-on of voice 1
// reaches the synthesizer is taken.
// Each note is compared with its ideal time: the first tick's deadline (one
// tick after the play button) + BeatInterval x the ticks of the notes before
// it.
//
//   short_*   1000 notes of one tick each ("KC1KD1..."), at the fastest
//             tempo of the notation (130, 58 ms a tick);
//   long_*    notes of eight ticks at the same tempo, with auto-sync on (the
//             drums and chord tracks play on the same clock);
//   restart_* the first 300 short notes on a clock that restarts its countdown
//             at every token, as a plain timer does: the lateness adds up.
//   note_error_ms_p50 / _p99 / _max: absolute error over short and long, of
//   when each note was sent against its tick's deadline less the look-ahead;
//   drift_ms_end: the error of the last note (the larger of the two scores).
//   *_clock_late_ms_p99: how late the ticks that strike the notes started
//   (the clock's share of the error); *_in_tick_ms_p99: from the start of
//   such a tick to its note-on (the yield to pending events, the previous
//   note's note-offs, and waits inside the synthesizer, which holds its lock
//   while it renders a block).
//
// rendered_grid_error_ms_p50 / _p99 / _max (each part, and unprefixed over
// short and long): for every note-on the score clock sent, the frame at
// which it starts in the rendered stream against the tick's grid time
// (bench::gridErrorsMs): what is heard, whatever the moment the note reached
// the synthesizer. The engine plays to a private PulseAudio server with a
// null sink (bench/pulseserver.h; the silent output without one); output:
// "pulse" or "null"; underruns: the server's underflow callbacks over the
// run. *rendered_grid_error_by_stretch_ms_p99 / _max: the same within each
// stretch between two underrun events, against that stretch's own straight
// line (bench::stretchGridErrorsMs);
// *rendered_grid_error_from_1s_after_events_ms_p99 / _max: leaving out the
// notes due within a second after each event;
// *rendered_notes_from_1s_after_events: how many are left;
// *device_clock_drift_ppm: how far the device's clock runs from the steady
// clock (unprefixed: in the stretch of short or long with the most notes).
// buffer_ms_over_time: each change of the output buffer (seconds from the
// engine's start); underrun_event_times, underrun_events,
// underrun_callbacks: the dropouts (a burst of callbacks is one event).
//
// Arguments: [long-note count] (default 200; 1000 takes eight minutes).
#include "benchsupport.h"
#include "keyboard/appfolder.h"
#include "keyboard/mainwindow.h"
#include "midi/midiout.h"
#include "midi/state.h"
#include "platform/audioengine.h"
#include "platform/dialogs.h"
#include "platform/midiout.h"
#include "platform/textcodec.h"
#include "pulseserver.h"

#include <QApplication>
#include <QDir>
#include <QEventLoop>
#include <QFile>
#include <QTemporaryDir>
#include <QTimer>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>
#include <thread>
#include <chrono>

namespace {

// The synthesizer, with the arrival time of every note-on of channel 0.
class TimingSynth : public plat::MidiOutDevice {
public:
    std::string name() const override { return "计时合成器"; }
    uint32_t open() override { return plat::kMidiOk; }
    uint32_t close() override {
        plat::AudioEngine::instance().allNotesOff();
        return plat::kMidiOk;
    }
    uint32_t send(uint32_t m) override {
        if ((m & 0xFF) == 0x90 && ((m >> 16) & 0xFF) > 0) {
            noteOnNs.push_back(ui::Timer::nowNs());
            tickOfNoteNs.push_back(tickStartNs);
        }
        plat::AudioEngine::instance().midiShortMessage(m, plat::midiDueTime());
        return plat::kMidiOk;
    }
    uint16_t technology() const override { return plat::kMidiTechSoftwareSynth; }
    std::vector<qint64> noteOnNs;
    std::vector<qint64> tickOfNoteNs;  // start of the tick that sent each note-on
    qint64 tickStartNs = 0;
};

struct Result {
    std::vector<double> errorsMs;  // signed: positive = late
    std::vector<double> clockLateMs;
    std::vector<double> inTickMs;
    std::vector<double> renderedMs;  // grid error of each note's first frame
    bench::StretchGrid stretch;      // the same by stretch between underrun events
    bool complete = false;
};

using bench::percentile;

// Plays `notes` notes of `length` ticks each and measures them.
Result play(MainWindow& form, TimingSynth& synth, int notes, int length, const QString& prefix,
            bench::OutputLog& log) {
    static const char* tokens[] = {"KC", "KD", "KE", "KF", "KG", "KA", "KB", "HC"};
    QString score = prefix + QStringLiteral("VS19");
    for (int i = 0; i < notes; ++i) {
        score += QString::fromLatin1(tokens[i % 8]);
        if (i == 0 || length != 1) score += QString::number(length);
    }
    score += QStringLiteral("TZ");

    form.Text3->setText(score);
    synth.noteOnNs.clear();
    synth.tickOfNoteNs.clear();
    const qint64 clicked = ui::Timer::nowNs();
    plat::AudioEngine& engine = plat::AudioEngine::instance();
    engine.takeNoteOnTrace();
    engine.setNoteOnTrace(true);
    form.Yuepu[0]->click();
    const qint64 tickNs = qint64(midi::G.BeatInterval) * 1000000;
    // The first tick is due one tick after the click (on a musical clock,
    // exactly at its first deadline).
    const qint64 deadline = form.Timer3->nextDeadlineNs();
    const qint64 start = deadline >= 0 ? deadline : clicked + tickNs;

    QEventLoop loop;
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, [&] {
        log.poll();
        if (!form.Timer3->enabled()) loop.quit();
    });
    poll.start(10);
    loop.exec();
    QEventLoop settle;
    QTimer::singleShot(300, &settle, &QEventLoop::quit);  // the last notes are rendered
    settle.exec();
    poll.stop();
    log.poll();
    engine.setNoteOnTrace(false);

    Result r;
    const auto trace = engine.takeNoteOnTrace();
    r.renderedMs = bench::gridErrorsMs(trace, engine.sampleRate());
    r.stretch = bench::stretchGrid(trace, engine.sampleRate(), log.eventsNs());
    r.complete = static_cast<int>(synth.noteOnNs.size()) == notes;
    for (size_t i = 0; i < synth.noteOnNs.size(); ++i) {
        // The clock runs each tick the look-ahead before its deadline.
        const qint64 ideal = start + tickNs * qint64(length) * qint64(i) - plat::kClockLookAheadNs;
        r.errorsMs.push_back((synth.noteOnNs[i] - ideal) / 1e6);
        r.clockLateMs.push_back((synth.tickOfNoteNs[i] - ideal) / 1e6);
        r.inTickMs.push_back((synth.noteOnNs[i] - synth.tickOfNoteNs[i]) / 1e6);
    }
    return r;
}

void print(const char* name, double value) { std::printf("%s: %.3f\n", name, value); }

void printResult(const std::string& prefix, const Result& r) {
    std::vector<double> a;
    for (double e : r.errorsMs) a.push_back(std::fabs(e));
    print((prefix + "notes").c_str(), static_cast<double>(r.errorsMs.size()));
    print((prefix + "note_error_ms_p50").c_str(), percentile(a, 0.5));
    print((prefix + "note_error_ms_p99").c_str(), percentile(a, 0.99));
    print((prefix + "note_error_ms_max").c_str(), a.empty() ? -1 : *std::max_element(a.begin(), a.end()));
    print((prefix + "drift_ms_end").c_str(), r.errorsMs.empty() ? -1 : r.errorsMs.back());
    print((prefix + "clock_late_ms_p99").c_str(), percentile(r.clockLateMs, 0.99));
    print((prefix + "in_tick_ms_p99").c_str(), percentile(r.inTickMs, 0.99));
    print((prefix + "rendered_grid_error_ms_p50").c_str(), percentile(r.renderedMs, 0.5));
    print((prefix + "rendered_grid_error_ms_p99").c_str(), percentile(r.renderedMs, 0.99));
    print((prefix + "rendered_grid_error_ms_max").c_str(), bench::maxOf(r.renderedMs));
    bench::printStretchGrid(prefix + "rendered_grid_error", prefix + "rendered_notes", prefix + "device_clock_drift_ppm",
                            r.stretch);
}

// A rhythm pattern line: every step of row 0 and every second of row 1, 4/4.
QByteArray rhythmFile() {
    QString line = QStringLiteral("050201030700") + QString(16, u'*') + QStringLiteral("*-").repeated(8) +
                   QString(17, u'-') + QStringLiteral("bench.bin").leftJustified(16, u' ');
    return plat::toGbk(line) + "\r\n";
}

}  // namespace

int main(int argc, char** argv) {
    const bench::PulseServer server;
    if (!server.running()) std::fprintf(stderr, "no private sound server (pulseaudio missing?): silent output\n");
    bench::App app(argc, argv, true);
    const int longNotes = argc > 1 ? std::max(1, std::atoi(argv[1])) : 200;

    const int64_t started = std::chrono::steady_clock::now().time_since_epoch().count();
    bench::OutputLog log;
    if (!plat::AudioEngine::instance().start(plat::AudioEngine::Output::Auto)) {
        std::fprintf(stderr, "no synthesizer\n");
        return 1;
    }
    // A new stream's first writes are held by the server for a second or two
    // (its start is in the underrun log).
    for (int i = 0; i < 300; ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
        log.poll();
    }
    auto synth = std::make_shared<TimingSynth>();
    plat::setMidiDeviceTable(synth, {synth});

    const bench::ProgramFolder folder(true);
    folder.write(QStringLiteral("演奏记录/bench.bin"), rhythmFile());
    keyboard::SetProgramFolder(folder.path());

    auto form = std::make_unique<MainWindow>();
    midi::G.Form1Instance = form.get();
    form->Show();
    // Note when each tick of the score clock starts.
    const ui::Handler tick = form->Timer3->onTimer;
    TimingSynth* timing = synth.get();
    form->Timer3->onTimer = [tick, timing] {
        timing->tickStartNs = ui::Timer::nowNs();
        tick();
    };

    const Result shortNotes = play(*form, *synth, 1000, 1, QString(), log);
    const Result longNotes_ = play(*form, *synth, longNotes, 8, QStringLiteral("JP1"), log);
    form->Timer3->setMusicalClock(false);
    const Result restart = play(*form, *synth, 300, 1, QStringLiteral("JP99"), log);

    printResult("short_", shortNotes);
    printResult("long_", longNotes_);
    printResult("restart_", restart);
    Result all;
    all.errorsMs = shortNotes.errorsMs;
    all.errorsMs.insert(all.errorsMs.end(), longNotes_.errorsMs.begin(), longNotes_.errorsMs.end());
    std::vector<double> a;
    for (double e : all.errorsMs) a.push_back(std::fabs(e));
    print("note_error_ms_p50", percentile(a, 0.5));
    print("note_error_ms_p99", percentile(a, 0.99));
    print("note_error_ms_max", a.empty() ? -1 : *std::max_element(a.begin(), a.end()));
    const double endShort = shortNotes.errorsMs.empty() ? 0 : shortNotes.errorsMs.back();
    const double endLong = longNotes_.errorsMs.empty() ? 0 : longNotes_.errorsMs.back();
    print("drift_ms_end", std::fabs(endShort) > std::fabs(endLong) ? endShort : endLong);
    std::vector<double> rendered = shortNotes.renderedMs;
    rendered.insert(rendered.end(), longNotes_.renderedMs.begin(), longNotes_.renderedMs.end());
    print("rendered_grid_error_ms_p50", percentile(rendered, 0.5));
    print("rendered_grid_error_ms_p99", percentile(rendered, 0.99));
    print("rendered_grid_error_ms_max", bench::maxOf(rendered));
    bench::printStretchGrid("rendered_grid_error", "rendered_notes", "device_clock_drift_ppm",
                            bench::combined(shortNotes.stretch, longNotes_.stretch));
    print("underruns", double(plat::AudioEngine::instance().underruns()));
    std::printf("output: %s\n", plat::AudioEngine::instance().outputName().c_str());
    log.print(started);

    form.reset();
    midi::G.Form1Instance = nullptr;
    midi::CloseMidiOut();
    plat::resetMidiDeviceTable();
    plat::AudioEngine::instance().stop();
    return shortNotes.complete && longNotes_.complete ? 0 : 1;
}
