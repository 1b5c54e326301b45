// Score import: tokens, lengths, the end of the score and of the tables.
#include "editor/scoreimport.h"
#include "editor/songmodel.h"
#include "platform/textcodec.h"
#include "support/testsupport.h"

#include <gtest/gtest.h>

#include <memory>

using namespace editor;

namespace {

struct Imported {
    std::unique_ptr<Song> song = std::make_unique<Song>();
    int32_t length = 0;   // the carried note length
    ScoreImportResult result;

    explicit Imported(const QString& score, i16 lastStep = 15, int32_t carried = 0) : length(carried) {
        song->setBarLastStep(lastStep);
        result = importScoreText(*song, score, length);
    }
    QString cell(int p) const { return song->EditorMarkGrid(0, p); }
};

}  // namespace

TEST(ScoreImport, TokensLengthsHoldsAndStops) {
    struct Case {
        const char* score;
        int position;
        const char* cell;
        int endStep;
    };
    const Case cases[] = {
        {"KC4KD", 2, "KD", 4},         // "KD" keeps the length 4: two steps
        {"VS5KC", 0, "KC", 2},         // the command's digit becomes the length
        {"KC1KD2", 0, "KD", 1},        // lengths 0 and 1 do not advance
        {"XZ16KC4", 8, "KC", 10},      // two digits
        {"XZ20KC4", 10, "KC", 12},
        {"LC8MA8", 4, "MA", 8},
        {"KC8GM8KD8", 4, "KD", 8},     // "GM" wrote "--" at 4, then "KD" replaced it
        {"kc8", 0, "--", 0},
        {"KC8TZ8KD8KE8", 4, "TZ", 8},  // a stop ends the import
        {"KC8TZ8KD8KE8", 8, "--", 8},
        {"KC8VS", 4, "--", 4},
        {"KC8ab", 4, "--", 4},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.score);
        Imported i(c.score);
        ASSERT_TRUE(i.result.ok);
        EXPECT_EQ(i.cell(c.position), c.cell);
        EXPECT_EQ(i.result.endStep, c.endStep);
    }

    Imported a("KC8KD8KE8");
    EXPECT_EQ(a.song->EditorTextGrid(0, 0),
              "KC" + QString(6, u'-') + "KD" + QString(6, u'-') + "KE" + QString(14, u'-'));
    EXPECT_EQ(a.song->EditorTextGrid(1, 0), a.song->EditorTextGrid(0, 0));
    EXPECT_EQ(a.song->EditorPitchGrid(1, 4), 26);
}

TEST(ScoreImport, LongScoresMakeBarsUpToTheLastTheTablesHold) {
    // 100,000 tokens: no deep call chain, and the tables end the import.
    const QString huge = QString("HC8WB8").repeated(50000);
    Imported big(huge);
    EXPECT_EQ(big.song->EditorBarCount, 624);
    EXPECT_EQ(big.cell(9992), "HC");
    EXPECT_EQ(big.cell(9996), "WB");
    EXPECT_EQ(big.result.endStep, 10000);
    EXPECT_EQ(Imported(huge, 31).song->EditorBarCount, 311);

    Imported still(QString("KC0").repeated(100000));   // never advances
    EXPECT_EQ(still.song->EditorBarCount, 0);
    EXPECT_EQ(still.cell(0), "KC");
}

TEST(ScoreImport, TheLengthCarriesOverAndTheImportReplacesTheSong) {
    Imported first("KC6", 15, 0);
    EXPECT_EQ(first.length, 6);
    Imported next("KCKD", 23, first.length);
    EXPECT_EQ(next.cell(3), "KD");
    EXPECT_EQ(next.song->EditorTextGrid(0, 0).size(), 48);

    auto song = std::make_unique<Song>();
    song->setBarCount(5);
    song->setDrumHit(8, 5, 0, true);
    song->commitTrackText(3, 0, "KCKC");
    song->BarHeaderTexts(0) = QString(60, u'0');
    int32_t length = 8;
    ASSERT_TRUE(importScoreText(*song, "HC", length).ok);
    EXPECT_EQ(song->EditorBarCount, 0);
    EXPECT_EQ(song->EditorMarkGrid(8, 80), "");
    EXPECT_EQ(song->EditorTextGrid(3, 0), "");
    EXPECT_FALSE(song->hasSettings(0));
}

TEST(ScoreImport, AFileIsReadAsOneTextAndAFailedReadChangesNothing) {
    testing_support::ScratchFolder dir;
    dir.write("take.txt", plat::toGbk("KC8KD\r\n8KE8\r\n"));
    auto song = std::make_unique<Song>();
    song->commitTrackText(4, 0, "WC");
    const Song before = *song;
    int32_t length = 0;
    const ScoreImportResult missing = importScoreFile(*song, dir.file("none.txt"), length);
    EXPECT_FALSE(missing.ok);
    EXPECT_FALSE(missing.message.isEmpty());
    EXPECT_EQ(*song, before);

    const ScoreImportResult r = importScoreFile(*song, dir.file("TAKE.TXT"), length);
    ASSERT_TRUE(r.ok);
    EXPECT_EQ(r.scoreText, "KC8KD8KE8");
    EXPECT_EQ(r.endStep, 12);
    EXPECT_EQ(song->EditorMarkGrid(0, 8), "KE");
}
