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
#include "benchsupport.h"
#include "keyboard/appfolder.h"
#include "keyboard/mainwindow.h"
#include "midi/midiout.h"
#include "midi/state.h"
#include "platform/dialogs.h"
#include "platform/midiout.h"
#include "platform/textcodec.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <memory>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;
constexpr int kWarmUp = 200;
constexpr int kTicks = 5000;


// The grid and boxes for the heaviest tick.
void prepareHeaviestStep(Form1& form) {
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
void rewindToBarStart(Form1& form) {
    form.AccompTick = 0;
    midi::G.RhythmStep = 0;
    midi::G.DrumStep = 0;
    midi::G.AccompToken(1) = 65;
    midi::G.AccompToken(2) = 65;
}

}  // namespace

int main(int argc, char** argv) {
    bench::App app(argc, argv, true);

    auto device = std::make_shared<plat::CaptureMidiDevice>("基准设备");
    plat::setMidiDeviceTable(device, {device});

    const bench::ProgramFolder folder(true);
    keyboard::SetProgramFolder(folder.path());

    auto form = std::make_unique<Form1>();
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
    return 0;
}
