// Song file reader: any bytes either open as a song that saves and reopens to
// the same bytes, or are refused with a message and leave the song, and the
// drum table's enabled flags, as they were. The song is the one the earlier
// inputs left; what it holds is compared over its extent (its bars' texts,
// meter and bar count) and at marks put outside it.
#include "fuzzsupport.h"

#include "editor/barsettings.h"
#include "editor/songfile.h"
#include "editor/songmodel.h"
#include "midi/state.h"

#include <cstdint>

using namespace editor;

namespace {

// Marks beyond any opened song's extent: a cell at the last position, a
// settings line of the last bar, and every 97th drum flag (an open clears
// the others).
void mark(Song& song) {
    song.EditorMarkGrid(2, kPositions - 1) = "HC";
    song.BarHeaderTexts(kBars - 1) = "9999";
    for (int r = 0; r < 5; ++r)
        for (int p = r; p < kPositions; p += 97) midi::G.RhythmPattern(r, p).Enabled = midi::True;
}

// What an open may change, over the song's extent: its bars' texts (as a
// save writes them), meter and bar count, and the marks beyond it.
QString fingerprint(const Song& song) {
    QString f = QString::number(song.EditorBarCount) + u' ' + QString::number(song.BarLastStep) + u' ';
    for (int32_t b = 0; b <= song.EditorBarCount; ++b) {
        f += song.BarHeaderTexts(b);
        for (int t = 0; t < kSongTracks; ++t) f += u'|' + song.EditorTextGrid(t, b);
    }
    f += song.EditorMarkGrid(2, kPositions - 1) + song.BarHeaderTexts(kBars - 1);
    for (int r = 0; r < 5; ++r)
        for (int p = r; p + 1 < kPositions; p += 97)
            for (int q : {p, p + 1}) f += midi::G.RhythmPattern(r, q).Enabled == midi::True ? u'1' : u'0';
    return f;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static Song& song = *[] {
        auto* s = new Song;
        s->setBarLastStep(23);
        s->setBarCount(7);
        s->commitTrackText(0, 0, "KCKDGMXZTZ");
        s->setDrumHit(9, 3, 5, true);
        storeBarSettings(*s, 2, BarSettings{});
        prepareSongForSave(*s);
        mark(*s);
        return s;
    }();
    static Song& again = *new Song;
    static QString& before = *new QString(fingerprint(song));

    const SongFileResult r = openSongData(song, QByteArray(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size)));
    if (!r.ok) {
        FUZZ_CHECK(!r.message.isEmpty());
        FUZZ_CHECK(fingerprint(song) == before);
        return 0;
    }
    FUZZ_CHECK(song.BarLastStep == 15 || song.BarLastStep == 23 || song.BarLastStep == 31);
    FUZZ_CHECK(r.barLastStep == song.BarLastStep && r.meterIndex == (song.BarLastStep - 15) / 8);
    FUZZ_CHECK(song.EditorBarCount >= 0 && song.EditorBarCount <= song.lastBarLimit());
    FUZZ_CHECK(song.songEndStep() < kPositions);

    // What was opened saves, reopens and saves again to the same bytes.
    prepareSongForSave(song);
    const QByteArray saved = songFileBytes(song);
    FUZZ_CHECK(openSongData(again, saved).ok);
    FUZZ_CHECK(again.EditorBarCount == song.EditorBarCount && again.BarLastStep == song.BarLastStep);
    prepareSongForSave(again);
    FUZZ_CHECK(songFileBytes(again) == saved);
    if (song.songEndStep() < kPositions - 1) mark(song);
    before = fingerprint(song);
    return 0;
}
