// The music editor's song: its tables and the editing operations on them.
#include "editor/songmodel.h"

#include "editor/pitchcode.h"
#include "midi/state.h"

namespace editor {

namespace {

const QString kHold = QStringLiteral("--");
const QString kNoHit = QStringLiteral("-");
const QString kHit = QStringLiteral("O");

}  // namespace

Song::Song() : EditorPitchGrid(kPitchHold) {}

int32_t Song::position(int32_t bar, int step) const {
    long long p = static_cast<long long>(bar) * stepsPerBar() + step;
    if (bar < 0 || step < 0 || step > BarLastStep || p >= kPositions) rt::raise(rt::kErrSubscript);
    return static_cast<int32_t>(p);
}

QString Song::settingsLine(int32_t bar) const {
    return hasSettings(bar) ? BarHeaderTexts(bar) : QString();
}

void Song::QKYP() {
    // Each table rewrites only the blocks written since it was last blank.
    EditorMarkGrid.clear();
    EditorTextGrid.clear();
    EditorPitchGrid.clear();
    BarHeaderTexts.clear();
    BarEffectFlags.clear();
    BarDepthTexts.clear();
    BarKeyTexts.clear();
    BarTempoTexts.clear();
    for (int r = 0; r < 5; ++r)
        for (int p = 0; p < kPositions; ++p) midi::G.RhythmPattern(r, p).Enabled = midi::False;
    EditorBarCount = 0;
}

bool Song::setBarLastStep(i16 lastStep) {
    if (lastStep != 15 && lastStep != 23 && lastStep != 31) return false;
    BarLastStep = lastStep;
    if (EditorBarCount > lastBarLimit()) EditorBarCount = lastBarLimit();
    return true;
}

bool Song::setBarCount(int32_t barCount) {
    if (barCount < 0 || barCount > lastBarLimit()) return false;
    EditorBarCount = barCount;
    return true;
}

QString Song::commitTrackText(int track, int32_t bar, const QString& boxText) {
    if (!isMelodicTrack(track)) rt::raise(rt::kErrSubscript);
    position(bar, 0);   // the bar must lie within the tables
    QString text = boxText.toUpper();
    const int width = 2 * stepsPerBar();
    if (text.size() < width) text += QString(width - text.size(), u'-');
    EditorTextGrid(track, bar) = text;
    for (int s = 0; s <= BarLastStep; ++s) {
        const int32_t p = position(bar, s);
        QString cell = text.mid(2 * s, 2);
        EditorPitchGrid(track, p) = SYYPSB(cell);
        EditorMarkGrid(track, p) = std::move(cell);
    }
    return text;
}

void Song::setDrumHit(int track, int32_t bar, int step, bool hit) {
    if (track < kMelodicTracks || track >= kSongTracks) rt::raise(rt::kErrSubscript);
    EditorMarkGrid(track, position(bar, step)) = hit ? kHit : kNoHit;
    for (int s = 0; s <= BarLastStep; ++s) {
        QString& cell = EditorMarkGrid(track, position(bar, s));
        if (cell.isEmpty()) cell = kNoHit;
    }
    EditorTextGrid(track, bar) = joinedCells(track, bar);
}

void Song::clearBarCells(int32_t bar) {
    for (int t = 0; t < kSongTracks; ++t) {
        EditorTextGrid(t, bar) = QString();
        for (int s = 0; s <= BarLastStep; ++s) {
            const int32_t p = position(bar, s);
            if (isMelodicTrack(t)) {
                EditorMarkGrid(t, p) = kHold;
                EditorPitchGrid(t, p) = kPitchHold;
            } else {
                EditorMarkGrid(t, p) = kNoHit;
            }
        }
    }
}

int32_t Song::insertBar(int32_t currentBar) {
    const int32_t next = currentBar + 1;
    if (currentBar < 0 || next > lastBarLimit()) return -1;
    clearBarCells(next);
    if (EditorBarCount <= next) EditorBarCount = std::min(next + 1, lastBarLimit());
    return next;
}

void Song::clearBar(int32_t bar) { clearBarCells(bar); }

QString Song::joinedCells(int track, int32_t bar) const {
    QString text;
    text.reserve(2 * stepsPerBar());
    for (int s = 0; s <= BarLastStep; ++s) text += EditorMarkGrid(track, position(bar, s));
    return text;
}

QString Song::shownTrackText(int track, int32_t bar) const {
    QString cells;
    cells.reserve(2 * stepsPerBar());
    bool written = false;
    for (int s = 0; s <= BarLastStep; ++s) {
        const QString& cell = EditorMarkGrid(track, position(bar, s));
        // A half cell (the end of a short line read from a file) keeps the
        // cells after it in their places.
        cells += cell.isEmpty() ? kHold : cell.leftJustified(2, u'-');
        written = written || (!cell.isEmpty() && cell != kHold);
    }
    const QString& text = EditorTextGrid(track, bar);
    if (text.isEmpty() && !written) return QString();
    return cells;
}

Song& song() {
    static Song* instance = new Song;
    return *instance;
}

}  // namespace editor
