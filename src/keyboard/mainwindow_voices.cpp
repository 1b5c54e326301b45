// The melody page: the three voices' instruments, velocities and vibrato,
// the tempo (BeatInterval and the clocks' intervals) and the key (BaseNote).
#include "keyboard/mainwindow.h"

#include "midi/midiout.h"

using namespace midi;
using rt::add16;

namespace {

// Program change of a voice, only for a real General MIDI program: the
// silent entry (program -1) and typed text that names no entry (-2) send
// nothing.
void voiceProgram(int16_t channel, int program) {
    if (program >= 0 && program <= 127) ProgramChange(channel, 0, static_cast<int16_t>(program));
}

}  // namespace

void MainWindow::ComSounds_Click(int j) {
    const int position = ComSounds[j]->listIndex();
    if (position > 0) {
        G.ChannelProgram(j) = rt::toI16(position);
        voiceProgram(static_cast<int16_t>(j), position - 1);
    } else {
        // Silent or nothing chosen: the voice's sounding note stops, for
        // voice 2 with its octave below.
        const int16_t note = add16(G.LastNoteOffset, G.BaseNote);
        NoteOff(static_cast<int16_t>(j), note);
        if (j == 2) NoteOff(2, add16(note, -12));
    }
    YXYZ();
}

void MainWindow::ComSounds_Change(int j) {
    G.ChannelProgram(j) = rt::toI16(ComSounds[j]->listIndex());
    voiceProgram(static_cast<int16_t>(j), G.ChannelProgram(j) - 1);
}

// A preset that is no list position (a hand-edited settings file) leaves its
// voice as it is.
void MainWindow::SelectInstrumentCombination(int n) {
    bool valid[3];
    for (int j = 0; j <= 2; ++j) {
        const i16 preset = G.InstrumentPresets(n - 1, j);
        valid[j] = preset >= 0 && preset < ComSounds[j]->listCount();
        if (valid[j]) G.ChannelProgram(j) = preset;
    }
    for (int16_t j = 0; j <= 2; ++j) {
        if (!valid[j]) continue;
        ComSounds[j]->setListIndex(G.ChannelProgram(j));
        voiceProgram(j, ComSounds[j]->listIndex() - 1);
    }
}

MainWindow::i16 MainWindow::TypedVelocity(const QString& text) {
    const double v = rt::roundHalfEven(rt::Val(text));
    if (!(v >= 1)) return 1;
    return static_cast<i16>(v > 127 ? 127 : v);
}

void MainWindow::Zxlyl_Click(int j) {
    G.PartVelocity(j) = TypedVelocity(Zxlyl[j]->text());
    YXYZ();
}

void MainWindow::Zxlyl_Change(int j) { G.PartVelocity(j) = TypedVelocity(Zxlyl[j]->text()); }

void MainWindow::Check3_Click(int j) {
    // Modulation, portamento switch, sostenuto and reverb depth.
    static const int16_t controllers[4] = {1, 65, 66, 91};
    static const int16_t on[4] = {75, 100, 100, 100};
    static const int16_t off[4] = {0, 20, 20, 20};
    const bool ticked = Check3[j]->value() == 1;
    const int16_t status = add16(176, j);
    for (int k = 0; k < 4; ++k) SendShortMessage(status, controllers[k], ticked ? on[k] : off[k]);
    YXYZ();
}

void MainWindow::SD_Click() {
    // One tick is an eighth of a beat.
    G.BeatInterval = rt::CInt(7500.0 / rt::Val(SD->text()));
    BZDS->setInterval(rt::mul16(2, G.BeatInterval));
    Timer1->setInterval(G.BeatInterval);
    YXYZ();
}

void MainWindow::SD_LostFocus() {
    const double t = rt::roundHalfEven(rt::Val(SD->text()));
    if (t >= 40 && t <= 140) {
        SD_Click();
        return;
    }
    // Not a tempo: show the one the clocks still run at.
    if (G.BeatInterval > 0) SD->setText(QString::number(rt::Int(7500.0 / G.BeatInterval)));
}

void MainWindow::YD_Click() {
    const int16_t baseNote = add16(YD->listIndex(), 36);
    if (WasActivated && baseNote != G.BaseNote) {
        // Later note-offs use the new key: release what sounds in the old
        // one first (the melody note and the chord tracks).
        ReleaseMelodyNote(G.LastNoteOffset);
        HX1K();
        HX2K();
    }
    G.BaseNote = baseNote;
    YXYZ();
}

void MainWindow::YD_Change() {
    // A typed key is not taken: the box goes back to its first entry. The
    // box runs this handler again only when its text really changes, so
    // the second run finds "C" and stops.
    YD->setText(QStringLiteral("C"));
}
