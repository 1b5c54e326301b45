// The bar settings line: a bar's mix as 60 characters, no separators, every
// field "0"-filled on the left, hexadecimal upper case.
//   1-4    bar number, decimal
//   5+4i   track i = 0..11: program, 2 hex digits (tracks 0..6 the General MIDI
//          program 0..127, "FF" for a silent track; tracks 7..11 the percussion
//          list position 0..46)
//   7+4i   track i: volume 0..127, 2 hex digits
//   53-54  crescendo depth + 20 (0..40), decimal
//   55, 56 vibrato, crescendo: "1" on, "0" off
//   57-58  key index 0..11 (C .. B), decimal; "-1" for no key chosen
//   59-60  tempo 50..255 beats per minute, 2 hex digits
// Example: 0003014633464E4652460446044604460146034604462946114620000050.
//
// The window's "保存" builds a BarSettings from its controls and stores it
// with storeBarSettings(); showing or playing a bar decodes the stored line
// with decodeBarSettingsLine() and sets each control whose field is present
// and in range (a missing or out-of-range field leaves its control as it is).
#pragma once

#include <QString>
#include <array>
#include <cstdint>
#include <optional>

namespace editor {

class Song;
using i16 = int16_t;

constexpr int kSettingsLineLength = 60;
constexpr int kPercussionPositions = 47;   // percussion list positions 0..46
constexpr int kMinTempo = 50, kMaxTempo = 255;
constexpr int kSilentProgram = -1;         // melodic track without an instrument
// Key and tempo are kept for bars 0..255 only, so only these bars store and
// apply settings.
constexpr int32_t kLastSettingsBar = 255;

struct BarSettings {
    int32_t bar = 0;                       // 0..9999
    // Tracks 0..6: General MIDI program -1..127 (-1 silent); tracks 7..11:
    // percussion list position 0..46 (General MIDI key - 35).
    std::array<int32_t, 12> program{};
    std::array<i16, 12> volume{};          // 0..127
    i16 depth = 0;                         // crescendo depth -20..20
    bool vibrato = false;
    bool crescendo = false;
    i16 key = 0;                           // 0..11, or -1 when no key is chosen
    i16 tempo = 80;                        // 50..255
};

// What a stored line gives back: each field that is present, well-formed and
// in range. Volumes above 127 read as 127; a melodic program 128..255 reads
// as silent (-1).
struct BarSettingsFields {
    std::optional<int32_t> bar;
    std::array<std::optional<int32_t>, 12> program;
    std::array<std::optional<i16>, 12> volume;
    std::optional<i16> depth;
    std::optional<bool> vibrato;
    std::optional<bool> crescendo;
    std::optional<i16> key;
    std::optional<i16> tempo;
};

bool isValidTempo(long long tempo);
// Milliseconds per sixteenth step at a tempo (fraction cut off): 187 for 80.
i16 editorBeatInterval(int tempo);
// A volume as typed: rounded (halves to even) and clamped to 0..127.
i16 clampVolume(double volume);

// The 60-character line, or nullopt when a field is out of range.
std::optional<QString> encodeBarSettingsLine(const BarSettings& settings);
// Reads a line field by field (by position; fields past the end are absent).
BarSettingsFields decodeBarSettingsLine(const QString& line);
// All fields present: the complete settings.
std::optional<BarSettings> completeSettings(const BarSettingsFields& fields);

// Stores the settings of a bar of the song: its line and its key, tempo,
// switches and depth. False (nothing changes) when a field is out of range
// or the bar is past kLastSettingsBar.
bool storeBarSettings(Song& song, int32_t bar, const BarSettings& settings);
// After a bar's line was applied: its key and tempo fields become the bar's
// key and tempo texts (bars 0..255).
void noteAppliedSettings(Song& song, int32_t bar);

}  // namespace editor
