// Invariants of the rhythm grid that the rhythm fuzz targets check after a
// pattern file was loaded or refused.
#pragma once

#include "fuzzsupport.h"

#include "midi/state.h"

#include <QDir>
#include <QStringList>

#include <vector>

namespace fuzzing {

inline const QString kRefused = QStringLiteral("打开节奏文件出错，请检查！");

struct Grid {
    int volume = 0;
    std::vector<bool> meter;
    std::vector<int> sounds;
    std::vector<int> boxes;
    std::vector<bool> visible;
    int lastStep = 0;
    std::vector<int> pattern;
    bool operator==(const Grid&) const = default;
};

inline Grid snapshot(MainWindow& f) {
    Grid g;
    g.volume = f.VsbVol->listIndex();
    for (auto* o : f.Option1) g.meter.push_back(o->value());
    for (auto* l : f.LblInst) g.sounds.push_back(l->listIndex());
    for (auto* row : {&f.BZA, &f.BZB, &f.BZC}) {
        for (auto* box : *row) {
            g.boxes.push_back(box->value());
            g.visible.push_back(!box->isHidden());
        }
    }
    g.lastStep = midi::G.RhythmLastStep;
    for (int r = 0; r <= 5; ++r) {
        for (int s = 0; s <= 16; ++s) {
            const midi::RhythmHit& h = midi::G.RhythmPattern(r, s);
            g.pattern.insert(g.pattern.end(), {h.Enabled, h.DrumNote, h.Volume, h.Message});
        }
    }
    return g;
}

inline void checkConsistent(MainWindow& f, const QString& text) {
    int selected = 0;
    for (auto* o : f.Option1) selected += o->value() ? 1 : 0;
    FUZZ_CHECK(selected == 1);
    FUZZ_CHECK(midi::G.RhythmLastStep == (f.Option1[1]->value() ? 11 : 15));
    for (int c = 12; c <= 15; ++c) FUZZ_CHECK(f.BZA[c]->isHidden() == (midi::G.RhythmLastStep != 15));
    FUZZ_CHECK(f.VsbVol->listIndex() >= 0);
    // The marks of the file, column by column.
    FUZZ_CHECK(text.size() >= 62);
    for (int i = 0; i < 49; ++i) {
        const std::vector<ui::CheckBox*>& row = i < 16 ? f.BZA : i < 32 ? f.BZB : f.BZC;
        const int column = i < 16 ? i : i < 32 ? i - 16 : i - 32;
        FUZZ_CHECK(row[column]->value() == (text.at(12 + i) == u'*' ? 1 : 0));
    }
    const int16_t velocity = midi::G.RhythmPattern(0, 0).Volume;
    FUZZ_CHECK(velocity >= 0 && velocity <= 127);
    for (int r = 0; r <= 2; ++r) {
        const int sound = f.LblInst[r]->listIndex();
        FUZZ_CHECK(sound >= 0 && sound < f.LblInst[r]->listCount());
        const std::vector<ui::CheckBox*>& row = f.StepRow(r);
        for (int s = 0; s <= midi::G.RhythmLastStep; ++s) {
            const midi::RhythmHit& h = midi::G.RhythmPattern(r, s);
            FUZZ_CHECK(h.Enabled == (row[s]->value() == 1 ? midi::True : midi::False));
            FUZZ_CHECK(h.Volume == velocity);
            FUZZ_CHECK(h.DrumNote == sound + 35);
            FUZZ_CHECK(h.Message == MainWindow::RhythmHitMessage(static_cast<int16_t>(sound + 35), velocity));
        }
    }
    for (int r = 3; r <= 4; ++r)
        for (int s = 0; s <= midi::G.RhythmLastStep; ++s) FUZZ_CHECK(midi::G.RhythmPattern(r, s).Enabled == midi::False);
}

inline QString recordFolder(Program& p) { return p.folder.file(QStringLiteral("演奏记录")); }

inline void clearRecordFolder(Program& p) {
    QDir dir(recordFolder(p));
    for (const QString& name : dir.entryList(QDir::Files)) dir.remove(name);
}

}  // namespace fuzzing
