// The song tables and their editing operations, cell pitch codes and the bar
// settings line.
#include "editor/barsettings.h"
#include "editor/pitchcode.h"
#include "editor/songmodel.h"
#include "midi/state.h"

#include <gtest/gtest.h>

#include <memory>

using namespace editor;

namespace {

std::unique_ptr<Song> freshSong(i16 lastStep = 15) {
    auto song = std::make_unique<Song>();
    song->setBarLastStep(lastStep);
    return song;
}

}  // namespace

TEST(SongModel, PositionsAndTheBarCountFollowTheMeterAndStayInsideTheTables) {
    auto song = freshSong();
    EXPECT_EQ(song->position(3, 5), 53);
    EXPECT_EQ(song->position(624, 15), 9999);
    ASSERT_TRUE(song->setBarCount(624));
    song->setBarLastStep(23);
    EXPECT_EQ(song->position(3, 5), 77);
    EXPECT_EQ(song->lastBarLimit(), 415);
    EXPECT_EQ(song->EditorBarCount, 415);   // a meter change clamps the count
    song->setBarLastStep(31);
    EXPECT_EQ(song->position(3, 5), 101);
    EXPECT_EQ(song->EditorBarCount, 311);
    EXPECT_LE(song->songEndStep(), 9999);
    EXPECT_THROW(song->position(312, 16), rt::RuntimeError);
    EXPECT_THROW(song->position(0, 32), rt::RuntimeError);
    EXPECT_FALSE(song->setBarLastStep(16));
    EXPECT_EQ(song->BarLastStep, 31);

    EXPECT_TRUE(song->setBarCount(12));
    EXPECT_EQ(song->songEndStep(), 415);
    EXPECT_FALSE(song->setBarCount(312));
    EXPECT_FALSE(song->setBarCount(-1));
    EXPECT_EQ(song->EditorBarCount, 12);
}

TEST(SongModel, ClearingEmptiesEveryBarTrackAndPositionWhateverTheMeter) {
    auto song = freshSong(31);
    song->setBarCount(4);
    song->setDrumHit(7, 4, 31, true);          // position 159
    song->commitTrackText(0, 1, "KCKD");
    song->BarHeaderTexts(3) = "0003";
    song->BarKeyTexts(3) = "05";
    song->BarEffectFlags(700) = "11";
    midi::G.RhythmPattern(0, 159).Enabled = midi::True;
    midi::G.RhythmPattern(4, 9999).Enabled = midi::True;
    midi::G.RhythmPattern(4, 9999).DrumNote = 52;
    // Back to 2/4 with one bar: cells far beyond the count must go as well.
    song->setBarLastStep(15);
    song->setBarCount(0);
    song->QKYP();
    EXPECT_EQ(*song, Song());
    EXPECT_EQ(midi::G.RhythmPattern(0, 159).Enabled, midi::False);
    EXPECT_EQ(midi::G.RhythmPattern(4, 9999).Enabled, midi::False);
    EXPECT_EQ(midi::G.RhythmPattern(4, 9999).DrumNote, 52);
}

TEST(SongModel, CommittingANoteBoxUpperCasesPadsAndConverts) {
    auto song = freshSong();
    const QString stored = song->commitTrackText(2, 1, "kcwd");
    EXPECT_EQ(stored, "KCWD" + QString(28, u'-'));
    EXPECT_EQ(song->EditorTextGrid(2, 1), stored);
    EXPECT_EQ(song->EditorMarkGrid(2, 16), "KC");
    EXPECT_EQ(song->EditorPitchGrid(2, 16), 24);
    EXPECT_EQ(song->EditorMarkGrid(2, 17), "WD");
    EXPECT_EQ(song->EditorPitchGrid(2, 17), 14);
    EXPECT_EQ(song->EditorMarkGrid(2, 31), "--");
    EXPECT_EQ(song->EditorPitchGrid(2, 31), 255);
    // An odd entry leaves a half cell; a long one is kept whole, split only
    // as far as the bar goes.
    song->commitTrackText(0, 0, "KCK");
    EXPECT_EQ(song->EditorMarkGrid(0, 1), "K-");
    EXPECT_EQ(song->EditorPitchGrid(0, 1), 255);
    const QString longText = QString("GM").repeated(20);
    EXPECT_EQ(song->commitTrackText(0, 0, longText), longText);
    EXPECT_EQ(song->EditorPitchGrid(0, 15), 69);
    EXPECT_EQ(song->EditorMarkGrid(0, 16), "");
    EXPECT_THROW(song->commitTrackText(7, 0, "O"), rt::RuntimeError);
}

TEST(SongModel, DrumHitsFillTheRowAndRebuildItsText) {
    auto song = freshSong(23);
    song->setDrumHit(10, 0, 5, true);
    EXPECT_EQ(song->EditorTextGrid(10, 0), QString(5, u'-') + "O" + QString(18, u'-'));
    song->EditorMarkGrid(10, 7) = "x";   // a foreign cell of another step stays
    song->setDrumHit(10, 0, 6, true);
    song->setDrumHit(10, 0, 5, false);
    EXPECT_EQ(song->EditorTextGrid(10, 0).mid(4, 5), "--Ox-");
}

TEST(SongModel, InsertingMovesToAFreshBarAndStopsAtTheLimit) {
    auto song = freshSong();
    song->setDrumHit(8, 0, 3, true);
    EXPECT_EQ(song->insertBar(0), 1);
    EXPECT_EQ(song->EditorBarCount, 2);
    EXPECT_EQ(song->songEndStep(), 47);
    EXPECT_EQ(song->EditorMarkGrid(8, 3), "O");   // the bar left keeps its hits

    // Inserting onto a bar that holds a song's cells empties them.
    song->setBarCount(9);
    song->commitTrackText(4, 4, "HCHDHE");
    song->setDrumHit(11, 4, 2, true);
    EXPECT_EQ(song->insertBar(3), 4);
    EXPECT_EQ(song->EditorBarCount, 9);
    EXPECT_EQ(song->EditorMarkGrid(4, 64), "--");
    EXPECT_EQ(song->EditorPitchGrid(4, 64), 255);
    EXPECT_EQ(song->EditorMarkGrid(11, 66), "-");
    EXPECT_EQ(song->EditorTextGrid(4, 4), "");

    song->setBarCount(623);
    EXPECT_EQ(song->insertBar(623), 624);
    EXPECT_EQ(song->EditorBarCount, 624);
    const Song before = *song;
    EXPECT_EQ(song->insertBar(624), -1);
    EXPECT_EQ(*song, before);
}

TEST(SongModel, ClearingABarLeavesHoldsAndEmptyDrumCells) {
    auto song = freshSong();
    song->commitTrackText(0, 1, "KCKDKE");
    song->setDrumHit(7, 1, 0, true);
    song->BarHeaderTexts(1) = "0001";
    song->clearBar(1);
    for (int s = 0; s < 16; ++s) {
        EXPECT_EQ(song->EditorMarkGrid(0, 16 + s), "--");
        EXPECT_EQ(song->EditorMarkGrid(7, 16 + s), "-");
    }
    EXPECT_EQ(song->EditorTextGrid(0, 1), "");
    EXPECT_EQ(song->EditorTextGrid(7, 1), "");
    EXPECT_EQ(song->BarHeaderTexts(1), "0001");
}

TEST(PitchCode, CellsConvertByExactMatch) {
    const std::pair<const char*, int> cases[] = {{"LC", 0},   {"WD", 14},  {"MG", 55},  {"MA", 255},
                                                 {"FF", 68},  {"AM", 70},  {"XZ", 254}, {"TZ", 255},
                                                 {"kc", 255}, {"K", 255},  {"KCX", 255}};
    for (auto [cell, code] : cases) EXPECT_EQ(SYYPSB(cell), code) << cell;
}

namespace {

// The worked example: instruments 2, 52, 79, 83, 5, 5, 5, drums 1, 3, 4, 41,
// 17, every volume 70, key C, tempo 80, on bar 3.
BarSettings exampleSettings() {
    BarSettings s;
    s.bar = 3;
    s.program = {1, 51, 78, 82, 4, 4, 4, 1, 3, 4, 41, 17};
    s.volume.fill(70);
    s.tempo = 80;
    return s;
}

const char* const kExampleLine = "0003014633464E4652460446044604460146034604462946114620000050";

}  // namespace

TEST(BarSettingsLine, TheWorkedExampleEncodesAndReadsBack) {
    const auto line = encodeBarSettingsLine(exampleSettings());
    ASSERT_TRUE(line);
    EXPECT_EQ(*line, kExampleLine);
    const auto back = completeSettings(decodeBarSettingsLine(kExampleLine));
    ASSERT_TRUE(back);
    EXPECT_EQ(back->bar, 3);
    EXPECT_EQ(back->program, exampleSettings().program);
    EXPECT_EQ(back->volume, exampleSettings().volume);
    EXPECT_EQ(back->depth, 0);
    EXPECT_FALSE(back->vibrato);
    EXPECT_FALSE(back->crescendo);
    EXPECT_EQ(back->key, 0);
    EXPECT_EQ(back->tempo, 80);
    EXPECT_EQ(editorBeatInterval(back->tempo), 187);
}

TEST(BarSettingsLine, FieldsAtTheirEdges) {
    BarSettings s = exampleSettings();
    s.tempo = 255;
    s.depth = -20;
    s.key = 11;
    s.vibrato = true;
    s.program[0] = 0;
    s.program[1] = kSilentProgram;
    s.program[11] = 46;
    s.volume[2] = 127;
    s.volume[3] = 0;
    const QString line = *encodeBarSettingsLine(s);
    ASSERT_EQ(line.size(), kSettingsLineLength);
    EXPECT_EQ(line.right(2), "FF");
    EXPECT_EQ(editorBeatInterval(255), 58);
    EXPECT_EQ(line.mid(52, 2), "00");
    EXPECT_EQ(line.mid(54, 2), "10");
    EXPECT_EQ(line.mid(56, 2), "11");
    EXPECT_EQ(line.mid(4, 2), "00");
    EXPECT_EQ(line.mid(8, 2), "FF");           // silent track: two characters
    EXPECT_EQ(line.mid(48, 2), "2E");
    EXPECT_EQ(line.mid(14, 2), "7F");
    const auto back = completeSettings(decodeBarSettingsLine(line));
    ASSERT_TRUE(back);
    EXPECT_EQ(back->program[1], kSilentProgram);
    EXPECT_EQ(back->depth, -20);
    EXPECT_EQ(back->key, 11);
    EXPECT_TRUE(back->vibrato);

    s.tempo = 50;
    s.depth = 20;
    s.key = -1;
    const QString line2 = *encodeBarSettingsLine(s);
    EXPECT_EQ(line2.right(2), "32");
    EXPECT_EQ(editorBeatInterval(50), 300);
    EXPECT_EQ(line2.mid(52, 2), "40");
    EXPECT_EQ(line2.mid(56, 2), "-1");
    EXPECT_EQ(decodeBarSettingsLine(line2).key, -1);
}

TEST(BarSettingsLine, OutOfRangeSettingsAreNotEncoded) {
    const auto bad = [](auto change) {
        BarSettings s = exampleSettings();
        change(s);
        return !encodeBarSettingsLine(s).has_value();
    };
    EXPECT_TRUE(bad([](BarSettings& s) { s.tempo = 256; }));
    EXPECT_TRUE(bad([](BarSettings& s) { s.program[0] = 128; }));
    EXPECT_TRUE(bad([](BarSettings& s) { s.program[7] = -1; }));
    EXPECT_TRUE(bad([](BarSettings& s) { s.volume[5] = 128; }));
    EXPECT_TRUE(bad([](BarSettings& s) { s.key = 12; }));
    EXPECT_EQ(clampVolume(90.7), 91);
    EXPECT_EQ(clampVolume(90.5), 90);
    EXPECT_EQ(clampVolume(300), 127);
    EXPECT_EQ(clampVolume(-4), 0);
}

TEST(BarSettingsLine, StoredFieldsOutOfRangeAreLeftOut) {
    // The 66-character line an earlier writer made for a silent track 0
    // ("FFFFFFFF") reads by position: what lands out of range is left out.
    QString line = kExampleLine;
    line.replace(4, 2, "C8");            // melodic program 200: silent
    line.replace(6, 2, "9A");            // volume 154: the loudest
    line.replace(32, 2, "2F");           // percussion position 47
    line.replace(34, 2, "G0");           // not hexadecimal
    line.replace(52, 2, "41");           // depth 21
    line.replace(54, 1, "2");            // greyed box
    line.replace(56, 2, "12");           // key 12
    line.replace(58, 2, "00");           // tempo 0
    const BarSettingsFields f = decodeBarSettingsLine(line);
    EXPECT_EQ(f.program[0], kSilentProgram);
    EXPECT_EQ(f.volume[0], 127);
    EXPECT_FALSE(f.program[7]);
    EXPECT_FALSE(f.volume[7]);
    EXPECT_EQ(f.program[8], 3);
    EXPECT_FALSE(f.depth);
    EXPECT_FALSE(f.vibrato);
    EXPECT_EQ(f.crescendo, false);
    EXPECT_FALSE(f.key);
    EXPECT_FALSE(f.tempo);
    EXPECT_FALSE(completeSettings(f));
    EXPECT_FALSE(decodeBarSettingsLine("0031").tempo);
    // A short line gives the fields it holds.
    const BarSettingsFields shortLine = decodeBarSettingsLine(QString(kExampleLine).left(12));
    EXPECT_EQ(shortLine.program[1], 51);
    EXPECT_FALSE(shortLine.program[2]);
}

TEST(BarSettingsLine, StoringABarKeepsItsLineAndParts) {
    auto song = freshSong();
    BarSettings s = exampleSettings();
    s.bar = 99;   // the bar stored under is what counts
    s.vibrato = true;
    ASSERT_TRUE(storeBarSettings(*song, 3, s));
    EXPECT_EQ(song->BarHeaderTexts(3).left(4), "0003");
    EXPECT_EQ(song->BarEffectFlags(3), "10");
    EXPECT_EQ(song->BarDepthTexts(3), "20");
    EXPECT_EQ(song->BarKeyTexts(3), "00");
    EXPECT_EQ(song->BarTempoTexts(3), "50");
    EXPECT_TRUE(song->hasSettings(3));
    // Past bar 255 (or with a field out of range) nothing is kept.
    const Song before = *song;
    EXPECT_FALSE(storeBarSettings(*song, 256, s));
    s.tempo = 20;
    EXPECT_FALSE(storeBarSettings(*song, 4, s));
    EXPECT_EQ(*song, before);
}
