// Score import: a score text of the main window (its notation: note tokens
// "KC", rests "XZ", "TZ" stop, each with an optional length of one or two
// digits in ticks, 8 per beat) becomes the first two tracks of a new song,
// one token per step position, advancing by half the length in steps. Tempo,
// instrument and rhythm commands ("VS", "YQ", "YX", "JP", "HX") are skipped
// (their digits still set the length); any other pair writes a hold "--" and
// does not advance. The import uses the song's current meter and stops at the
// last step the tables hold.
//
// How the window calls it ("导入记录乐谱"): the open dialog first (Cancel
// changes nothing), then importScoreFile(song, path, ImportNoteLength). On
// success: midi::G.ScoreText = result.scoreText; empty the note boxes, set the
// bar scroll bar's maximum to song.EditorBarCount and show bar 0 explicitly
// (also when the scroll bar is already at 0); PlayEndStep = song.songEndStep().
// On failure show result.message; nothing has changed.
#pragma once

#include <QString>
#include <cstdint>

namespace editor {

class Song;

struct ScoreImportResult {
    bool ok = false;
    QString message;      // what the window shows when !ok
    QString scoreText;    // the file's lines joined (the new ScoreText)
    int32_t endStep = 0;  // the write position after the last token (RhythmStep)
};

// YUEPUSB and DrYpsb: clears the song and imports a joined score text.
// ImportNoteLength is the length carried from token to token (and from one
// import to the next while the window stays open).
ScoreImportResult importScoreText(Song& song, const QString& ScoreText, int32_t& ImportNoteLength);
// Reads the file (GBK, lines joined with nothing between) and imports it.
ScoreImportResult importScoreFile(Song& song, const QString& path, int32_t& ImportNoteLength);

}  // namespace editor
