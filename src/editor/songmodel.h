// The music editor's song: the step grids of its twelve tracks, the per-bar
// texts (settings lines and their parts), the meter and the bar count, with
// the editing operations that only touch the song. No widget lives here: the
// editor window shows the song and calls these operations from its handlers.
//
// Layout of a song. An editor bar has BarLastStep + 1 steps (16, 24 or 32,
// one sixteenth note each). Step s of bar b has the position
// p = b * (BarLastStep + 1) + s; every per-step table is indexed by p, and p
// stays within 0..9999, so the last bar a song can have is
// 10000 / steps-per-bar - 1 (624, 415 or 311): lastBarLimit(). Tracks 0..6 are
// melodic (two-character cells: a note token "KC", a chord "GM", "XZ" rest,
// "TZ" stop, "--" hold), tracks 7..11 the five percussion rows ("O" a hit,
// "-" none, one character). Tracks 12..16 exist in the tables but are never
// used. A meter change moves no cell: a position then belongs to another bar.
//
// How the window uses it:
//  - one Song for the run: editor::song(); tests make their own.
//  - activation clears it: QKYP() (also the RhythmPattern rows' enabled flags).
//  - a note box left: commitTrackText(track, CurrentBar, box text) returns the
//    text to put back into the box (upper case, padded with "-").
//  - a drum box changed: setDrumHit(track, CurrentBar, step, ticked).
//  - "插入": insertBar(CurrentBar) gives the new current bar (or -1 at the
//    limit); the window then empties its note boxes and unticks the drum boxes
//    WITHOUT running their handlers.
//  - "清空": clearBar(CurrentBar), then empty the boxes (handlers may run: the
//    cells are "-" already).
//  - "设置": setBarCount(n) refuses n outside 0..lastBarLimit().
//  - a meter option: setBarLastStep(15 / 23 / 31) clamps the bar count.
//  - PlayEndStep of the whole song: songEndStep().
//  - the settings line of a bar: barsettings.h; files: songfile.h; score
//    import: scoreimport.h; cell to pitch code: pitchcode.h.
// The song's bar count is Song::EditorBarCount (midi::G.EditorBarCount is not
// used by the editor).
#pragma once

#include "runtime/runtime.h"

#include <QString>
#include <algorithm>
#include <array>
#include <cstdint>
#include <vector>

namespace editor {

using i16 = int16_t;

constexpr int kTableTracks = 17;    // tracks 0..16 of the tables
constexpr int kSongTracks = 12;     // tracks 0..11 in use
constexpr int kMelodicTracks = 7;   // tracks 0..6; 7..11 are percussion rows 0..4
constexpr int kPositions = 10000;   // step positions 0..9999
constexpr int kBars = 10000;        // bars 0..9999 of the per-bar tables

inline bool isMelodicTrack(int track) { return track >= 0 && track < kMelodicTracks; }

// Fixed-bound one-dimensional table 0..N-1 on the heap; an index outside is a
// run-time subscript error, never a resize. A table starts out holding its
// blank value; every writable access marks the block of 64 cells it falls in,
// so that clear() (back to blank everywhere) rewrites only the blocks that
// may have changed: a song uses few of its 10,000 positions and bars, and
// each open clears them all.
template <typename T, std::size_t N>
class HeapArray {
public:
    explicit HeapArray(const T& blank = T()) : data_(N, blank), blank_(blank) {}
    T& operator()(long long i) { return touch(check(i)); }
    const T& operator()(long long i) const { return data_[check(i)]; }
    T& operator[](long long i) { return touch(check(i)); }
    const T& operator[](long long i) const { return data_[check(i)]; }
    static constexpr std::size_t size() { return N; }
    void clear() {
        for (std::size_t b = 0; b < kBlocks; ++b) {
            if (!dirty_[b]) continue;
            const auto first = data_.begin() + static_cast<std::ptrdiff_t>(b * kBlock);
            std::fill(first, first + static_cast<std::ptrdiff_t>(std::min(kBlock, N - b * kBlock)), blank_);
            dirty_[b] = false;
        }
    }
    bool operator==(const HeapArray& o) const { return data_ == o.data_; }

private:
    static constexpr std::size_t kBlock = 64;
    static constexpr std::size_t kBlocks = (N + kBlock - 1) / kBlock;
    static std::size_t check(long long i) {
        if (i < 0 || i >= static_cast<long long>(N)) rt::raise(rt::kErrSubscript);
        return static_cast<std::size_t>(i);
    }
    T& touch(std::size_t i) {
        dirty_[i / kBlock] = true;
        return data_[i];
    }
    std::vector<T> data_;
    T blank_;
    std::array<bool, kBlocks> dirty_{};
};

// Fixed-bound two-dimensional table R x C on the heap, row after row, with
// the blank value and clear() of HeapArray.
template <typename T, std::size_t R, std::size_t C>
class HeapGrid {
public:
    explicit HeapGrid(const T& blank = T()) : cells_(blank) {}
    T& operator()(long long r, long long c) { return cells_(index(r, c)); }
    const T& operator()(long long r, long long c) const { return cells_(index(r, c)); }
    void clear() { cells_.clear(); }
    bool operator==(const HeapGrid&) const = default;

private:
    static long long index(long long r, long long c) {
        if (r < 0 || r >= static_cast<long long>(R) || c < 0 || c >= static_cast<long long>(C)) rt::raise(rt::kErrSubscript);
        return r * static_cast<long long>(C) + c;
    }
    HeapArray<T, R * C> cells_;
};

template <typename T, std::size_t R, std::size_t C>
using Grid = HeapGrid<T, R, C>;

class Song {
public:
    Song();

    // The cell of a track at a step position ("" until first written).
    Grid<QString, kTableTracks, kPositions> EditorMarkGrid;
    // The text of a track in a bar: a note box's committed text, or a
    // percussion row's cells joined; what the song file stores.
    Grid<QString, kTableTracks, kBars> EditorTextGrid;
    // Pitch code of a melodic cell (see pitchcode.h); 255 for an empty cell.
    Grid<i16, kTableTracks, kPositions> EditorPitchGrid;

    // Per-bar texts. BarHeaderTexts: the bar's 60-character settings line, or
    // its 4-digit number, or "" (a bar has settings when the text is longer
    // than 4 characters). The others are parts of the last line stored or
    // applied on the bar: BarEffectFlags "0"/"1" vibrato then crescendo,
    // BarDepthTexts depth + 20 (2 digits), BarKeyTexts key (2 digits),
    // BarTempoTexts tempo (2 hexadecimal digits).
    HeapArray<QString, kBars> BarHeaderTexts;
    HeapArray<QString, 2000> BarEffectFlags;
    HeapArray<QString, 2000> BarDepthTexts;
    HeapArray<QString, 256> BarKeyTexts;
    HeapArray<QString, 256> BarTempoTexts;

    int32_t EditorBarCount = 0;   // index of the song's last bar (0: one bar)
    i16 BarLastStep = 15;         // last step of a bar: 15, 23 or 31

    int stepsPerBar() const { return BarLastStep + 1; }
    // The last bar whose steps all lie within the tables.
    int32_t lastBarLimit() const { return kPositions / stepsPerBar() - 1; }
    // Position of step `step` of bar `bar`; a subscript error outside 0..9999.
    int32_t position(int32_t bar, int step) const;
    // Last position of the song (PlayEndStep of a whole-song play).
    int32_t songEndStep() const { return EditorBarCount * stepsPerBar() + BarLastStep; }
    // A bar's settings line when it has one, else "".
    QString settingsLine(int32_t bar) const;
    bool hasSettings(int32_t bar) const { return BarHeaderTexts(bar).size() > 4; }

    // Clears the whole song: every cell of every track, every bar's texts,
    // the bar count, and the enabled flags of RhythmPattern rows 0..4 (their
    // drum notes and messages stay). Pitch codes become 255 (what an empty
    // cell converts to). The meter stays.
    void QKYP();

    // Sets the meter (15, 23 or 31; anything else is refused with false) and
    // clamps the bar count to the new limit. No cell moves.
    bool setBarLastStep(i16 lastStep);
    // Sets the index of the last bar; refused (false, nothing changes) outside
    // 0..lastBarLimit().
    bool setBarCount(int32_t barCount);

    // Commits a note box of melodic track `track` in `bar`: upper case,
    // padded with "-" to two characters per step, stored as the bar's text,
    // split into cells with their pitch codes. Returns the stored text (the
    // box shows it). A longer text is kept whole; only its first cells count.
    QString commitTrackText(int track, int32_t bar, const QString& boxText);
    // Records a drum box: the cell of percussion track `track` (7..11) at
    // `step` of `bar` becomes "O" or "-"; the bar's other empty cells become
    // "-"; the row's text is rebuilt.
    void setDrumHit(int track, int32_t bar, int step, bool hit);
    // Moves on to a fresh bar after `currentBar`: its texts are emptied and its
    // cells cleared ("--" melodic, "-" percussion); the song grows to end one
    // bar after it. Returns the new current bar, or -1 (nothing changes) when
    // that bar would pass lastBarLimit().
    int32_t insertBar(int32_t currentBar);
    // Empties a bar: texts "", cells "--" / "-".
    void clearBar(int32_t bar);
    // The cells of a track in a bar joined in step order.
    QString joinedCells(int track, int32_t bar) const;
    // What a melodic track's note box shows for a bar: its cells at the
    // meter in force, two characters each ("--" for a cell never written);
    // "" for a bar with no text and no cell written.
    QString shownTrackText(int track, int32_t bar) const;

    bool operator==(const Song&) const = default;

private:
    void clearBarCells(int32_t bar);
};

// The song of the running program (created on first use, kept for the run).
Song& song();

}  // namespace editor
