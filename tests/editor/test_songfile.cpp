// Editor song files: what is written, what is read back, and files that are
// refused without touching the song.
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
QStringList barLines(const QString& header, int steps, const QString& melody = QString(),
                     const QString& drums = QString()) {
    QStringList l{header};
    for (int t = 0; t < 7; ++t) l << (t == 0 && !melody.isEmpty() ? melody : QString(2 * steps, u'-'));
    for (int t = 0; t < 5; ++t) l << (t == 0 && !drums.isEmpty() ? drums : QString(steps, u'-'));
    return l;
}

// A song with notes, chords, rests, stops, drums and settings on some bars.
std::unique_ptr<Song> richSong() {
    auto song = std::make_unique<Song>();
    song->setBarCount(3);
    song->commitTrackText(0, 0, "KCKDKEGMGMXZ");
    song->commitTrackText(1, 1, "ccdmemffgmamTZ");
    song->commitTrackText(6, 3, "MGLC");
    song->setDrumHit(7, 0, 0, true);
    song->setDrumHit(9, 2, 15, true);
    song->setDrumHit(11, 3, 4, true);
    BarSettings s;
    s.program = {1, 51, 78, kSilentProgram, 4, 4, 4, 1, 3, 4, 41, 17};
    s.volume.fill(70);
    s.volume[5] = 127;
    s.depth = -3;
    s.crescendo = true;
    s.key = 7;
    s.tempo = 200;
    storeBarSettings(*song, 0, s);
    s.tempo = 60;
    storeBarSettings(*song, 2, s);
    return song;
}

}  // namespace

TEST(SongFile, AnEmptyOneBarSongIsThirteenLines) {
    ScratchFolder dir;
    auto song = std::make_unique<Song>();
    prepareSongForSave(*song);
    ASSERT_TRUE(writeSongFile(*song, dir.file("a.lnk")).ok);
    const QByteArray bytes = dir.read("a.lnk");
    EXPECT_EQ(bytes.size(), 334);
    EXPECT_EQ(bytes, crlf(barLines("0000", 16)));

    auto reopened = std::make_unique<Song>();
    const SongFileResult r = openSongFile(*reopened, dir.file("a.lnk"));
    ASSERT_TRUE(r.ok) << r.message.toStdString();
    EXPECT_EQ(r.meterIndex, 0);
    EXPECT_EQ(r.bar0Settings, "");
    EXPECT_EQ(reopened->EditorBarCount, 0);
    EXPECT_EQ(reopened->EditorMarkGrid(3, 15), "--");
    EXPECT_EQ(reopened->EditorMarkGrid(9, 15), "-");
}

TEST(SongFile, SaveOpenSaveGivesTheSameBytes) {
    ScratchFolder dir;
    auto song = richSong();
    prepareSongForSave(*song);
    ASSERT_TRUE(writeSongFile(*song, dir.file("song.lnk")).ok);
    const QByteArray first = dir.read("song.lnk");
    const QStringList lines = plat::splitLines(plat::fromGbk(first));
    ASSERT_EQ(lines.size(), 4 * 13);
    EXPECT_EQ(lines[0].size(), 60);
    EXPECT_EQ(lines[13], "0001");   // a bar without settings: its number
    EXPECT_EQ(lines[15], "CCDMEMFFGMAMTZ" + QString(18, u'-'));
    EXPECT_EQ(lines[8], "O" + QString(15, u'-'));

    auto reopened = std::make_unique<Song>();
    reopened->setBarLastStep(31);
    const SongFileResult opened = openSongFile(*reopened, dir.file("song.lnk"));
    ASSERT_TRUE(opened.ok);
    EXPECT_EQ(opened.bar0Settings, song->settingsLine(0));
    EXPECT_EQ(reopened->BarLastStep, 15);
    EXPECT_EQ(reopened->EditorBarCount, 3);
    EXPECT_EQ(reopened->EditorPitchGrid(1, 21), 70);
    EXPECT_EQ(reopened->EditorMarkGrid(1, 22), "TZ");
    EXPECT_EQ(reopened->EditorPitchGrid(6, 49), 0);
    EXPECT_EQ(reopened->EditorMarkGrid(9, 47), "O");
    EXPECT_EQ(reopened->settingsLine(2), song->settingsLine(2));

    prepareSongForSave(*reopened);
    ASSERT_TRUE(writeSongFile(*reopened, dir.file("again.lnk")).ok);
    EXPECT_EQ(dir.read("again.lnk"), first);
}

TEST(SongFile, SavingNormalisesCellsAndNumbersBarsWithoutSettings) {
    auto song = std::make_unique<Song>();
    song->setBarLastStep(23);
    song->setBarCount(2);
    song->EditorMarkGrid(8, 24) = "--";    // a percussion cell "--" is a "-"
    song->EditorMarkGrid(0, 25) = " K";    // sorts before "1": a hold
    song->EditorMarkGrid(0, 26) = "1A";    // does not
    song->BarHeaderTexts(1) = "7";
    song->EditorMarkGrid(3, 47) = "~";     // the end of a short line: padded
    prepareSongForSave(*song);
    EXPECT_EQ(song->EditorMarkGrid(3, 47), "~-");
    EXPECT_EQ(song->EditorTextGrid(3, 1).size(), 48);
    EXPECT_EQ(song->EditorMarkGrid(8, 24), "-");
    EXPECT_EQ(song->EditorMarkGrid(0, 25), "--");
    EXPECT_EQ(song->EditorTextGrid(0, 1).mid(0, 6), "----1A");
    EXPECT_EQ(song->EditorTextGrid(8, 1).size(), 24);
    EXPECT_EQ(song->BarHeaderTexts(0), "0000");
    EXPECT_EQ(song->BarHeaderTexts(1), "0001");
    EXPECT_EQ(song->BarHeaderTexts(2), "0002");
}

TEST(SongFile, TheFileChoosesTheMeterAndTheBarCount) {
    ScratchFolder dir;
    auto song = std::make_unique<Song>();
    // A 3/4 file whose lines end in LF only and CR only.
    QByteArray bytes = crlf(barLines("0000", 24, "HC" + QString(46, u'-')));
    bytes.replace("\r\n", "\n");
    dir.write("three.lnk", bytes);
    SongFileResult r = openSongFile(*song, dir.file("three.lnk"));
    ASSERT_TRUE(r.ok);
    EXPECT_EQ(r.meterIndex, 1);
    EXPECT_EQ(r.barLastStep, 23);
    EXPECT_EQ(song->BarLastStep, 23);
    EXPECT_EQ(song->EditorPitchGrid(0, 0), 36);

    bytes.replace('\n', '\r');
    ASSERT_TRUE(openSongData(*song, bytes).ok);
    EXPECT_EQ(song->EditorBarCount, 0);

    // 26 lines: two bars; 27: a third bar whose missing lines are empty.
    QStringList two = barLines("0000", 32) + barLines("0001", 32, "WC");
    ASSERT_TRUE(openSongData(*song, crlf(two)).ok);
    EXPECT_EQ(song->EditorBarCount, 1);
    EXPECT_EQ(song->BarLastStep, 31);
    EXPECT_EQ(song->EditorMarkGrid(0, 32), "WC");
    EXPECT_EQ(song->EditorMarkGrid(0, 33), "--");
    EXPECT_EQ(song->EditorPitchGrid(0, 33), 255);
    two << "0002";
    ASSERT_TRUE(openSongData(*song, crlf(two)).ok);
    EXPECT_EQ(song->EditorBarCount, 2);
    EXPECT_EQ(song->EditorTextGrid(11, 2), "");
    EXPECT_EQ(song->EditorMarkGrid(0, 64), "--");
    EXPECT_EQ(song->EditorMarkGrid(7, 64), "");
}

TEST(SongFile, OpeningReplacesTheWholeEarlierSong) {
    auto song = std::make_unique<Song>();
    song->setBarCount(20);
    song->setDrumHit(7, 20, 3, true);
    song->commitTrackText(5, 19, "KC");
    storeBarSettings(*song, 19, BarSettings{});
    midi::G.RhythmPattern(0, 323).Enabled = midi::True;
    ASSERT_TRUE(openSongData(*song, crlf(barLines("0000", 16))).ok);
    EXPECT_EQ(song->EditorMarkGrid(7, 323), "");
    EXPECT_EQ(song->EditorMarkGrid(5, 304), "");
    EXPECT_EQ(song->BarHeaderTexts(19), "");
    EXPECT_EQ(midi::G.RhythmPattern(0, 323).Enabled, midi::False);
}

TEST(SongFile, RefusedFilesChangeNothing) {
    ScratchFolder dir;
    auto song = richSong();
    midi::G.RhythmPattern(2, 40).Enabled = midi::True;
    const Song before = *song;

    const auto refused = [&](const QByteArray& bytes) {
        const SongFileResult r = openSongData(*song, bytes);
        EXPECT_FALSE(r.ok);
        EXPECT_FALSE(r.message.isEmpty());
        EXPECT_EQ(*song, before);
        EXPECT_EQ(midi::G.RhythmPattern(2, 40).Enabled, midi::True);
    };
    refused(QByteArray());
    refused("0000\r\n");
    refused(crlf(barLines("0000", 20)));
    refused(crlf(barLines("0000", 15) + barLines("0001", 16)));
    QStringList tooMany;
    for (int b = 0; b < 313; ++b) tooMany += barLines("0000", 32);
    refused(crlf(tooMany));
    // The same count of 16-step bars fits.
    QStringList many;
    for (int b = 0; b < 625; ++b) many += barLines("0000", 16);
    many << "0625";
    refused(crlf(many));

    const SongFileResult missing = openSongFile(*song, dir.file("none.lnk"));
    EXPECT_FALSE(missing.ok);
    EXPECT_TRUE(missing.message.contains("none.lnk"));
    EXPECT_EQ(*song, before);

    many.removeLast();
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

    const SongFileResult r = writeSongFile(*song, dir.file("missing folder/x.lnk"));
    EXPECT_FALSE(r.ok);
    EXPECT_TRUE(r.message.startsWith("保存编辑文件失败"));
}

TEST(SongFile, NonAsciiTextSurvivesTheRoundTrip) {
    ScratchFolder dir;
    QStringList lines = barLines("第一小节的设置", 16);
    lines[1] = "中文" + QString(30, u'-');
    dir.write("gbk.lnk", crlf(lines));
    auto song = std::make_unique<Song>();
    ASSERT_TRUE(openSongFile(*song, dir.file("gbk.lnk")).ok);
    EXPECT_EQ(song->BarHeaderTexts(0), "第一小节的设置");
    EXPECT_EQ(song->EditorMarkGrid(0, 0), "中文");
    prepareSongForSave(*song);
    ASSERT_TRUE(writeSongFile(*song, dir.file("out.lnk")).ok);
    EXPECT_EQ(dir.read("out.lnk"), dir.read("gbk.lnk"));
}
