// The editor song file (*.lnk): GBK text, CR LF line ends, no header. Bar b
// takes 13 lines: its settings line (or its number "0000", "0001" ...), the
// texts of melodic tracks 0..6 (two characters per step) and of percussion
// tracks 7..11 (one character per step). The steps per bar are read from the
// length of bar 0's track-0 line; the bar count from the number of lines.
//
// How the window calls it:
//  - "保存编辑": prepareSongForSave(song) (fills empty cells, rebuilds the
//    texts, gives bars without settings their number line), then the save
//    dialog, then writeSongFile(song, path); on failure show result.message.
//  - "打开编辑文件": the open dialog first (Cancel changes nothing), then
//    openSongFile(song, path). On failure show result.message: the song is
//    exactly as it was. On success the song holds the file; the window lays
//    itself out for result.barLastStep (meter option result.meterIndex),
//    clears its note boxes, sets the bar scroll bar's maximum to
//    song.EditorBarCount, shows bar 0 (applying result.bar0Settings when it
//    is not empty) and sets PlayEndStep = song.songEndStep().
#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <cstdint>

namespace editor {

class Song;

constexpr int kLinesPerBar = 13;

struct SongFileResult {
    bool ok = false;
    QString message;        // what the window shows when !ok
    int16_t barLastStep = 15;
    int meterIndex = 0;     // option 0 "2/4", 1 "3/4", 2 "4/4"
    QString bar0Settings;   // after an open: bar 0's settings line to apply, or ""
};

// The lines of an editor file after its checks, ready to replace a song.
struct ParsedSong {
    QStringList EditorLineTexts;   // the file's lines; a short last bar is padded with ""
    int16_t FileBarSteps = 16;     // steps per bar of the file
    int32_t barCount = 0;          // index of the last bar
};

// Fills empty cells, rebuilds every bar's texts from its cells and gives each
// bar without settings its number line (bars 0..EditorBarCount).
void prepareSongForSave(Song& song);
// The file's bytes for the song as it stands.
QByteArray songFileBytes(const Song& song);
// Writes the file through a temporary file renamed over the old one, so a
// failed save leaves the old file whole.
SongFileResult writeSongFile(const Song& song, const QString& path);

// Checks a whole file's bytes: false with a message when the file is not an
// editor song this editor can hold.
bool parseSongFile(const QByteArray& bytes, ParsedSong* parsed, QString* message);
// Replaces the song with a checked file: clears it, then fills the bars,
// cells and pitch codes, and sets the meter and the bar count.
void applyParsedSong(Song& song, const ParsedSong& parsed);
// Reads, checks and only then replaces the song.
SongFileResult openSongData(Song& song, const QByteArray& bytes);
SongFileResult openSongFile(Song& song, const QString& path);

}  // namespace editor
