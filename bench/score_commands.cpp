// The cost of long scores, printed as "name: value" lines. The MIDI device is
// a stamp that notes when each note-on is sent; the window's timers are held,
// so the clock's first tick (its wait of one tick length is no work) is run by
// hand once the window has handled its pending events.
//
//   first_note_ms_<cmd>_<n>: from the "打开" button's click, opening a score
//     of n commands <cmd> ("JP0" resets the rhythm, "YQ6" sets the three
//     voices) and a note, to that note's note-on: the file read, the box
//     filled and shown, the commands read, the caret shown, the first tick.
//   key_cost_ms_median_<size> / key_cost_ms_first_after_long_score: from a
//     note key's event given to the keyboard button to its first note-on,
//     with the score box empty, holding 300,000 or 1,000,000 characters, and
//     for the first key after "打开" put a 300,000-character score in the box.
//   key_handling_ms_median_<size>: the whole key, the score box's append and
//     the window's repaint included.
//   caret_move_ms_1m: the reader's caret shown near the end of a 1 MB score,
//     with the repaint.
//
// Arguments: [largest command count (default 300000)] [only this command].
#include "benchsupport.h"
#include "keyboard/keyboardwidgets.h"
#include "keyboard/mainwindow.h"
#include "midi/midiout.h"
#include "midi/state.h"
#include "platform/midiout.h"

#include <QKeyEvent>

#include <chrono>
#include <cstdio>
#include <cstring>
#include <deque>
#include <memory>
#include <string>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

double msSince(Clock::time_point t0, Clock::time_point t1) {
    return std::chrono::duration<double, std::milli>(t1 - t0).count();
}

class StampDevice : public plat::MidiOutDevice {
public:
    std::string name() const override { return "计时设备"; }
    uint32_t open() override { return plat::kMidiOk; }
    uint32_t close() override { return plat::kMidiOk; }
    uint32_t send(uint32_t m) override {
        if (armed && (m & 0xF0) == 0x90 && ((m >> 16) & 0xFF) > 0) {
            armed = false;
            noteOn = Clock::now();
        }
        return plat::kMidiOk;
    }
    bool armed = false;
    Clock::time_point noteOn;
};

class AnsweringDialogs : public QuietDialogs {
public:
    plat::FileDialogResult fileDialog(QWidget*, const plat::FileDialogRequest&) override {
        plat::FileDialogResult r;
        if (answers.empty()) return r;
        r.cancelled = false;
        r.fileName = answers.front();
        answers.pop_front();
        return r;
    }
    std::deque<QString> answers;
};

void print(const std::string& name, double v) { std::printf("%s: %.3f\n", name.c_str(), v); }


struct Bench {
    MainWindow& form;
    StampDevice& device;
    AnsweringDialogs& dialogs;
    const bench::ProgramFolder& folder;

    // The play stopped, and the keyboard button given the focus back, as
    // the user does to play.
    void stop() {
        form.StopScorePlay();
        form.YXYZ();
        QCoreApplication::processEvents();
    }

    double firstNote(const QString& command, int n) {
        const QString name = QStringLiteral("演奏记录/%1_%2.txt").arg(command).arg(n);
        folder.write(name, plat::toGbk(command.repeated(n) + QStringLiteral("KC4TZ")) + "\r\n");
        dialogs.answers.push_back(folder.file(name));
        device.armed = true;
        const auto t0 = Clock::now();
        form.Yuepu_Click(2);
        QCoreApplication::processEvents();
        form.Timer3->tick();
        const double ms = device.armed ? -1 : msSince(t0, device.noteOn);
        device.armed = false;
        stop();
        return ms;
    }

    // One note key: to its note-on, and the whole of it with the repaint.
    std::pair<double, double> key(int i) {
        static const Qt::Key keys[] = {Qt::Key_G, Qt::Key_H, Qt::Key_J, Qt::Key_K};
        QKeyEvent press(QEvent::KeyPress, keys[i % 4], Qt::NoModifier);
        device.armed = true;
        const auto t0 = Clock::now();
        QCoreApplication::sendEvent(form.SFYXYZ, &press);
        QCoreApplication::processEvents();
        const auto t1 = Clock::now();
        const double toSend = device.armed ? -1 : msSince(t0, device.noteOn);
        device.armed = false;
        return {toSend, msSince(t0, t1)};
    }

    void keys(const char* size, int count) {
        std::vector<double> toSend, whole;
        for (int i = 0; i < count; ++i) {
            const auto [s, w] = key(i);
            toSend.push_back(s);
            whole.push_back(w);
        }
        print(std::string("key_cost_ms_median_") + size, bench::median(toSend));
        print(std::string("key_handling_ms_median_") + size, bench::median(whole));
    }
};

}  // namespace

int main(int argc, char** argv) {
    bench::App app(argc, argv, true);
    AnsweringDialogs dialogs;
    plat::setDialogs(&dialogs);
    ui::Timer::setHeld(true);
    auto device = std::make_shared<StampDevice>();
    plat::setMidiDeviceTable(device, {device});
    const bench::ProgramFolder folder(true);
    keyboard::SetProgramFolder(folder.path());
    auto form = std::make_unique<MainWindow>();
    midi::G.Form1Instance = form.get();
    form->Show();
    QApplication::setActiveWindow(form.get());
    QCoreApplication::processEvents();
    Bench b{*form, *device, dialogs, folder};

        const int largest = argc > 1 ? std::atoi(argv[1]) : 300000;
    for (const char* command : {"JP0", "YQ6"}) {
        if (argc > 2 && std::strcmp(argv[2], command) != 0) continue;
        for (int n : {10000, 100000, 300000}) {
            if (n > largest) continue;
            print(std::string("first_note_ms_") + command + "_" + std::to_string(n / 1000) + "k",
                  b.firstNote(QString::fromLatin1(command), n));
        }
    }

    form->Yuepu_Click(3);  // clear, the keyboard button focused
    QCoreApplication::processEvents();
    b.keys("empty", 200);

    // A long score put in the box by "打开" (the play stopped at once).
    folder.write(QStringLiteral("演奏记录/long.txt"), plat::toGbk(bench::longScore(300000)) + "\r\n");
    dialogs.answers.push_back(folder.file(QStringLiteral("演奏记录/long.txt")));
    form->Yuepu_Click(2);
    QCoreApplication::processEvents();
    b.stop();
    print("key_cost_ms_first_after_long_score", b.key(0).first);
    b.keys("300k", 200);

    b.stop();
    form->Text3->setText(bench::longScore(1000000));
    QCoreApplication::processEvents();
    b.keys("1m", 100);
    const auto t0 = Clock::now();
    form->Text3->select(999990, 1);
    QCoreApplication::processEvents();
    print("caret_move_ms_1m", msSince(t0, Clock::now()));

    form.reset();
    midi::G.Form1Instance = nullptr;
    midi::CloseMidiOut();
    plat::resetMidiDeviceTable();
    return 0;
}
