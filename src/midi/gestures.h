// Ready-made musical gestures that several windows share: one step of the
// rhythm pattern, a drum pad, a triad, the single-key chord effect, the
// single-key rhythm instrument and the wave sound effects. They take their
// input from the shared state (G), not from parameters.
#pragma once

namespace ui {
class Label;
class ComboBox;
class Timer;
class CheckBox;
}  // namespace ui

namespace midi {

// Controls of the main window that the gestures write or read.
struct MainWindowLinks {
    ui::Label* XSWB = nullptr;      // hint line
    ui::ComboBox* Combo1 = nullptr; // chord instrument of channels 4 and 5
    ui::Timer* Timer4 = nullptr;    // fade clock of channel 5
    ui::CheckBox* Check2 = nullptr; // loop the sound effect
};
extern MainWindowLinks Main;

void PlayRhythmStep();
void PlayDrumStep();
void PlayDrumPad();
void PlayChordNotes();
void PlayChordEffect();
void SetRhythmInstrumentByKey();
void PlaySoundEffect();

// Semitone offsets above BaseNote of chord 1..6 (chord codes 65..70).
const int* TriadOffsets(int chordNumber);

}  // namespace midi
