// The one copy of the shared performance state and the window hooks, and their reset.
#include "midi/state.h"

namespace midi {

State G;
WindowHooks Hooks;

void resetState() {
    // The pattern table is large: clear it in place rather than rebuild.
    State fresh;
    G.Form1Instance = nullptr;
    G.Form3Instance = nullptr;
    G.MidiOutHandle = 0;
    G.AppPath.clear();
    G.ScoreText.clear();
    G.RhythmFileText.clear();
    G.BaseNote = G.BeatInterval = 0;
    G.RhythmStep = G.DrumStep = G.RhythmLastStep = 0;
    G.RhythmPattern.fill(RhythmHit{});
    G.ChannelPan = fresh.ChannelPan;
    G.ChannelVelocity = fresh.ChannelVelocity;
    G.PartVelocity = fresh.PartVelocity;
    G.ChannelProgram = fresh.ChannelProgram;
    G.EditorTrackProgram = fresh.EditorTrackProgram;
    G.InstrumentPresets.fill(0);
    G.DrumPadSounds = fresh.DrumPadSounds;
    G.SoundEffectNames = fresh.SoundEffectNames;
    G.DrumPadIndex = 0;
    G.LastKeyCode = G.KeyOffset = G.LastNoteOffset = 0;
    G.KeyIsWhite = fresh.KeyIsWhite;
    G.NoteTicks = G.NoteLength = 0;
    G.ChordKey = G.ChordChannel = 0;
    G.ChordOffsets = fresh.ChordOffsets;
    G.ChordSequence = fresh.ChordSequence;
    G.ChordCount = G.ChordIndex = 0;
    G.AccompToken = fresh.AccompToken;
    G.EffectFadeTicks = G.EffectExpression = G.SoundEffectFlags = 0;
    G.EditorBarCount = G.EditorCountdown = 0;
    G.EditorBeatInBar = G.EditorNoteSemitone = 0;
}

}  // namespace midi
