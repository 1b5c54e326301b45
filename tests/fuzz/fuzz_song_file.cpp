// Song file reader: any bytes either open as a song that saves and reopens to
// the same bytes, or are refused with a message and leave the song, and the
// drum table's enabled flags, exactly as they were.
#include "fuzzsupport.h"

#include "editor/barsettings.h"
#include "editor/songfile.h"
#include "editor/songmodel.h"
#include "midi/state.h"

#include <cstdint>
#include <memory>

using namespace editor;

namespace {

// An earlier song with something in every kind of table.
const Song& earlierSong() {
    static const Song* song = [] {
        auto* s = new Song;
        s->setBarLastStep(23);
        s->setBarCount(7);
        s->commitTrackText(0, 0, "KCKDGMXZTZ");
        s->commitTrackText(6, 7, "MGLC");
        s->setDrumHit(9, 3, 5, true);
        s->EditorMarkGrid(2, 9999) = "HC";
        BarSettings b;
        b.program.fill(3);
        b.volume.fill(90);
        storeBarSettings(*s, 2, b);
        return s;
    }();
    return *song;
}

bool enabledFlagsMatch() {
    for (int r = 0; r < 5; ++r)
        for (int p = 0; p < kPositions; ++p)
            if (midi::G.RhythmPattern(r, p).Enabled != ((r + p) % 97 == 0 ? midi::True : midi::False)) return false;
    return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    // The song and flags before the open; a refused file leaves them so, and
    // only an opened one needs them put back.
    static Song& song = *new Song;
    static bool changed = true;
    if (changed) {
        song = earlierSong();
        for (int r = 0; r < 5; ++r)
            for (int p = 0; p < kPositions; ++p)
                midi::G.RhythmPattern(r, p).Enabled = (r + p) % 97 == 0 ? midi::True : midi::False;
        changed = false;
    }

    const QByteArray bytes(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    const SongFileResult r = openSongData(song, bytes);
    if (!r.ok) {
        FUZZ_CHECK(!r.message.isEmpty());
        FUZZ_CHECK(song == earlierSong());
        FUZZ_CHECK(enabledFlagsMatch());
        return 0;
    }
    changed = true;
    FUZZ_CHECK(song.BarLastStep == 15 || song.BarLastStep == 23 || song.BarLastStep == 31);
    FUZZ_CHECK(r.barLastStep == song.BarLastStep && r.meterIndex == (song.BarLastStep - 15) / 8);
    FUZZ_CHECK(song.EditorBarCount >= 0 && song.EditorBarCount <= song.lastBarLimit());
    FUZZ_CHECK(song.songEndStep() < kPositions);

    // What was opened saves, reopens and saves again to the same bytes.
    prepareSongForSave(song);
    const QByteArray saved = songFileBytes(song);
    static Song& again = *new Song;
    const SongFileResult r2 = openSongData(again, saved);
    FUZZ_CHECK(r2.ok);
    FUZZ_CHECK(again.EditorBarCount == song.EditorBarCount && again.BarLastStep == song.BarLastStep);
    prepareSongForSave(again);
    FUZZ_CHECK(songFileBytes(again) == saved);
    return 0;
}
