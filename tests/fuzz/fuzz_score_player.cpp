// Plays arbitrary score text through the score player: the reader and the
// clock's ticks until the play ends or 1,000 ticks pass, then the play
// button stops what still runs. Checked after every input: nothing crashed,
// the player is idle (clock stopped, play button ready, score box editable),
// and no note of the melody voices or the chord tracks (channels 0..4) is
// left sounding.
//
// The first byte chooses the way in: odd, the play button (which upper-cases
// the box); even, the text as a score file gives it (played as it is).
#include "fuzzsupport.h"

#include "midi/state.h"

#include <set>
#include <utility>

using fuzzing::Program;

namespace {

// Ticks of one play at most before the stop.
constexpr int kTicks = 1000;

#define FUZZ_FAIL(what) ::fuzzing::fail(what, __FILE__, __LINE__)

// The play button as a user stops a play: the press silences; its click
// stops a play that is still marked running (else it would start one).
void stopPlay(MainWindow& f) {
    if (!f.AutoPlayRunning && !f.Timer3->enabled()) return;
    f.Yuepu_MouseDown(0);
    if (f.AutoPlayRunning) f.Yuepu_Click(0);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static Program& program = [] () -> Program& {
        Program& p = Program::instance();
        // Two rhythm files for "JP1" and "JP2" (a pattern and a bad file).
        p.folder.write(QStringLiteral("演奏记录/1.bin"),
                       "050201030700" + QByteArray(16, '*') + QByteArray(33, '-') + "1.bin           \r\n");
        p.folder.write(QStringLiteral("演奏记录/2.bin"), "ZZ\r\n");
        return p;
    }();
    MainWindow& f = program.window();
    if (size > 1024) return 0;
    stopPlay(f);
    program.devices.take();

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
    for (int t = 0; t < kTicks && f.Timer3->enabled(); ++t) f.Timer3->tick();
    stopPlay(f);

    if (f.Timer3->enabled() || f.AutoPlayRunning) FUZZ_FAIL("the player still runs after a stop");
    if (f.Yuepu[0]->text() != QStringLiteral("试听")) FUZZ_FAIL("the play button does not offer a new play");
    if (f.Text3->locked()) FUZZ_FAIL("the score box stays locked after the play");
    if (f.ScorePos < 1) FUZZ_FAIL("the read position fell below the start");

    std::set<std::pair<int, int>> sounding;
    for (uint32_t m : program.devices.take()) {
        const int status = static_cast<int>(m & 0xF0), channel = static_cast<int>(m & 0x0F);
        const int note = static_cast<int>((m >> 8) & 0xFF), velocity = static_cast<int>((m >> 16) & 0xFF);
        if (channel > 4) continue;
        if (status == 0x90 && velocity > 0) sounding.insert({channel, note});
        else if (status == 0x80 || status == 0x90) sounding.erase({channel, note});
    }
    if (!sounding.empty()) {
        for (const auto& [channel, note] : sounding) std::fprintf(stderr, "channel %d note %d\n", channel, note);
        FUZZ_FAIL("notes left sounding after the stop");
    }
    return 0;
}
