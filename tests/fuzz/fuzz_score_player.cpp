// Plays arbitrary score text through the score player: the reader and the
// clock's ticks until the play ends or 10,000 ticks pass, then the play
// button stops what still runs. Checked after every input: nothing crashed,
// the player is idle (clock stopped, play button ready, score box editable),
// and no note of the melody voices or the chord tracks (channels 0..4) is
// left sounding.
//
// The first byte chooses the way in: odd, the play button (which upper-cases
// the box); even, the text as a score file gives it (played as it is).
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

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <set>
#include <utility>

namespace {

class SilentDialogs : public plat::Dialogs {
public:
    int messageBox(QWidget*, const QString&, int, const QString&) override { return plat::kAnsOk; }
    bool inputBox(QWidget*, const QString&, const QString&, const QString&, QString*) override { return false; }
    plat::FileDialogResult fileDialog(QWidget*, const plat::FileDialogRequest&) override { return {}; }
    [[noreturn]] void endProgram(int code) override { std::exit(code); }
};

struct World {
    std::unique_ptr<QApplication> app;
    SilentDialogs dialogs;
    std::shared_ptr<plat::CaptureMidiDevice> device;
    QTemporaryDir folder;
    std::unique_ptr<Form1> form;
};

World& world() {
    static World* w = [] {
        auto* w = new World;
        setenv("QT_QPA_PLATFORM", "offscreen", 1);
        // No timer fires by itself: the clock is ticked by hand.
        ui::Timer::setHeld(true);
        static int argc = 1;
        static char name[] = "fuzz_score_player";
        static char* argv[] = {name, nullptr};
        w->app = std::make_unique<QApplication>(argc, argv);
        QApplication::setQuitOnLastWindowClosed(false);
        plat::setDialogs(&w->dialogs);
        w->device = std::make_shared<plat::CaptureMidiDevice>("fuzz");
        plat::setMidiDeviceTable(w->device, {w->device});
        QDir(w->folder.path()).mkdir(QStringLiteral("演奏记录"));
        QFile ini(w->folder.path() + QStringLiteral("/vanto.ini"));
        if (ini.open(QIODevice::WriteOnly))
            ini.write(plat::toGbk(keyboard::DefaultSettingsText() + QStringLiteral("\r\n")));
        ini.close();
        // Two rhythm files for "JP1" and "JP2" (a pattern and a bad file).
        QFile bin(w->folder.path() + QStringLiteral("/演奏记录/1.bin"));
        if (bin.open(QIODevice::WriteOnly))
            bin.write("050201030700" + QByteArray(16, '*') + QByteArray(33, '-') + "1.bin           \r\n");
        bin.close();
        QFile bad(w->folder.path() + QStringLiteral("/演奏记录/2.bin"));
        if (bad.open(QIODevice::WriteOnly)) bad.write("ZZ\r\n");
        bad.close();
        keyboard::SetProgramFolder(w->folder.path());
        w->form = std::make_unique<Form1>();
        midi::G.Form1Instance = w->form.get();
        w->form->Show();
        return w;
    }();
    return *w;
}

// The play button as a user stops a play: the press silences; its click
// stops a play that is still marked running (else it would start one).
void stopPlay(Form1& f) {
    if (!f.AutoPlayRunning && !f.Timer3->enabled()) return;
    f.Yuepu_MouseDown(0);
    if (f.AutoPlayRunning) f.Yuepu_Click(0);
}

[[noreturn]] void fail(const char* what) {
    std::fprintf(stderr, "invariant broken: %s\n", what);
    std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    World& w = world();
    Form1& f = *w.form;
    if (size > 4096) return 0;
    stopPlay(f);
    w.device->messages.clear();

    const bool byButton = size > 0 && (data[0] & 1);
    const QString text = QString::fromLatin1(reinterpret_cast<const char*>(data) + (size > 0 ? 1 : 0),
                                             static_cast<qsizetype>(size > 0 ? size - 1 : 0));
    if (byButton) {
        f.Text3->setText(text);
        f.Yuepu_Click(0);
    } else {
        midi::G.ScoreText = text;
        f.Text3->setText(text);
        f.PlayScoreText();
    }
    for (int t = 0; t < 10000 && f.Timer3->enabled(); ++t) f.Timer3->tick();
    stopPlay(f);

    if (f.Timer3->enabled() || f.AutoPlayRunning) fail("the player still runs after a stop");
    if (f.Yuepu[0]->text() != QStringLiteral("试听")) fail("the play button does not offer a new play");
    if (f.Text3->editor()->property("readOnly").toBool()) fail("the score box stays read-only");
    if (f.ScorePos < 1) fail("the read position fell below the start");

    std::set<std::pair<int, int>> sounding;
    for (uint32_t m : w.device->messages) {
        const int status = static_cast<int>(m & 0xF0), channel = static_cast<int>(m & 0x0F);
        const int note = static_cast<int>((m >> 8) & 0xFF), velocity = static_cast<int>((m >> 16) & 0xFF);
        if (channel > 4) continue;
        if (status == 0x90 && velocity > 0) sounding.insert({channel, note});
        else if (status == 0x80 || status == 0x90) sounding.erase({channel, note});
    }
    if (!sounding.empty()) {
        for (const auto& [channel, note] : sounding) std::fprintf(stderr, "channel %d note %d\n", channel, note);
        fail("notes left sounding after the stop");
    }
    return 0;
}
