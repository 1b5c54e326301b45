// Song file reader: any bytes either open as a song that saves and reopens to
// the same bytes, or are refused with a message and leave the song, and the
// drum table's enabled flags, exactly as they were.
#include "editor/barsettings.h"
#include "editor/songfile.h"
#include "editor/songmodel.h"
#include "midi/state.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <memory>

using namespace editor;

namespace {

void failed(int line) {
    std::fprintf(stderr, "invariant broken at line %d\n", line);
    std::abort();
}
#define check(ok) ((ok) ? (void)0 : failed(__LINE__))

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
        check(!r.message.isEmpty());
        check(song == earlierSong());
        check(enabledFlagsMatch());
        return 0;
    }
    changed = true;
    check(song.BarLastStep == 15 || song.BarLastStep == 23 || song.BarLastStep == 31);
    check(r.barLastStep == song.BarLastStep && r.meterIndex == (song.BarLastStep - 15) / 8);
    check(song.EditorBarCount >= 0 && song.EditorBarCount <= song.lastBarLimit());
    check(song.songEndStep() < kPositions);

    // What was opened saves, reopens and saves again to the same bytes.
    prepareSongForSave(song);
    const QByteArray saved = songFileBytes(song);
    static Song& again = *new Song;
    const SongFileResult r2 = openSongData(again, saved);
    check(r2.ok);
    check(again.EditorBarCount == song.EditorBarCount && again.BarLastStep == song.BarLastStep);
    prepareSongForSave(again);
    check(songFileBytes(again) == saved);
    return 0;
}
