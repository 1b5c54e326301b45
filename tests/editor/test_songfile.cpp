// Editor song files and the bar settings line they carry: the bytes written,
// what is read back, and files that are refused without touching the song.
#include "editor/barsettings.h"
#include "editor/songfile.h"
#include "editor/songmodel.h"
#include "midi/state.h"
#include "platform/textcodec.h"
#include "support/testsupport.h"

#include <QDir>
#include <QFile>
#include <gtest/gtest.h>

#include <memory>

using namespace editor;
using testing_support::ScratchFolder;

namespace {

QByteArray crlf(const QStringList& lines) {
    QByteArray out;
    for (const QString& l : lines) out += plat::toGbk(l) + "\r\n";
    return out;
}

// A bar's 13 lines: header, seven melodic texts, five percussion texts.
QStringList barLines(const QString& header, int steps, const QString& melody = QString()) {
    QStringList l{header};
    for (int t = 0; t < 12; ++t) l << (t == 0 && !melody.isEmpty() ? melody : QString((t < 7 ? 2 : 1) * steps, u'-'));
    return l;
}

const char* const kExampleLine = "0003014633464E4652460446044604460146034604462946114620000050";

BarSettings exampleSettings() {
    BarSettings s;
    s.bar = 3;
    s.program = {1, 51, 78, 82, 4, 4, 4, 1, 3, 4, 41, 17};
    s.volume.fill(70);
    return s;
}

// A song with notes, chords, rests, stops, drums and settings on some bars.
std::unique_ptr<Song> richSong() {
    auto song = std::make_unique<Song>();
    song->setBarCount(3);
    song->commitTrackText(0, 0, "KCKDKEGMGMXZ");
    song->commitTrackText(1, 1, "ccdmemffgmamTZ");
    song->setDrumHit(7, 0, 0, true);
    song->setDrumHit(11, 3, 4, true);
    BarSettings s = exampleSettings();
    s.program[3] = kSilentProgram;
    s.key = 7;
    s.tempo = 200;
    storeBarSettings(*song, 0, s);
    return song;
}

}  // namespace

TEST(SongFile, SaveOpenSaveGivesTheSameBytes) {
    ScratchFolder dir;
    auto song = richSong();
    prepareSongForSave(*song);
    ASSERT_TRUE(writeSongFile(*song, dir.file("song.lnk")).ok);
    const QByteArray first = dir.read("song.lnk");
    QStringList lines = barLines(song->settingsLine(0), 16, "KCKDKEGMGMXZ" + QString(20, u'-'));
    lines[8] = "O" + QString(15, u'-');
    lines += barLines("0001", 16);
    lines[15] = "CCDMEMFFGMAMTZ" + QString(18, u'-');
    lines += barLines("0002", 16) + barLines("0003", 16);
    lines[51] = "----O" + QString(11, u'-');
    EXPECT_EQ(first.toStdString(), crlf(lines).toStdString());

    auto reopened = std::make_unique<Song>();
    reopened->setBarLastStep(31);
    reopened->setDrumHit(9, 5, 3, true);   // the earlier song goes whole
    const SongFileResult opened = openSongFile(*reopened, dir.file("song.lnk"));
    ASSERT_TRUE(opened.ok);
    EXPECT_EQ(opened.bar0Settings, song->settingsLine(0));
    EXPECT_EQ(reopened->BarLastStep, 15);
    EXPECT_EQ(reopened->EditorPitchGrid(1, 21), 70);
    EXPECT_EQ(reopened->EditorMarkGrid(9, 163), "");
    prepareSongForSave(*reopened);
    EXPECT_EQ(songFileBytes(*reopened), first);
}

TEST(SongFile, TheFileChoosesTheMeterAndTheBarCount) {
    auto song = std::make_unique<Song>();
    // A 3/4 file whose lines end in LF only.
    QByteArray bytes = crlf(barLines("0000", 24, "HC" + QString(46, u'-')));
    bytes.replace("\r\n", "\n");
    SongFileResult r = openSongData(*song, bytes);
    ASSERT_TRUE(r.ok);
    EXPECT_EQ(r.meterIndex, 1);
    EXPECT_EQ(song->BarLastStep, 23);
    EXPECT_EQ(song->EditorPitchGrid(0, 0), 36);
    // 26 lines: two bars; 27: a third bar whose missing lines are empty.
    QStringList two = barLines("0000", 32) + barLines("0001", 32, "WC");
    two << "0002";
    ASSERT_TRUE(openSongData(*song, crlf(two)).ok);
    EXPECT_EQ(song->EditorBarCount, 2);
    EXPECT_EQ(song->BarLastStep, 31);
    EXPECT_EQ(song->EditorMarkGrid(0, 32), "WC");
    EXPECT_EQ(song->EditorMarkGrid(0, 64), "--");
}

TEST(SongFile, RefusedFilesChangeNothing) {
    ScratchFolder dir;
    auto song = richSong();
    midi::G.RhythmPattern(2, 40).Enabled = midi::True;
    const Song before = *song;
    QStringList tooMany, many;
    for (int b = 0; b < 313; ++b) tooMany += barLines("0000", 32);
    for (int b = 0; b < 626; ++b) many += barLines("0000", 16);
    for (const QByteArray& bytes : {QByteArray(), QByteArray("0000\r\n"), crlf(barLines("0000", 20)),
                                    crlf(barLines("0000", 15) + barLines("0001", 16)), crlf(tooMany), crlf(many)}) {
        const SongFileResult r = openSongData(*song, bytes);
        EXPECT_FALSE(r.ok);
        EXPECT_FALSE(r.message.isEmpty());
    }
    EXPECT_TRUE(openSongFile(*song, dir.file("none.lnk")).message.contains("none.lnk"));
    QFile big(dir.file("big.lnk"));   // 16 MB and one byte, sparse
    ASSERT_TRUE(big.open(QIODevice::WriteOnly) && big.resize(16 * 1024 * 1024 + 1));
    big.close();
    EXPECT_FALSE(openSongFile(*song, dir.file("big.lnk")).message.isEmpty());
    EXPECT_EQ(*song, before);
    EXPECT_EQ(midi::G.RhythmPattern(2, 40).Enabled, midi::True);
    many.erase(many.end() - 13, many.end());
    ASSERT_TRUE(openSongData(*song, crlf(many)).ok);
    EXPECT_EQ(song->EditorBarCount, 624);
}

TEST(SongFile, SavingReplacesAFileOfTheSameNameInAnyCaseAndReportsFailure) {
    ScratchFolder dir;
    dir.write("Song.LNK", "old");
    auto song = richSong();
    prepareSongForSave(*song);
    ASSERT_TRUE(writeSongFile(*song, dir.file("song.lnk")).ok);
    EXPECT_EQ(QDir(dir.path()).entryList({"*"}, QDir::Files), QStringList{"Song.LNK"});
    EXPECT_EQ(dir.read("Song.LNK"), songFileBytes(*song));
    EXPECT_TRUE(writeSongFile(*song, dir.file("missing folder/x.lnk")).message.startsWith("保存编辑文件失败"));
}

TEST(BarSettingsLine, EncodesItsFieldsAndReadsOnlyThoseInRange) {
    EXPECT_EQ(encodeBarSettingsLine(exampleSettings()), QString(kExampleLine));
    BarSettings s = exampleSettings();
    s.tempo = 255;
    s.depth = -20;
    s.key = -1;
    s.vibrato = true;
    s.program[1] = kSilentProgram;
    s.program[11] = 46;
    s.volume[2] = 127;
    const QString line = *encodeBarSettingsLine(s);
    EXPECT_EQ(line.toStdString(), "00030146FF464E7F524604460446044601460346044629462E460010-1FF");
    const auto back = completeSettings(decodeBarSettingsLine(line));
    ASSERT_TRUE(back);
    EXPECT_EQ(encodeBarSettingsLine(*back), line);
    for (auto change : {+[](BarSettings& b) { b.tempo = 256; }, +[](BarSettings& b) { b.tempo = 49; },
                        +[](BarSettings& b) { b.program[0] = 128; }, +[](BarSettings& b) { b.program[7] = 47; },
                        +[](BarSettings& b) { b.volume[5] = 128; }, +[](BarSettings& b) { b.key = 12; },
                        +[](BarSettings& b) { b.depth = 21; }}) {
        BarSettings bad = exampleSettings();
        change(bad);
        EXPECT_FALSE(encodeBarSettingsLine(bad));
    }
    // A stored line read by position: what lands out of range is left out.
    QString stored = kExampleLine;
    stored.replace(4, 4, "C89A");    // melodic program 200: silent; volume 154: the loudest
    stored.replace(10, 2, "7f");     // lower-case hexadecimal
    stored.replace(12, 2, "80");     // melodic program 128: silent
    stored.replace(32, 4, "2FG0");   // percussion position 47; not hexadecimal
    stored.replace(52, 8, "41201200");   // depth 21, a greyed box, key 12, tempo 0
    const BarSettingsFields f = decodeBarSettingsLine(stored);
    EXPECT_EQ(f.program[0], kSilentProgram);
    EXPECT_EQ(f.volume[0], 127);
    EXPECT_FALSE(f.program[7] || f.volume[7] || f.depth || f.vibrato || f.key || f.tempo);
    EXPECT_EQ(f.program[8], 3);
    EXPECT_EQ(f.volume[1], 127);
    EXPECT_EQ(f.program[2], kSilentProgram);
    EXPECT_EQ(f.crescendo, false);
    EXPECT_FALSE(decodeBarSettingsLine(QString(kExampleLine).left(12)).program[2]);
}

// Text GBK cannot hold keeps its width: one '?' for each UTF-16 unit the box
// counts, so a note box holding an emoji saves a line the editor opens again.
TEST(TextWidths, EachUnitGbkCannotHoldIsOneQuestionMark) {
    const QString emoji = QString::fromUtf8("😀");
    const struct {
        QString text;
        QByteArray gbk;
    } cases[] = {
        {QStringLiteral("KC") + emoji + QStringLiteral("KD"), "KC??KD"},
        {QString::fromUtf8("中") + emoji, plat::utf8ToGbk("中").c_str() + QByteArray("??")},
        {QStringLiteral("K") + QChar(0xD83D), "K?"},  // half of a pair
        {QChar(0xDE00) + QStringLiteral("C"), "?C"},
    };
    for (const auto& c : cases) EXPECT_EQ(plat::toGbk(c.text), c.gbk);

    editor::Song song;
    song.commitTrackText(0, 0, QStringLiteral("KC") + emoji + QStringLiteral("KD"));
    editor::prepareSongForSave(song);
    editor::Song again;
    const editor::SongFileResult opened = editor::openSongData(again, editor::songFileBytes(song));
    ASSERT_TRUE(opened.ok) << opened.message.toStdString();
    EXPECT_EQ(again.EditorTextGrid(0, 0), QStringLiteral("KC??KD") + QString(26, u'-'));
}
