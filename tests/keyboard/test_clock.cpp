// The live accompaniment clock: note length counting, the idle close of a
// take, the accompaniment with auto-sync, and the drum accents by meter.
#include "form1fixture.h"

#include <algorithm>

using namespace midi;
using testing_support::hexList;

namespace {

class ClockTest : public Form1Test {
protected:
    void key(int code) { form->SFYXYZ_KeyDown(code, 0); }
    void tick(int n = 1) {
        for (int i = 0; i < n; ++i) form->Timer1->tick();
    }
    std::vector<int> accents(int meter, int steps) {
        form->Option1[meter]->setValue(true);
        std::vector<int> out;
        for (int s = 0; s < steps; ++s) {
            G.DrumStep = static_cast<int16_t>(s);
            out.push_back(form->DrumAccent());
        }
        return out;
    }
    // A hit on every step of drum row 0, with the step number as velocity.
    static void patternOnEveryStep() {
        for (int s = 0; s <= 15; ++s) {
            G.RhythmPattern(0, s).Enabled = True;
            G.RhythmPattern(0, s).Message = static_cast<int32_t>(msg(0x99, 36, 10 + s));
        }
    }
};

constexpr int kG = 71, kH = 72;

}  // namespace

TEST_F(ClockTest, DrumAccentsByMeter) {
    EXPECT_EQ(accents(1, 12), (std::vector<int>{127, 100, 55, 100, 55, 100, 127, 100, 55, 100, 55, 100}));
    EXPECT_EQ(accents(2, 16),
              (std::vector<int>{127, 100, 55, 100, 90, 100, 55, 100, 127, 100, 55, 100, 90, 100, 55, 100}));
    EXPECT_EQ(accents(0, 16),
              (std::vector<int>{127, 100, 55, 100, 127, 100, 55, 100, 127, 100, 55, 100, 127, 100, 55, 100}));
}

TEST_F(ClockTest, NoteLengthIsTheCountRoundedUpToEven) {
    key(kG);
    key(kH);  // a second key counts from 0
    const std::pair<int, int> expected[] = {{1, 2}, {2, 2}, {3, 4}, {98, 98}, {99, 99}};
    int done = 0;
    for (const auto& [ticks, length] : expected) {
        tick(ticks - done);
        done = ticks;
        EXPECT_EQ(G.NoteTicks, ticks);
        EXPECT_EQ(G.NoteLength, length) << ticks;
    }
    EXPECT_TRUE(form->Timer1->enabled());
    tick();  // the 100th tick after the key closes the take
    EXPECT_FALSE(form->Timer1->enabled());
    EXPECT_EQ(form->Text3->text(), QStringLiteral("KC2KD99TZ"));
}

TEST_F(ClockTest, LongPauseClosesTheTakeAndSilencesTheVoices) {
    key(kG);
    tick(98);
    EXPECT_TRUE(form->Timer1->enabled());
    take();
    tick();  // the 99th after the key that started the take
    EXPECT_FALSE(form->Timer1->enabled());
    EXPECT_EQ(form->Text3->text(), QStringLiteral("KC99TZ"));
    EXPECT_EQ(G.ScoreText, QStringLiteral("KC99TZ"));
    EXPECT_EQ(G.NoteTicks, 99);
    EXPECT_EQ(G.NoteLength, 99);
    const Msgs got = take();
    const Msgs melody = {msg(0x80, 60, 0), msg(0x81, 60, 0), msg(0x82, 60, 0), msg(0x82, 48, 0)};
    ASSERT_GE(got.size(), 4u);
    EXPECT_EQ(Msgs(got.begin(), got.begin() + 4), melody) << hexList(got);
    // Then the chord tracks' releases.
    EXPECT_FALSE(only(got, 0x83, 0x83).empty());
    EXPECT_FALSE(only(got, 0x84, 0x84).empty());
    // A stopped clock's tick does nothing.
    tick();
    EXPECT_EQ(form->Text3->text(), QStringLiteral("KC99TZ"));
}

TEST_F(ClockTest, WithoutAutoSyncTicksOnlyCount) {
    patternOnEveryStep();
    key(kG);
    take();
    tick(40);
    EXPECT_TRUE(take().empty());
    EXPECT_EQ(form->AccompTick, (1 + 40) % 32);
    EXPECT_EQ(G.RhythmStep, 1);
}

TEST_F(ClockTest, AuditionRunningSilencesTheLiveAccompaniment) {
    patternOnEveryStep();
    form->Check5->setValue(1);
    form->BzQd->setValue(1);
    form->BZDS->setEnabled(false);  // its own clock is not under test
    key(kG);
    take();
    tick(40);
    EXPECT_TRUE(take().empty());
    EXPECT_EQ(G.NoteTicks, 41);
}

TEST_F(ClockTest, AutoSyncPlaysADrumStepWithItsAccentEveryFourTicks) {
    patternOnEveryStep();
    form->Option1[2]->setValue(true);  // 4/4
    form->Check5->setValue(1);
    form->xuanyue->setListIndex(0);  // no chord tracks
    form->Text6->setText(QStringLiteral("123456"));
    key(kG);
    take();
    tick(64);
    const Msgs got = take();
    Msgs drums;
    for (uint32_t m : got)
        if ((m & 0xFF) == 0xB9 || (m & 0xFF) == 0x99) drums.push_back(m);
    // Drum steps 1..15 and then 0 again, each after its expression.
    const int accent[16] = {127, 100, 55, 100, 90, 100, 55, 100, 127, 100, 55, 100, 90, 100, 55, 100};
    Msgs expected;
    for (int k = 1; k <= 16; ++k) {
        const int step = k % 16;
        expected.push_back(msg(0xB9, 11, accent[step]));
        expected.push_back(msg(0x99, 36, 10 + step));
    }
    EXPECT_EQ(drums, expected) << hexList(drums);
    // Ticks 32 and 64 started bars: the chord position moved on twice.
    EXPECT_EQ(form->ChordPos, 4);
    EXPECT_EQ(form->AccompTick, 1);
    EXPECT_EQ(G.RhythmStep, 1);
    EXPECT_EQ(G.DrumStep, 1);
    EXPECT_TRUE(dialogs.messages.isEmpty());
}

TEST_F(ClockTest, ChordPositionWrapsAtTheOrderLength) {
    form->Check5->setValue(1);
    form->xuanyue->setListIndex(0);
    form->Text6->setText(QStringLiteral("12"));
    key(kG);
    tick(31);  // AccompTick back at 0
    EXPECT_EQ(form->ChordPos, 2);
    tick();
    EXPECT_EQ(form->ChordPos, 1);
}
