// The live accompaniment clock (Timer1): while the user plays it drives the
// chord tracks, the bar chord and the drum steps when auto-sync is on,
// counts the ticks of the sounding note for the recorded score, and closes
// the take after a long pause (those two at the tick's deadline). DrumAccent
// is the expression sent before each drum step, shared with the score player
// and the rhythm audition.
#include "keyboard/mainwindow.h"

#include "midi/gestures.h"
#include "midi/midiout.h"

#include <algorithm>

using namespace midi;
using rt::add16;

void MainWindow::Timer1_Timer() {
    rt::DoEvents();
    // A key handled while yielding may have stopped the clock.
    if (!Timer1->enabled()) return;

    if (Check5->value() == 1 && BzQd->value() != 1) {
        if (AccompTick == 0) BarChord();
        // The accompaniment steps on every second tick.
        if (AccompTick % 2 == 0) AccompanimentStep();
    }

    AccompTick = add16(AccompTick, 1);
    if (AccompTick > 2 * G.RhythmLastStep + 1) AccompTick = 0;

    // The tick runs ahead of its deadline, and what it sent is due then; the
    // note's count, the length a key records and the close of an idle take
    // are what the keys read, and they change at the deadline itself.
    Timer1->atDeadline([this] { CountNoteTick(); });
}

void MainWindow::CountNoteTick() {
    G.NoteTicks = add16(G.NoteTicks, 1);
    if (G.NoteTicks > kIdleLimit) {
        // A long pause ends the take.
        G.NoteTicks = kIdleLimit;
        Text3->setSelStart(TextLen);
        if (!Text3->text().isEmpty()) Text3->setSelText(QString::number(G.NoteTicks) + QStringLiteral("TZ"));
        G.ScoreText = Text3->text();
        Timer1->setEnabled(false);
        ReleaseMelodyNote(G.LastNoteOffset);
        HX1K();
        HX2K();
    }

    // The count rounded up to an even number of ticks.
    G.NoteLength = std::min<int16_t>(static_cast<int16_t>(2 * rt::Int((G.NoteTicks + 1) / 2.0)), kIdleLimit);
}

void MainWindow::BarChord() {
    ZNHX();
    ChordPos = add16(ChordPos, 1);
    if (ChordPos > Text6->text().size()) ChordPos = 1;
}

void MainWindow::AccompanimentStep() {
    if (xuanyue->listIndex() > 0) BZHX();
    if (xuanyue->listIndex() > 0) BZHX2();
    if (G.RhythmStep % 2 == 0) {
        SendShortMessage(185, 11, DrumAccent());
        PlayDrumStep();
        G.DrumStep = add16(G.DrumStep, 1);
        if (G.DrumStep > G.RhythmLastStep) G.DrumStep = 0;
    }
    G.RhythmStep = add16(G.RhythmStep, 1);
    if (G.RhythmStep > G.RhythmLastStep) {
        HX2K();
        G.ChordIndex = add16(G.ChordIndex, 1);
        if (G.ChordIndex > G.ChordCount) G.ChordIndex = 1;
        G.RhythmStep = 0;
    }
}

MainWindow::i16 MainWindow::DrumAccent() const {
    const bool twoFour = Option1[0]->value();
    const bool threeFour = Option1[1]->value();
    const bool fourFour = Option1[2]->value();
    switch (G.DrumStep) {
    case 0: return 127;
    case 2:
    case 10:
    case 14: return 55;
    case 4:
    case 12:
        if (twoFour) return 127;
        if (fourFour) return 90;
        return 55;
    case 6: return threeFour ? 127 : 55;
    case 8: return threeFour ? 55 : 127;
    default: return 100;
    }
}
