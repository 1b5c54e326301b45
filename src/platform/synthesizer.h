// The embedded General MIDI synthesizer as the audio engine makes it: which
// soundfont it plays, and a synthesizer with that soundfont loaded whole.
#pragma once

#include <fluidsynth/types.h>

#include <string>

namespace plat {

// The soundfont the engine loads. envOverride (MORVELA_SOUNDFONT) wins when it
// names an existing file. Else the system's default GM soundfont when it
// resolves to a different file larger than TimGM6mb (a fuller set), else
// TimGM6mb, else whatever default GM soundfont exists. Empty when nothing is
// found.
std::string pickSoundFont(const char* envOverride, const std::string& defaultGmPath, const std::string& timGmPath);

// Voices sounding at once before the synthesizer cuts the oldest short. A
// fast run on ringing instruments keeps many sounding: the default voices
// (tubular bells among them) with a key every 100 ms over the accompaniment
// reach about 550 on FluidR3_GM, a key every 50 ms about 930. Every voice
// of it sounding costs the render thread about a third of a block's time.
constexpr int kSynthPolyphony = 1024;

// A synthesizer at sampleRate with `font` loaded whole: every sample is read
// into memory (and kept there where the system allows) before this returns,
// none later when a program is chosen or a note struck, so the thread that
// renders never waits for the disk. When `font` cannot be loaded, `fallback`
// is tried; `font` tells what was loaded ("" nothing). synth is null when no
// synthesizer could be made.
struct LoadedSynth {
    fluid_settings_t* settings = nullptr;
    fluid_synth_t* synth = nullptr;
    std::string font;
};
LoadedSynth loadSynth(int sampleRate, const std::string& font, const std::string& fallback);
void freeSynth(LoadedSynth& s);

}  // namespace plat
