// The performance state that every window shares: the open device, key and
// tick, step counters, the rhythm pattern table, per-channel tables, the
// key-settings presets, chord and effect state, live-play and score state.
// One copy for the whole run (G); every value starts as 0, False or "".
#pragma once

#include "platform/midiout.h"
#include "runtime/runtime.h"

#include <QString>
#include <cstdint>
#include <functional>

class MainWindow;
class GoodbyeWindow;

namespace midi {

using rt::FixedArray;
using rt::FixedArray2;
using i16 = int16_t;

constexpr i16 True = -1;
constexpr i16 False = 0;

// One cell of the rhythm pattern.
struct RhythmHit {
    i16 Enabled = False;   // Boolean: True = -1
    i16 DrumNote = 0;
    i16 Volume = 0;
    int32_t Message = 0;   // ready note-on on channel 9
};

struct State {
    // Window instances, created on first use and kept for the run.
    MainWindow* Form1Instance = nullptr;
    GoodbyeWindow* Form3Instance = nullptr;

    // Device, paths and texts
    plat::MidiOutHandleValue MidiOutHandle = 0;
    QString AppPath;
    QString ScoreText;
    QString RhythmFileText;

    // Key and tick
    i16 BaseNote = 0;
    i16 BeatInterval = 0;

    // Step counters
    i16 RhythmStep = 0;
    i16 DrumStep = 0;
    i16 RhythmLastStep = 0;

    // Rhythm pattern: tracks 0..6, steps 0..9999 (track 5 steps 0..9: the pads)
    FixedArray2<RhythmHit, 7, 10000> RhythmPattern;

    // Per-channel and per-part tables
    FixedArray<i16, 16> ChannelPan;
    FixedArray<i16, 16> ChannelVelocity;
    FixedArray<i16, 16> PartVelocity;
    FixedArray<i16, 16> ChannelProgram;
    FixedArray<int32_t, 16> EditorTrackProgram;

    // Key-settings presets
    FixedArray2<i16, 13, 4> InstrumentPresets;
    FixedArray<i16, 11> DrumPadSounds;
    FixedArray<QString, 7> SoundEffectNames;
    i16 DrumPadIndex = 0;

    // Keyboard and live play
    i16 LastKeyCode = 0;
    i16 KeyOffset = 0;
    i16 LastNoteOffset = 0;
    FixedArray<i16, 66> KeyIsWhite;
    i16 NoteTicks = 0;
    i16 NoteLength = 0;

    // Chords and effects
    i16 ChordKey = 0;
    i16 ChordChannel = 0;
    FixedArray<QString, 6> ChordOffsets;
    FixedArray<i16, 19> ChordSequence;
    i16 ChordCount = 0;
    i16 ChordIndex = 0;
    FixedArray<i16, 6> AccompToken;
    i16 EffectFadeTicks = 0;
    i16 EffectExpression = 0;
    i16 SoundEffectFlags = 0;

    // Music editor
    int32_t EditorBarCount = 0;
    int32_t EditorCountdown = 0;
    i16 EditorBeatInBar = 0;
    i16 EditorNoteSemitone = 0;
};

extern State G;

// How the main window and the music editor reach each other without knowing
// each other's classes. The program's start sets both; tests set their own.
struct WindowHooks {
    std::function<void()> OpenEditor;      // creates the editor when needed and shows it
    std::function<void()> ShowMainWindow;  // shows the main window again (the editor closed)
};
extern WindowHooks Hooks;

// Puts every value back to its first value (tests).
void resetState();

}  // namespace midi
