// Cell to pitch code: the two-character cell of a melodic track ("KC", "GM",
// "XZ" ...) to the pitch code that playback sounds. Codes: notes 0..55 (octave
// L 0, W 12, K 24, H 36, M 48 plus C 0, D 2, E 4, F 5, G 7, A 9, B 11; M only
// up to G), chords "CC" "DM" "EM" "FF" "GM" "AM" 65..70, rest "XZ" 254, and
// 255 (hold) for "TZ", "--" and every other text. Exact, case-sensitive match.
#pragma once

#include <QString>
#include <cstdint>

namespace editor {

constexpr int16_t kPitchRest = 254;
constexpr int16_t kPitchHold = 255;

// SYYPSB: the pitch code of a cell.
int16_t SYYPSB(const QString& NoteToken);

}  // namespace editor
